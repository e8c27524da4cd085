// Downloads a 1 MiB application section through the tool's own download command to module 0
// of `pxm-sim --bitrate N` (S-Bus site, no cylinders) at 125000 and at 500000 bit/s, and
// prints for each: the elapsed time of the section download (first info-block frame to
// the flash reported programmed), the simulated flash wait shown apart, the bus time of the
// frames that crossed (their bits, stuff bits counted, over the bit rate), the ideal bus
// time (1/7 frame per payload byte), the frames per payload byte, and the processor time
// pxm-sim took during the command. The last lines give, one per rate, (elapsed - flash
// wait) over the ideal bus time. Goal: at most 1.05. Each rate is run a second time
// through a converter whose transmit queue holds 10 frames, as a kernel CAN interface has
// by default (sim::ConverterDevice: full, it refuses frames, and the tool's CAN layer sends
// them again as it drains). Goal there: at most 1.10.
//
// The times are those of pxm-sim's bus model (its --bus-log): when each frame's last bit
// was on the simulated bus.
//
// The figure holds none of the tool's fixed pauses: the flash wait (its 100 ms polls
// included) is taken out, and the 2000 ms pause before a repeated attempt does not occur in
// a good run.
//
//   bench_download [--size BYTES] [--rates 125000,500000] [--queues 0,10] [--gaps]
//   bench_download --one RATE --size BYTES [--queue N]   (one run, as the program calls
//                                                          itself; N frames, 0: none)
//
// --gaps adds, for each run, where the bus stood idle: summed by the frames around it.
#include "app/wiring.h"
#include "can/canmessageform.h"
#include "can/frmcanopen.h"
#include "can/modheartbeatcontrol.h"
#include "cansim/converterscope.h"
#include "config/siteconfig.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "lib/buslog.h"
#include "lib/bustiming.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/srecord.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

constexpr qint32 kApplicationBase = 0x100000;
bool g_gaps = false;  // --gaps: where the bus stood idle
constexpr int kSection = 6;

quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

QByteArray image(int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((i * 13 + (i >> 9) * 7 + 1) & 0xFF);
    return b;
}

// The frames that would carry the payload at the ideal: block segments of 7 bytes to the
// node, each 8192-byte piece a transfer of its own.
double idealBits(quint32 requestId, const QByteArray& data) {
    double bits = 0;
    int frames = 0;
    for (int piece = 0; piece < data.size(); piece += 8192) {
        const QByteArray p = data.mid(piece, 8192);
        const int segments = int((p.size() + 6) / 7);
        for (int s = 0; s < segments; ++s) {
            QByteArray f(8, '\0');
            f[0] = char((s % 127 + 1) | (s == segments - 1 ? 0x80 : 0));
            const QByteArray chunk = p.mid(s * 7, 7);
            std::copy(chunk.cbegin(), chunk.cend(), f.begin() + 1);
            bits += sim::frameBits(requestId, f);
            ++frames;
        }
    }
    // 1/7 frame per payload byte, each of the segments' mean length.
    return bits / frames * (data.size() / 7.0);
}

quint16 indexOf(const QByteArray& d) { return d.size() >= 3 ? quint16(quint8(d[1]) | quint8(d[2]) << 8) : 0; }

// Where the bus stood idle between the first and the last frame, from the bus model's own
// times: each frame took the bus for its bit time up to its last bit. Idle time summed by
// the pair of frames around it.
void printGaps(const std::vector<sim::LoggedFrame>& seen, size_t from, size_t to, int rate) {
    std::map<QString, std::pair<double, int>> gaps;
    double busFree = -1;
    for (size_t i = from; i <= to; ++i) {
        const sim::Frame& f = seen[i].frame;
        const double d = sim::frameMicros(f.id, f.data, rate);
        const double start = seen[i].lastBitUs - d;
        if (busFree >= 0 && start > busFree) {
            const sim::Frame& p = seen[i - 1].frame;
            const QString key = QStringLiteral("%1 %2 -> %3 %4")
                                    .arg(p.id, 3, 16, QLatin1Char('0')).arg(quint8(p.data.isEmpty() ? 0 : p.data[0]), 2, 16, QLatin1Char('0'))
                                    .arg(f.id, 3, 16, QLatin1Char('0')).arg(quint8(f.data.isEmpty() ? 0 : f.data[0]), 2, 16, QLatin1Char('0'));
            gaps[key].first += start - busFree;
            ++gaps[key].second;
        }
        busFree = std::max(start, busFree) + d;
    }
    std::vector<std::pair<double, QString>> sorted;
    for (const auto& [k, v] : gaps) sorted.push_back({v.first, QStringLiteral("%1 (%2 times)").arg(k).arg(v.second)});
    std::sort(sorted.rbegin(), sorted.rend());
    for (size_t i = 0; i < sorted.size() && i < 8; ++i)
        std::printf("    idle %9.1f ms after %s\n", sorted[i].first / 1000, qPrintable(sorted[i].second));
}

struct Figures {
    double elapsed = 0, flashWait = 0, busTime = 0, ideal = 0, framesPerByte = 0;
    qint64 frames = 0;
};

// The section download as the bus saw it: from the first info-block frame to the status
// read that finds the flash programmed; the flash wait starts with the status read that
// finds the last piece taken (127).
std::optional<Figures> analyse(const std::vector<sim::LoggedFrame>& seen, quint8 node, int rate, const QByteArray& data) {
    const quint32 req = 0x600u + node, resp = 0x580u + node;
    std::optional<size_t> first, taken, done;
    for (size_t i = 0; i < seen.size(); ++i) {
        const sim::Frame& f = seen[i].frame;
        if (!first && f.id == req && indexOf(f.data) == 0x5FFE && (quint8(f.data[0]) & 0xE0) != 0x80) first = i;
        if (!first || f.id != resp || indexOf(f.data) != 0x5FFF || (quint8(f.data[0]) & 0xE0) != 0x40) continue;
        const quint8 status = quint8(f.data[4]);
        if (status == 127 && !taken) taken = i;
        if (taken && (status == 0 || status == 255)) {
            done = i;
            break;
        }
    }
    if (!first || !taken || !done) return std::nullopt;
    Figures r;
    double bits = 0;
    for (size_t i = *first; i <= *taken; ++i) {
        bits += sim::frameBits(seen[i].frame.id, seen[i].frame.data);
        ++r.frames;
    }
    // The request that opened the window took the bus before it was seen whole.
    const double t0 = double(seen[*first].lastBitUs) / 1e6 - sim::frameMicros(req, seen[*first].frame.data, rate) / 1e6;
    r.elapsed = double(seen[*done].lastBitUs) / 1e6 - t0;
    r.flashWait = double(seen[*done].lastBitUs - seen[*taken].lastBitUs) / 1e6;
    r.busTime = bits / rate;
    r.ideal = idealBits(req, data) / rate;
    r.framesPerByte = double(r.frames) / data.size();
    if (g_gaps) printGaps(seen, *first, *taken, rate);
    return r;
}

// User and system time of a process so far, from /proc; 0 where there is none.
double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which ends with the last ')': utime and stime are
    // the 12th and 13th of them.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// One download at one bit rate, through a converter with a transmit queue of that many
// frames (0: straight onto the bus); prints its figures and returns the ratio, or -1.
double runOnce(int rate, int size, int queueLength) {
    using namespace modGlobal;
    QTemporaryDir dir;
    const QString url = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(freePort());
    simconfig::Site site;
    site.profile = QStringLiteral("sbus");
    site.busUrl = url;
    site.cylinders = 0;
    QString error;
    if (!simconfig::writeSite(dir.path(), site, &error)) {
        std::fprintf(stderr, "bench_download: %s\n", qPrintable(error));
        return -1;
    }
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    const QString state = dir.filePath(QStringLiteral("flash"));
    // The bus as pxm-sim's bus model saw it. A listening client of our own would have the
    // bus host relay every frame once more, and take the host's processor when it wakes.
    const QString busLogPath = dir.filePath(QStringLiteral("bus.log"));
    simulator.start(QStringLiteral(KELB_PXM_SIM),
                    simconfig::simulatorArguments(site) +
                        QStringList{"--bitrate", QString::number(rate), "--state", state, "--bus-log", busLogPath});
    const bool up = waitFor([&] { return simulator.readAll().contains("pxm-sim: on") || simulator.state() == QProcess::NotRunning; }, 10000) &&
                    simulator.state() == QProcess::Running;
    if (!up) {
        std::fprintf(stderr, "bench_download: pxm-sim did not reach the bus\n");
        return -1;
    }
    // The tool: its configuration for the site, the CAN master on the S-Bus, the main window.
    g_configDbPath = QDir(dir.path()).filePath(simconfig::configDbName());
    if (!g_iniGlobals()) return -1;
    g_updateMode = true;
    g_moduleKind = QStringLiteral("PXM");
    g_applicationType = 0;
    g_baseAdrAppl = kApplicationBase;
    std::optional<cansim::ConverterScope> converter;
    if (queueLength > 0) converter.emplace(sim::ConverterDevice::Options{queueLength, rate});
    frmMain w;
    // Wired as main() wires it; run-time errors still go to the terminal.
    ErrPtnr::ErrorHandler& errors = ErrPtnr::errorHandlerLink::get();
    wiring::install(w);
    ErrPtnr::errorHandlerLink::install(&errors);
    modHeartBeatControl::g_initialise();  // as the bus set-up does: supervision afresh
    double dllVersion = 0;
    if (!frmCANopen::instance().g_initialise(CanMessageForm{}, dllVersion, QStringLiteral("S-Bus"), false, 0)) {
        std::fprintf(stderr, "bench_download: the CAN master did not open the bus\n");
        return -1;
    }
    g_canInterfaceVersion = dllVersion;
    frmCANopen::instance().g_setOperational(0, true);
    if (!waitFor([&] { return vbCheck::value(w.chkApplicationRunning[0]) == vbCheck::vbChecked; }, 10000)) {
        std::fprintf(stderr, "bench_download: module 0 does not show; the bus so far is in %s\n%s\n",
                     qPrintable(busLogPath), simulator.readAll().constData());
        dir.setAutoRemove(false);
        return -1;
    }

    const QByteArray data = image(size);
    const QString file = dir.filePath(QStringLiteral("PXM_application.s19"));
    if (!modDownload::g_binToSRec(data, kApplicationBase, QStringLiteral("S37"), file)) return -1;
    vbControls::setTag(w.chkLoadSection[0], QString::number(kSection));
    vbControls::setTag(w.txtEmh[0], file);
    w.txtEmh[0]->setText(file);
    vbCheck::setValue(w.chkLoadSection[0], vbCheck::vbChecked);
    vbCheck::setValue(w.chkProgram[0], vbCheck::vbChecked);

    const qint64 commandFromUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch()).count();
    QElapsedTimer command;
    command.start();
    const double simCpu0 = cpuSeconds(simulator.processId());
    w.cmdDownload_Click();
    const double commandSeconds = command.nsecsElapsed() / 1e9;
    const double simCpu = cpuSeconds(simulator.processId()) - simCpu0;

    const QString stored = QDir(state).filePath(QStringLiteral("module00/section%1.bin").arg(kSection));
    QFile f(stored);
    const bool flashed = f.open(QIODevice::ReadOnly) && f.readAll() == data;
    const bool green = vbControls::backColor(w.lblDownloadOk[0]) == vbControls::vbGreen && !w.lblDownloadOk[0]->isHidden();
    frmCANopen::instance().unload();
    simulator.terminate();  // writes out its bus log
    simulator.waitForFinished(5000);
    std::vector<sim::LoggedFrame> bus;
    if (!sim::readBusLog(busLogPath, bus, &error)) {
        std::fprintf(stderr, "bench_download: %s\n", qPrintable(error));
        return -1;
    }
    bus.erase(bus.begin(), std::find_if(bus.begin(), bus.end(), [&](const sim::LoggedFrame& f) { return f.lastBitUs >= commandFromUs; }));
    const auto r = analyse(bus, quint8(g_cobIdBootloader), rate, data);
    if (!flashed || !green || !r) {
        std::fprintf(stderr, "bench_download: the download at %d bit/s failed (flash %s, lamp %s)\n", rate,
                     flashed ? "right" : "wrong", green ? "green" : "not green");
        for (int i = 0; i < w.lstMessage->count(); ++i)
            std::fprintf(stderr, "  %s\n", qPrintable(w.lstMessage->item(i)->text()));
        return -1;
    }
    const double ratio = (r->elapsed - r->flashWait) / r->ideal;
    if (queueLength > 0)
        std::printf("%d bit/s through a %d-frame transmit queue, %d bytes to module 0, section %d:\n", rate, queueLength,
                    size, kSection);
    else
        std::printf("%d bit/s, %d bytes to module 0, section %d:\n", rate, size, kSection);
    std::printf("  elapsed                          %9.2f s   (whole command %.2f s)\n", r->elapsed, commandSeconds);
    std::printf("  flash wait, shown apart          %9.2f s\n", r->flashWait);
    std::printf("  bus time of the frames crossed   %9.2f s   (%lld frames outside the flash wait)\n", r->busTime,
                static_cast<long long>(r->frames));
    std::printf("  ideal bus time                   %9.2f s   (1/7 frame per payload byte)\n", r->ideal);
    std::printf("  frames per payload byte          %9.4f     (ideal %.4f)\n", r->framesPerByte, 1 / 7.0);
    std::printf("  pxm-sim processor time           %9.2f s   (%.0f %% of a core over the command)\n", simCpu,
                100 * simCpu / commandSeconds);
    if (converter)
        std::printf("  refused by the full queue        %9d     frames (written again)\n", converter->traffic().refusals());
    std::printf("  (elapsed - flash wait) / ideal   %9.2f\n", ratio);
    std::fflush(stdout);
    return ratio;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The bus is hosted by pxm-sim; the tool's bus thread finds the port taken and says so.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.contains(QLatin1String("VirtualCanServer"))) previous(type, context, text);
    });
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false\nkelb.can.warning=false"));
    const QStringList args = app.arguments();
    auto option = [&](const char* name, const QString& fallback) {
        const int i = int(args.indexOf(QString::fromLatin1(name)));
        return i > 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    const int size = option("--size", QStringLiteral("1048576")).toInt();
    g_gaps = args.contains(QStringLiteral("--gaps"));

    if (args.contains(QStringLiteral("--one"))) {
        // Nothing may wait for an engineer: an unexpected box is answered as cautiously as a
        // test would, and shown on the terminal.
        // Static: they stay installed until the process is gone.
        static struct ShownOnTerminal : Dialogs::Answerer {
            Dialogs::Answer answer(const Dialogs::Request& r) override {
                std::fprintf(stderr, "bench_download: box \"%s\"\n", qPrintable(r.text));
                Dialogs::Answer a;
                a.button = Dialogs::cautiousButton(r.style);
                return a;
            }
        } answers;
        static struct ErrorsOnTerminal : ErrPtnr::ErrorHandler {
            ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo& i) override {
                std::fprintf(stderr, "bench_download: run-time error in %s: %s\n", qPrintable(i.procedure),
                             qPrintable(i.description));
                return ErrPtnr::Choice::Continue;
            }
        } errors;
        Dialogs::answererLink::install(&answers);
        ErrPtnr::errorHandlerLink::install(&errors);
        const double ratio =
            runOnce(option("--one", QStringLiteral("125000")).toInt(), size, option("--queue", QStringLiteral("0")).toInt());
        if (ratio < 0) return 1;
        std::printf("ratio %.4f\n", ratio);
        return 0;
    }

    // Each rate in a process of its own: the CAN master and the window are the program's
    // one instances.
    QStringList summary;
    bool ok = true;
    const QStringList queues = option("--queues", QStringLiteral("0,10")).split(',');
    for (const QString& rate : option("--rates", QStringLiteral("125000,500000")).split(','))
    for (const QString& queue : queues) {
        QProcess one;
        one.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList oneArgs{"--one", rate, "--size", QString::number(size), "--queue", queue};
        if (g_gaps) oneArgs << QStringLiteral("--gaps");
        one.start(QCoreApplication::applicationFilePath(), oneArgs);
        one.waitForFinished(-1);
        double ratio = -1;
        for (const QByteArray& line : one.readAllStandardOutput().split('\n')) {
            if (line.startsWith("ratio ")) {
                ratio = line.mid(6).toDouble();
                continue;
            }
            if (!line.isEmpty()) std::printf("%s\n", line.constData());
        }
        std::printf("\n");
        ok = ok && one.exitCode() == 0 && ratio > 0;
        if (ratio > 0 && queue.toInt() > 0)
            summary << QStringLiteral("download at %1 kbit/s through a %2-frame transmit queue: %3 of the bus limit")
                           .arg(rate.toInt() / 1000)
                           .arg(queue.toInt())
                           .arg(ratio, 0, 'f', 2);
        else if (ratio > 0)
            summary << QStringLiteral("download at %1 kbit/s: %2 of the bus limit").arg(rate.toInt() / 1000).arg(ratio, 0, 'f', 2);
    }
    for (const QString& line : summary) std::printf("%s\n", qPrintable(line));
    return ok ? 0 : 1;
}

// The report of a data container of 16,000 parameters and variables (and its alarms and
// image steps), made as the engineer makes it: the builder window (offscreen), the
// version chosen on its third tab, its own Report command; the viewer is answered through
// the desktop seam. It counts the window's paints and the moves of its progress bar while
// the report is made and the longest time the window went without a paint. Goal: at most
// 5 s, the window painted throughout.
#include "builderwindow.h"
#include "dao/transaction.h"
#include "dcbuilder/frmdcbuilder.h"
#include "desktop/desktopservices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <algorithm>

namespace {

constexpr int kRows = 16000;
constexpr int kAlarms = 40;

// Rows as a header scan and a signal list leave them: names, groups, limits and comments
// of the lengths the engineers write.
void fill(const QString& path) {
    auto d = dao::OpenDatabase(path, false, false);
    dao::Transaction write(*d);
    for (int i = 0; i < kRows; ++i) {
        const bool parameter = i < kRows / 2;
        QString comment = QStringLiteral("%1 of cylinder group %2").arg(parameter ? "limit" : "measured value").arg(i % 12);
        if (i % 97 == 0) comment += QStringLiteral(", see the commissioning notes of the plant for the setting of this value");
        d->Execute(QStringLiteral("INSERT INTO dcEnums (id, name, class, varGroup, value, minValue, maxValue, crcGroup, "
                                  "readAccessLevel, writeAccessLevel, modbusAddr, comment) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {i, QStringLiteral("%1_ENGINE_SIGNAL_%2").arg(parameter ? "PAR" : "GLB").arg(i, 5, 10, QLatin1Char('0')),
                    parameter ? QStringLiteral("PARAMETER") : QStringLiteral("VARIABLE"), parameter ? QStringLiteral("BAS") : QString(),
                    (i * 37) % 20000 - 10000, -32768, 32767, parameter ? 1 + i % 7 : 0, 1, parameter ? 3 : 7, i, comment});
    }
    for (int i = 0; i < kAlarms; ++i)
        d->Execute(QStringLiteral("INSERT INTO alarmEnums (id, name, class, criterion, signalIndexName, comment) VALUES (?, ?, 'ALARM', ?, ?, ?)"),
                   {i, QStringLiteral("ALM_%1").arg(i), i % 4, QStringLiteral("GLB_ENGINE_SIGNAL_%1").arg(kRows / 2 + i, 5, 10, QLatin1Char('0')),
                    QStringLiteral("alarm %1").arg(i)});
    const char* steps[][4] = {{"engineType", "DC_SWINFO_ENGINE_TYPE_", "32", ""}, {"build", "DC_SWINFO_BUILD", "4", ""},
                              {"value", "TABLE", "4", "PARAMETER"}, {"value", "TABLE", "4", "VARIABLE"}};
    for (int s = 0; s < 4; ++s)
        d->Execute(QStringLiteral("INSERT INTO dcBinFile (step, content, value, noOfBytes, class) VALUES (?, ?, ?, ?, ?)"),
                   {s + 1, QString::fromLatin1(steps[s][0]), QString::fromLatin1(steps[s][1]), QString::fromLatin1(steps[s][2]).toInt(),
                    QString::fromLatin1(steps[s][3])});
    write.release();
    d->Close();
}

// The viewer is not started: the request is only noted.
struct Viewer : desktop::Services {
    QString opened;
    bool openDocument(const QString& path) override {
        opened = path;
        return true;
    }
};

// Counts the paints of the window and its bar's moves, and the longest time between two
// paints while it counts.
struct Watch : QObject {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    int paints = 0, moves = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && clock.isValid()) {
            ++paints;
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    modGlobal::g_toolTitle = QStringLiteral("Bench");
    modGlobal::g_moduleKind = QStringLiteral("PXM");
    modGlobal::g_baseAdrDC = 0xC0000;
    builderBench::writeConfig(dir.path());
    const QString version = dir.filePath(QStringLiteral("Bench-PXM-DC-001.mdb"));
    builderBench::writeFirstVersion(version);
    fill(version);

    builderBench::Answerer bench("bench_dcreport");
    Viewer viewer;
    desktop::servicesLink::install(&viewer);
    frmDcBuilder& builder = frmDcBuilder::instance();
    builder.g_show(dir.path());
    builder.show();
    builder.tabAction->setCurrentIndex(2);
    QApplication::processEvents();

    Watch watch;
    builder.installEventFilter(&watch);
    QObject::connect(builder.prgProgress, &QProgressBar::valueChanged, [&] { ++watch.moves; });
    watch.clock.start();
    const double s = builderBench::seconds([&] { builder.cmdReport->click(); });
    watch.longest = std::max(watch.longest, watch.clock.elapsed() - watch.last);
    builder.removeEventFilter(&watch);

    const QString pdf = version.chopped(3) + QStringLiteral("pdf");
    const bool ok = bench.quiet && viewer.opened == pdf && QFileInfo(pdf).size() > 0;
    std::printf("PDF of %lld bytes\n", QFileInfo(pdf).size());
    // Kept for a look at its pages when asked.
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) QFile::copy(pdf, QDir(keep).filePath(QStringLiteral("bench-dcreport.pdf")));
    std::printf("window painted %d times (%.1f a second), longest time without a paint %lld ms; progress bar moved %d times\n",
                watch.paints, watch.paints / s, watch.longest, watch.moves);
    std::printf("report of %d rows through the builder window: %.2f s\n", kRows, s);
    builder.unload();
    desktop::servicesLink::install(nullptr);
    modGlobal::g_rsAliasSymbolName.reset();
    if (!ok) std::fprintf(stderr, "bench_dcreport: the report was not made\n");
    return ok ? 0 : 1;
}

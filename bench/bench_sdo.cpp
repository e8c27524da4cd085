// Moves 64 KiB through the CAN interface to the simulator over the virtual bus, down and up,
// by block and by segmented transfer, and prints the frames on the bus per payload byte
// against the ideal of 1/7, the bytes per second on the virtual bus, and the bytes per
// second the same frames would allow on a real bus at 125 and 500 kbit/s (stuff bits of
// each frame counted). Goal: block download within 2 % of the ideal frame count.
//
//   bench_sdo [--size BYTES]
#include "caninterface/caninterface.h"
#include "lib/bustiming.h"
#include "lib/scenario.h"
#include "lib/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QThread>
#include <atomic>
#include <cstdio>

namespace {
constexpr quint8 kNode = 0x10;

struct Counter {
    std::atomic<qint64> frames{0}, bits{0};
    void reset() { frames = 0; bits = 0; }
};

quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

// Waits until the sniffer has seen no frame for a while: the last ones are on their way.
void settle(const Counter& c) {
    qint64 last = -1;
    while (c.frames != last) {
        last = c.frames;
        QThread::msleep(50);
    }
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*.info=false"));
    int size = 64 * 1024;
    const QStringList args = app.arguments();
    if (const int i = static_cast<int>(args.indexOf("--size")); i > 0 && i + 1 < args.size()) size = args[i + 1].toInt();

    const QString url = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(freePort());
    CANInterface can;
    can.setDevice(0, QStringLiteral("virtualcan"), url);
    qint32 st = 0;
    can.initBoard(0, 0, 500, 0, st);
    if (st == 1) can.startCan(st);
    if (st != 1) {
        std::fprintf(stderr, "bench_sdo: the CAN interface did not open %s (status %d)\n", qPrintable(url), st);
        return 1;
    }

    sim::Simulator server, sniffer;
    Counter counter;
    sniffer.addFrameListener([&counter](const sim::Frame& f) {
        ++counter.frames;
        counter.bits += sim::frameBits(f.id, f.data);
    });
    if (!server.start(url) || !sniffer.start(url) || !server.waitConnected() || !sniffer.waitConnected()) {
        std::fprintf(stderr, "bench_sdo: the simulator did not join %s\n", qPrintable(url));
        return 1;
    }
    sim::Node* node = server.addNode(kNode);
    sim::addTestObjects(*node, 0);
    QByteArray probe;
    qint32 len = 0;
    for (int i = 0; i < 100; ++i) {
        can.sdoUpload(kNode, 0x1017, 0, probe, len, true, false, st);
        if (st == 1) break;
        QThread::msleep(20);
    }
    if (st != 1) {
        std::fprintf(stderr, "bench_sdo: the simulated node does not answer (status 0x%x)\n", st);
        return 1;
    }
    settle(counter);

    const QByteArray data = sim::testPattern(size);
    const double ideal = size / 7.0;
    std::printf("payload %d bytes, ideal %.1f frames (1/7 frame per byte)\n\n", size, ideal);
    std::printf("%-20s %8s %12s %9s %14s %14s %14s\n", "transfer", "frames", "frames/byte", "vs ideal",
                "virtual B/s", "125k bus B/s", "500k bus B/s");
    bool ok = true, goal = true;
    for (bool block : {true, false}) {
        for (bool down : {true, false}) {
            counter.reset();
            QByteArray back;
            QElapsedTimer t;
            t.start();
            if (down) {
                can.sdoDownload(kNode, 0x2000, 0, data, !block, block, st);
            } else {
                can.sdoUpload(kNode, 0x2000, 0, back, len, !block, block, st);
            }
            const double seconds = t.nsecsElapsed() / 1e9;
            settle(counter);
            const bool right = st == 1 && (down ? node->od().value(0x2000, 0) == data : back == data);
            ok = ok && right;
            const qint64 frames = counter.frames;
            const double bits = static_cast<double>(counter.bits);
            const QString name = QStringLiteral("%1 %2").arg(block ? "block" : "segmented", down ? "download" : "upload");
            std::printf("%-20s %8lld %12.4f %8.2f%% %14.0f %14.0f %14.0f%s\n", qPrintable(name),
                        static_cast<long long>(frames), frames / double(size), (frames / ideal - 1) * 100,
                        size / seconds, size / (bits / 125000.0), size / (bits / 500000.0),
                        right ? "" : "   FAILED");
            if (block && down) goal = frames <= ideal * 1.02;
        }
    }
    std::printf("\nblock download within 2 %% of the ideal frame count: %s\n", goal ? "yes" : "no");
    qint32 ignored = 0;
    can.stopCan(ignored);
    server.stop();
    sniffer.stop();
    return ok && goal ? 0 : 1;
}

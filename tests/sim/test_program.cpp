// The pxm-sim program: answers on the bus, stops cleanly on SIGTERM, and finds the bus
// again when its host goes away.
#include "lib/buslog.h"
#include "simbus.h"
#include "testsupport.h"

#include <QCanBus>
#include <QCanBusFrame>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <QThread>
#include <unistd.h>

using namespace simtest;

namespace {
// Starts pxm-sim and waits for its line that it is on the bus.
bool startProgram(QProcess& p, const QStringList& args) {
    p.setProgram(QStringLiteral(PXM_SIM_PROGRAM));
    p.setArguments(args);
    p.start();
    if (!p.waitForStarted(5000)) return false;
    QByteArray out;
    return waitFor(
        [&] {
            out += p.readAllStandardOutput();
            return out.contains("pxm-sim: on ");
        },
        5000);
}

bool stopProgram(QProcess& p) {
    p.terminate();  // SIGTERM
    return waitFor([&] { return p.state() == QProcess::NotRunning; }, 5000) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}
}  // namespace

class SimProgram : public SimBus {};

TEST_F(SimProgram, AnswersOnTheBusAndStopsOnSigterm) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("bus.log"));
    QProcess p;
    ASSERT_TRUE(startProgram(p, {"--bus", testsupport::busUrl(busPort()), "--node", "0x22", "--heartbeat", "40", "--bus-log", log}));
    auto boot = next(0x722, 3000);
    ASSERT_TRUE(boot.has_value());
    EXPECT_EQ(boot->data, QByteArray(1, '\0'));
    ASSERT_TRUE(next(0x722, 1000).has_value());  // heartbeat
    send(0x622, request(0x40, 0x1017, 0));
    auto r = next(0x5A2);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->data, bytes({0x4B, 0x17, 0x10, 0x00, 40}));
    EXPECT_TRUE(stopProgram(p));

    // The bus log is written out when the program stops: the request, then its answer.
    std::vector<sim::LoggedFrame> bus;
    QString error;
    ASSERT_TRUE(sim::readBusLog(log, bus, &error)) << error.toStdString();
    const auto at = [&](quint32 id) {
        return std::find_if(bus.begin(), bus.end(), [id](const sim::LoggedFrame& f) { return f.frame.id == id; });
    };
    ASSERT_NE(at(0x622), bus.end());
    ASSERT_NE(at(0x5A2), bus.end());
    EXPECT_LT(at(0x622), at(0x5A2));
    EXPECT_EQ(at(0x5A2)->frame.data, r->data);
    EXPECT_LE(at(0x622)->lastBitUs, at(0x5A2)->lastBitUs);
}

TEST_F(SimProgram, AProgramKilledWhileItLogsLeavesTheOldBusLog) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("bus.log"));
    const QByteArray old = "1000 670 0102\n";
    {
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(old), old.size());
    }
    QProcess p;
    ASSERT_TRUE(startProgram(p, {"--bus", testsupport::busUrl(busPort()), "--node", "0x22", "--heartbeat", "20", "--bus-log", log}));
    send(0x622, request(0x40, 0x1017, 0));
    ASSERT_TRUE(next(0x5A2).has_value());
    ASSERT_TRUE(next(0x722, 1000).has_value());  // heartbeats are going into the log
    p.kill();  // SIGKILL
    ASSERT_TRUE(p.waitForFinished(5000));
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
}

TEST(SimProgramHelp, ListsTheOptions) {
    QProcess p;
    p.start(QStringLiteral(PXM_SIM_PROGRAM), {"--help"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray out = p.readAllStandardOutput();
    for (const char* option : {"--bus", "--node", "--heartbeat", "--bitrate", "--stop-after", "--wrong-toggle", "--bad-crc",
                               "--long-segment", "--short-frames", "--delay", "--bus-log"})
        EXPECT_TRUE(out.contains(option)) << option;
}

TEST(SimProgramArgs, RefusesABadCommandLine) {
    for (const QStringList& args : {QStringList{"--node", "5"}, QStringList{"--bus", "can0", "--node", "300"},
                                    QStringList{"--bus", "can0", "--short-frames", "9"},
                                    QStringList{"--bus", "can0", "--bus-log", "/nonexistent/folder/bus.log"}}) {
        QProcess p;
        p.start(QStringLiteral(PXM_SIM_PROGRAM), args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_NE(p.exitCode(), 0) << args.join(' ').toStdString();
        EXPECT_FALSE(p.readAllStandardError().isEmpty());
    }
}

TEST(SimReconnect, FindsTheBusAgainWhenItsHostGoesAway) {
    const quint16 port = testsupport::freePort();
    const QString url = testsupport::busUrl(port);
    QProcess host;
    ASSERT_TRUE(startProgram(host, {"--bus", url}));
    sim::Simulator s;
    ASSERT_TRUE(s.start(url));
    ASSERT_TRUE(s.waitConnected());
    s.addNode(0x30);
    ASSERT_TRUE(stopProgram(host));
    EXPECT_TRUE(waitFor([&] { return !s.isConnected(); }, 3000));
    // A new host comes up on the port, or this process takes the port over itself.
    QProcess second;
    ASSERT_TRUE(startProgram(second, {"--bus", url}));
    ASSERT_TRUE(s.waitConnected(5000));
    // The node answers a client on the restored bus.
    std::unique_ptr<QCanBusDevice> d(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), url));
    ASSERT_TRUE(d && d->connectDevice());
    ASSERT_TRUE(waitFor([&] { return d->state() == QCanBusDevice::ConnectedState; }, 3000));
    bool answered = false;
    QObject::connect(d.get(), &QCanBusDevice::framesReceived, [&] {
        while (d->framesAvailable())
            if (d->readFrame().frameId() == 0x5B0) answered = true;
    });
    waitFor([&] {
        d->writeFrame(QCanBusFrame(0x630, request(0x40, 0x1000, 0)));
        return waitFor([&] { return answered; }, 100);
    }, 3000);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(stopProgram(second));
}

TEST(SimThreadDeathTest, ASimulatorEndingAfterItsThreadDoesNotWaitForIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            alarm(5);  // a hang ends the child as a failure
            auto* s = new sim::Simulator;
            s->addNode(0x10);
            // What the application's end does to the simulator's thread, before a static
            // Simulator would go.
            sim::Simulator::thread()->quit();
            sim::Simulator::thread()->wait();
            delete s;
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

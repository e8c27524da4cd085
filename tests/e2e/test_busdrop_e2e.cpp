// End to end: the converter drops out in the middle of an update run's spare stage (pxm-sim,
// a process of its own, killed as module 0 takes its section) and comes back a few seconds
// later on the same port, or does not. Judged by the report, the boxes shown, the modules'
// flash in pxm-sim's state folder and the nodes that answer afterwards.
#include "simprocess.h"
#include "updaterunfixture.h"

#include "caninterface/caninterface.h"
#include "caninterface/canstatus.h"
#include "config/siteconfig.h"
#include "lib/profileoptions.h"

#include <QDir>
#include <QElapsedTimer>

using namespace e2e;
using testsupport::SimProcess;

namespace {
constexpr int kDownMs = 4000;
// Module 0's flash programming outlasts the moment of the drop, so that the drop finds the
// section written and not yet programmed: the new info block beside the old program.
const QStringList kSlowFlash{"--flash-ms", "3000"};
constexpr int kIntoFlashMs = 500;
}  // namespace

class BusDropE2E : public UpdateRunE2E {
protected:
    void TearDown() override {
        simulator.reset();
        UpdateRunE2E::TearDown();
    }

    // The site for pxm-sim, and pxm-sim on it; it drops once module 0 has begun its section
    // and comes back downMs later (never when negative).
    void startSimulator(int downMs) {
        site.profile = QStringLiteral("mbus");
        site.busUrl = busUrl();
        site.cylinders = 3;
        QString error;
        ASSERT_TRUE(simconfig::writeSite(dir.path(), site, &error)) << error.toStdString();
        simulator = std::make_unique<SimProcess>(
            QStringLiteral(KELB_PXM_SIM), simconfig::simulatorArguments(site) + QStringList{"--state", stateDir()} + kSlowFlash,
            SimProcess::Drop{spareTookInfoBlock(), downMs});
        ASSERT_TRUE(simulator->waitUntilUp());
    }
    QString stateDir() const { return filePath("sim-state"); }
    // True half a second after module 0 stored the new application's info block: its data
    // (a few kilobytes) are in, and its flash is being programmed. Asked in the simulator
    // process's thread.
    std::function<bool()> spareTookInfoBlock() const {
        const QString path = QDir(stateDir()).filePath(QStringLiteral("module00/section6.info"));
        auto first = std::make_shared<QByteArray>();
        auto since = std::make_shared<QElapsedTimer>();
        return [path, first, since] {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) return false;
            const QByteArray now = f.readAll();
            if (first->isEmpty()) *first = now;
            if (now.isEmpty() || now == *first) return false;
            if (!since->isValid()) since->start();
            return since->elapsed() >= kIntoFlashMs;
        };
    }
    // What pxm-sim keeps of module m's flash.
    sim::FlashModel flash(int m) const { return sim::FlashModel(stateDir(), m); }

    // The modules whose application node answers on the bus, asked by a converter of the
    // test's own once the program has ended.
    QList<int> modulesInTheirApplication() {
        CANInterface probe;
        probe.setDevice(0, QStringLiteral("virtualcan"), busUrl());
        qint32 status = 0;
        probe.initBoard(0, 0, 125, 0, status);
        if (status != CanStatus::Success) return {};
        probe.startCan(status);
        QList<int> running;
        for (int m = 0; m <= 3; ++m) {
            QByteArray data;
            qint32 length = 0;
            const quint8 node = quint8(sim::applicationBase(sim::Profile::MBus, m) + m);
            probe.sdoUpload(node, 0x1008, 0, data, length, true, false, status);
            if (status == CanStatus::Success) running << m;
        }
        probe.stopCan(status);
        return running;
    }
    // The CAN master's own boxes shown so far.
    int canOpenBoxes() const {
        int n = 0;
        for (const Dialogs::Request& r : answers->shown()) n += r.title == QLatin1String("CANopen ERROR");
        return n;
    }
    // The report's block of the last run.
    QStringList lastReportBlock() const {
        const QStringList lines = report();
        qsizetype start = 0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith("------------------- KELB-3817 Update Tool started")) start = i;
        return lines.mid(start);
    }

    std::unique_ptr<SimProcess> simulator;
};

// The bus goes during module 0's flash wait and comes back 4 s later: module 0, back in its
// bootloader with its section written in part, takes the section anew, the run goes on, every module ends in its application with a valid program, and the next run
// against the same modules ends well.
TEST_F(BusDropE2E, ABusThatComesBackLeavesEveryModuleInItsApplication) {
    startSimulator(kDownMs);
    ASSERT_TRUE(runUpdate({}, 240000));
    ASSERT_TRUE(simulator->dropped());
    ASSERT_TRUE(simulator->back());
    const QStringList first = lastReportBlock();
    EXPECT_FALSE(hasLineStarting(first, "   Left in bootloader:")) << logLines().join('\n').toStdString();
    EXPECT_LE(canOpenBoxes(), 1) << answers->texts().join('\n').toStdString();
    EXPECT_TRUE(hasLineStarting(logLines(), "CAN: connection to ")) << logLines().join('\n').toStdString();
    const QByteArray image = newApplication();
    for (int m = 0; m <= 3; ++m) EXPECT_TRUE(flash(m).valid(6)) << m;
    // The drop found module 0's section begun: it holds the new application now.
    EXPECT_EQ(flash(0).image(6), image);
    EXPECT_EQ(modulesInTheirApplication(), (QList<int>{0, 1, 2, 3})) << first.join('\n').toStdString();

    endProgram();
    ASSERT_TRUE(runUpdate({}, 240000));
    const QStringList second = lastReportBlock();
    EXPECT_FALSE(second.contains(kFailed)) << second.join('\n').toStdString();
    EXPECT_TRUE(second.contains(kSuccess) || second.contains(kNotNecessary)) << second.join('\n').toStdString();
    for (int m = 0; m <= 3; ++m) EXPECT_EQ(flash(m).image(6), image) << m;
    EXPECT_EQ(modulesInTheirApplication(), (QList<int>{0, 1, 2, 3}));
}

// The bus does not come back: the run fails, one box told of the lost bus, and the log and
// the report name every module left in its bootloader.
TEST_F(BusDropE2E, ABusThatDoesNotComeBackNamesTheModulesLeftInTheirBootloader) {
    startSimulator(-1);
    ASSERT_TRUE(runUpdate({}, 240000));
    ASSERT_TRUE(simulator->dropped());
    const QStringList lines = lastReportBlock();
    ASSERT_TRUE(lines.contains(kFailed)) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("   Left in bootloader: PXM 0, PXM 1, PXM 2, PXM 3")) << lines.join('\n').toStdString();
    EXPECT_TRUE(hasLineStarting(logLines(), "   Left in bootloader: PXM 0, PXM 1, PXM 2, PXM 3")) << logLines().join('\n').toStdString();
    EXPECT_LE(canOpenBoxes(), 1) << answers->texts().join('\n').toStdString();
}

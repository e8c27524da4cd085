// The module-control menu commands and the module-state command against the simulated
// modules: the selected modules change mode under the command lock, and the overview
// command reads every present module's info blocks and restarts what it stopped.
#include "test_download_fixture.h"

#include "can/modmodechange.h"
#include "lib/bootoptions.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/vbcheckbox.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace dltest;
using sim::PxmModule;

namespace {
// The lock as a command sees it while it waits on the modules.
struct Lock {
    bool download, overview, moduleControl, file, tools, abort, exit;
    bool operator==(const Lock&) const = default;
};
Lock lockOf(const frmMain& w) {
    return {w.cmdDownload->isEnabled(), w.cmdModuleState->isEnabled(), w.mnuModuleControl->isEnabled(),
            w.mnuFile->isEnabled(), w.mnuTools->isEnabled(), w.cmdAbort->isEnabled(), w.cmdExit->isEnabled()};
}
}  // namespace

class ModuleCommandTest : public DownloadBusTest {
protected:
    std::vector<PxmModule::Mode> modes(int count) const {
        std::vector<PxmModule::Mode> m;
        for (int i = 0; i < count; ++i) m.push_back(modules->mode(i));
        return m;
    }
    // Records the lock once the command first hands control to the event loop.
    Lock seenDuringCommand{};
    void watchLock() {
        QTimer::singleShot(0, w.get(), [this] { seenDuringCommand = lockOf(*w); });
    }
};

TEST_F(ModuleCommandTest, StartBootloaderAndApplicationOnTheSelectedModulesUnderTheLock) {
    start(sim::Profile::SBus, 2);
    using M = PxmModule::Mode;
    select({1, 2});
    answerBootloaderQuestion(true);
    watchLock();
    w->mnuStartBootloader->trigger();
    EXPECT_EQ(modes(3), (std::vector<M>{M::Application, M::Bootloader, M::Bootloader}));
    // Download, Overview and the menus locked; Abort stays off; Exit stays for mode 2.
    EXPECT_EQ(seenDuringCommand, (Lock{false, false, false, false, false, false, true}));
    QStringList lines = log();
    EXPECT_TRUE(lines.first().startsWith(QString(82, '-') + ' '));
    EXPECT_EQ(lines[1], QStringLiteral("Start bootloader on all PXM's"));
    EXPECT_TRUE(lines.last().startsWith(QString(82, '-') + ' '));
    EXPECT_EQ(lockOf(*w), (Lock{true, true, true, true, true, false, true}));

    w->lstMessage->clear();
    watchLock();
    w->mnuStartApplication->trigger();
    EXPECT_TRUE(waitFor([&] { return modes(3) == std::vector<M>(3, M::Application); }, 5000));
    // Abort may stop the wait for the applications.
    EXPECT_EQ(seenDuringCommand, (Lock{false, false, false, false, false, true, true}));
    lines = log();
    EXPECT_EQ(lines[1], QStringLiteral("Start application on all PXM's"));
    EXPECT_TRUE(lines.contains(QStringLiteral("      PXM 1: ok")));
    EXPECT_TRUE(lines.contains(QStringLiteral("      PXM 2: ok")));
    EXPECT_TRUE(lines.last().startsWith(QString(82, '-') + ' '));
    EXPECT_EQ(lockOf(*w), (Lock{true, true, true, true, true, false, true}));
    EXPECT_TRUE(errors.empty());
}

// Every present module's six info blocks reach the overview under the section names; the
// modules run their application again afterwards.
TEST_F(ModuleCommandTest, OverviewReadsEveryPresentModuleAndRestartsThem) {
    start(sim::Profile::SBus, 2);
    std::vector<std::pair<moduleProtocol::Selection, ModuleInfoTable>> shown;
    w->m_overviewShown = [&](const moduleProtocol::Selection& p, const ModuleInfoTable& t) {
        shown.push_back({p, t});
        seenDuringCommand = lockOf(*w);
    };
    answerBootloaderQuestion(true);
    w->cmdModuleState->click();

    ASSERT_EQ(shown.size(), 1u) << log().join('\n').toStdString();
    const auto& [present, info] = shown.front();
    EXPECT_EQ(present, (moduleProtocol::Selection{true, true, true}));
    static const char* const names[] = {"Application", "Data Container", "FPGA", "Bootloader 2", "Bootloader 1", "Hardware"};
    for (int m = 0; m < frmMain::moduleCount; ++m) {
        SCOPED_TRACE(m);
        for (int r = 0; r < 6; ++r) EXPECT_EQ(info[m][r][0], m < 3 ? QString::fromLatin1(names[r]) : QString());
    }
    EXPECT_EQ(info[1][0][2], QStringLiteral("KELB"));               // the application's identification
    EXPECT_EQ(info[2][1][5], QStringLiteral("0x000C0000"));         // the data container's start
    EXPECT_EQ(info[2][5][9], QString::number(10002));               // module 2's serial number
    EXPECT_TRUE(log().contains(QStringLiteral("Reading InfoBlocks of all Modules ")));
    EXPECT_TRUE(log().contains(QStringLiteral("Reading InfoBlocks finished.")));
    // Mode 4: Abort and Exit locked as well.
    EXPECT_EQ(seenDuringCommand, (Lock{false, false, false, false, false, false, false}));
    EXPECT_TRUE(waitFor([&] { return modes(3) == std::vector<PxmModule::Mode>(3, PxmModule::Mode::Application); }, 8000));
    EXPECT_EQ(lockOf(*w), (Lock{true, true, true, true, true, false, true}));
    EXPECT_TRUE(errors.empty());
}

// A module that refuses to leave its application stops the command; the modules already
// sent to their bootloader are not left there.
TEST_F(ModuleCommandTest, OverviewThatCannotStartTheBootloadersRestartsWhatItStopped) {
    start(sim::Profile::SBus, 1, false, faultyBoot(&sim::BootFaults::refuseReboot, 1));
    bool shown = false;
    w->m_overviewShown = [&](const moduleProtocol::Selection&, const ModuleInfoTable&) { shown = true; };
    answerBootloaderQuestion(true);
    w->cmdModuleState_Click();

    EXPECT_TRUE(log().contains(QStringLiteral("Error: Could not start Bootloader."))) << log().join('\n').toStdString();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(waitFor([&] { return modes(2) == std::vector<PxmModule::Mode>(2, PxmModule::Mode::Application); }, 8000));
    EXPECT_TRUE(w->cmdModuleState->isEnabled());
}

// On the M-Bus the spare is read first and started again at once, so that the cylinder
// modules can be read through it; all run their application at the end.
TEST_F(ModuleCommandTest, MBusOverviewReadsTheCylindersThroughTheRestartedSpare) {
    start(sim::Profile::MBus, 2);
    moduleProtocol::Selection present{};
    ModuleInfoTable info{};
    w->m_overviewShown = [&](const moduleProtocol::Selection& p, const ModuleInfoTable& t) {
        present = p;
        info = t;
    };
    answerBootloaderQuestion(true);
    w->cmdModuleState_Click();

    EXPECT_EQ(present, (moduleProtocol::Selection{true, true, true})) << log().join('\n').toStdString();
    for (int m = 0; m < 3; ++m) EXPECT_EQ(info[m][5][9], QString::number(10000 + m)) << m;
    EXPECT_TRUE(answers->texts().filter(QStringLiteral("Overview cancelled")).isEmpty());
    EXPECT_TRUE(waitFor([&] { return modes(3) == std::vector<PxmModule::Mode>(3, PxmModule::Mode::Application); }, 10000))
        << log().join('\n').toStdString();
    EXPECT_TRUE(w->cmdModuleState->isEnabled());
}

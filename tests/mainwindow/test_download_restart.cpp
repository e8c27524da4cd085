// Every way out of a download starts again what it stopped, module 0 first on the M-Bus,
// and checks each module's mode afterwards: a failed spare stage, a spare that
// drops into its bootloader, a refused download of module 0 alone, a module that does not
// start, a declined restart, a lost bus. Judged by the simulated modules' modes.
#include "test_download_fixture.h"

#include "can/frmcanopen.h"
#include "caninterface/caninterface.h"
#include "caninterface/canstatus.h"
#include "desktop/dialogs.h"
#include "lib/flashmodel.h"
#include "lib/personality_boot.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"

#include <QAbstractItemModel>
#include <QTimer>
#include <QCheckBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <atomic>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int posApplication = 0, posBootloader2 = 3;
}  // namespace

class RestartTest : public DownloadBusTest {
protected:
    // Every module from 0 to last in that mode (waited for: the display follows the bus).
    bool allIn(int last, PxmModule::Mode mode) {
        return waitFor([&] {
            for (int m = 0; m <= last; ++m)
                if (modules->mode(m) != mode) return false;
            return true;
        });
    }
    std::string text() const { return log().join('\n').toStdString(); }
    // The module's row: its bootloader lamp on, its application lamp off, selectable.
    bool shownInBootloader(int module) const {
        return vbCheck::value(w->chkBootLoaderRunning[module]) == vbCheck::vbChecked &&
               vbCheck::value(w->chkApplicationRunning[module]) == vbCheck::vbUnchecked &&
               w->chkProgram[module]->isEnabled();
    }
    bool shownAbsent(int module) const {
        return vbCheck::value(w->chkBootLoaderRunning[module]) == vbCheck::vbUnchecked &&
               vbCheck::value(w->chkApplicationRunning[module]) == vbCheck::vbUnchecked &&
               !w->chkProgram[module]->isEnabled();
    }
    // The download on the M-Bus, counting the PC's SDO requests to the cylinders'
    // bootloader nodes (0x71 on): those sent while the command runs apart from those after
    // it. Members: the simulator outlives the test's body.
    void downloadCountingCylinderQuestions() {
        simulator.addFrameListener([this](const sim::Frame& f) {
            if (f.id > 0x600 + 0x70 && f.id <= 0x600 + 0x7E) ++(commandEnded ? askedAfter : askedDuring);
        });
        w->cmdDownload_Click();
        commandEnded = true;
    }
    // An application download to modules 0 and 1 on the S-Bus, restart answered yes, whose
    // cable comes off after module 1's download says "ok" (its first "ok" is from its
    // bootloader start); with backAfterMs > 0 the connection comes back that long after.
    // True once the bus was lost.
    bool downloadLosingTheBus(int seed, int backAfterMs = 0) {
        start(sim::Profile::SBus, 1);
        chooseApplication(pattern(1500, seed), 0x100000, QStringLiteral("APPL.S19"), {0, 1});
        answerBootloaderQuestion(true);
        answers->push(Dialogs::vbYes);  // "Restart application?"
        CANInterface& adapter = *frmCANopen::instance().m_CANInterface;
        bool lost = false;
        const QMetaObject::Connection watch =
            QObject::connect(w->lstMessage->model(), &QAbstractItemModel::rowsInserted, w.get(), [&, backAfterMs] {
                if (lost || count(QStringLiteral("      PXM 1: ok")) < 2) return;
                lost = true;
                emit adapter.ErrorEvent(0, CanStatus::HardwareError, QStringLiteral("lost the connection"));
                if (backAfterMs > 0)
                    QTimer::singleShot(backAfterMs, w.get(),
                                       [&adapter] { emit adapter.ReconnectEvent(0, QStringLiteral("connection back")); });
            });
        w->cmdDownload_Click();
        QObject::disconnect(watch);
        return lost;
    }
    std::atomic<bool> commandEnded{false};
    std::atomic<int> askedDuring{0}, askedAfter{0};
};

// A spare stage that fails before anything was sent (its Bootloader 2 is too old and no
// file is there to renew it) leaves nothing in its bootloader: module 0 first, then the
// cylinders through it.
TEST_F(RestartTest, MBusSpareStageThatFailsStartsEveryModuleAgain) {
    start(sim::Profile::MBus, 2, true);
    chooseApplication(pattern(3000, 31), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});
    modGlobal::g_bigMem = true;
    w->txtEmh[posBootloader2]->setText(QStringLiteral("---"));
    bootloaders->invoke([](QList<sim::ModuleBootloader*>& list) {
        sim::FlashModel old;
        const QByteArray bl2(512, 'b');
        old.seed(3, sim::infoblock::make(3, "BL2", 0x03000000, "Dec 01 2020", 0x10100, bl2), bl2);
        list[0]->takeSection(3, old);
    });

    w->cmdDownload_Click();

    EXPECT_TRUE(logHas(QStringLiteral("      There is no bootloader 2 available --> Download aborted!"))) << text();
    EXPECT_TRUE(logHas(QStringLiteral("M-Bus Download aborted because download to spare has failed."))) << text();
    EXPECT_TRUE(allIn(2, PxmModule::Mode::Application)) << text();
    EXPECT_TRUE(modules->loadedSections(0).isEmpty());
    EXPECT_TRUE(modules->loadedSections(1).isEmpty());
    EXPECT_TRUE(log().filter(QStringLiteral("Left in bootloader")).isEmpty()) << text();
    EXPECT_TRUE(w->cmdDownload->isEnabled());
}

// The spare falls into its bootloader after serving the cylinders: its new application is
// whole, so it is started, and the cylinder it loaded through it.
TEST_F(RestartTest, MBusSpareThatDropsIntoItsBootloaderIsStartedAgain) {
    profile.spareDropsAfterLoad = true;
    start(sim::Profile::MBus, 1, true);
    const QByteArray image = pattern(2500, 33);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0, 1});

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_EQ(modules->loadedSections(1), QList<int>{6});
    EXPECT_TRUE(allIn(1, PxmModule::Mode::Application)) << text();
    // Counted failed all the same: the spare was not back when it was asked.
    EXPECT_TRUE(lampRed(1));
}

// Module 0 alone, its download refused: the cylinders that went into their bootloader with
// it are started through it once it runs, not before.
TEST_F(RestartTest, MBusCylindersStartOnlyOnceModuleZeroRuns) {
    start(sim::Profile::MBus, 2);
    chooseApplication(pattern(1000, 34), 0x100000, QStringLiteral("APPL.S19"), {0});
    QFile::remove(vbControls::tag(w->txtEmh[posApplication]));
    answerBootloaderQuestion(true);  // only the spare: user text 4
    answerBootloaderQuestion(true);  // the engine stands still: user text 7
    answers->push(Dialogs::vbYes);   // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_TRUE(allIn(2, PxmModule::Mode::Application)) << text();
    EXPECT_FALSE(logHas(QStringLiteral("      PXM 1: not started!"))) << text();
    EXPECT_FALSE(logHas(QStringLiteral("      PXM 2: not started!"))) << text();
}

// "No" to the restart stands; the log names the modules left in their bootloader.
TEST_F(RestartTest, DeclinedRestartLeavesTheModulesAndNamesThem) {
    start(sim::Profile::SBus, 1);
    chooseApplication(pattern(1500, 35), 0x100000, QStringLiteral("APPL.S19"), {0, 1});
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbNo);  // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 0, PXM 1"))) << text();
    EXPECT_TRUE(allIn(1, PxmModule::Mode::Bootloader));
    EXPECT_TRUE(lampGreen(0));
}

// A flash that never ends leaves the section in part: that module stays in its bootloader
// and is named; the one beside it, loaded, runs again.
TEST_F(RestartTest, AHalfWrittenModuleStaysInItsBootloaderAndIsNamed) {
    start(sim::Profile::SBus, 1, true, faultyBoot(&sim::BootFaults::flashNeverEnds, 1));
    chooseApplication(pattern(2000, 36), 0x100000, QStringLiteral("APPL.S19"), {0, 1});

    w->cmdDownload_Click();

    EXPECT_TRUE(logHas(QStringLiteral("      PXM 1: section written only in part, left in bootloader!"))) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 1"))) << text();
    EXPECT_TRUE(lampRed(1));
    EXPECT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Application; })) << text();
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    // The update log names both: the one loaded and running, the one left.
    EXPECT_EQ(updater.updated.count(QStringLiteral("   Restarted: PXM 0")), 1) << updater.updated.join('\n').toStdString();
    EXPECT_EQ(updater.updated.count(QStringLiteral("   Left in bootloader: PXM 1")), 1) << updater.updated.join('\n').toStdString();
}

// A QTM whose flash wait ends at status 0 but whose program does not start: no green lamp.
TEST_F(RestartTest, AModuleThatDoesNotStartAfterItsDownloadIsRed) {
    sim::BootOptions boot = fastBoot();
    boot.faults.refuseStart = true;
    start(sim::Profile::Qtm, 0, false, boot);
    chooseApplication(pattern(1200, 37), 0x100000, QStringLiteral("APPL.S19"), {0});
    answers->push(Dialogs::vbYes);  // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_TRUE(logHas(QStringLiteral("      QTM 0: ok"))) << text();
    EXPECT_TRUE(logHas(QStringLiteral("      QTM 0: not started!"))) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: QTM 0"))) << text();
    EXPECT_TRUE(lampRed(0));
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
}

// A Bootloader 2 download that no module took (every bootloader refuses its info block)
// says that it failed. A file that lies where no bootloader goes is refused before any
// module stops (the download's file check).
TEST_F(RestartTest, ABootloader2DownloadThatEveryModuleFailedSaysSo) {
    sim::BootOptions boot = fastBoot();
    boot.faults.refuseInfoBlock = true;
    start(sim::Profile::SBus, 1, false, boot);
    answers->push(Dialogs::vbOK);  // the warning before a bootloader download
    bindFile(posBootloader2, pattern(800, 38), 0x10100, QStringLiteral("BL2.S19"));
    select({0, 1});
    selectRow(posBootloader2);
    answerBootloaderQuestion(true);

    w->cmdDownload_Click();

    EXPECT_TRUE(answers->anyTextContains(QStringLiteral("Download of Bootloader failed."))) << answers->texts().join('\n').toStdString();
    EXPECT_FALSE(answers->anyTextContains(QStringLiteral("Download of Bootloader finished.")));
    EXPECT_TRUE(lampRed(0));
    EXPECT_TRUE(lampRed(1));
    // A refused info block may have begun the section: both stay in their bootloader, named.
    EXPECT_TRUE(allIn(1, PxmModule::Mode::Bootloader)) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 0, PXM 1"))) << text();
}

// The bus goes away during the download: the restart does not wait through every module,
// says so once and names the modules left in their bootloader.
TEST_F(RestartTest, ALostBusStopsTheWaitsAndNamesTheModulesLeft) {
    EXPECT_TRUE(downloadLosingTheBus(39));
    EXPECT_EQ(count(QStringLiteral("   CAN bus lost: the applications cannot be started.")), 1) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 0, PXM 1"))) << text();
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
}

// The bus comes back while the restart waits for it: the modules stopped are started.
TEST_F(RestartTest, ABusBackInTimeLetsTheRestartStartTheModules) {
    EXPECT_TRUE(downloadLosingTheBus(42, 1500));
    EXPECT_EQ(count(QStringLiteral("   CAN bus lost: the applications cannot be started.")), 0) << text();
    EXPECT_FALSE(logHas(QStringLiteral("   Left in bootloader: PXM 0, PXM 1"))) << text();
    EXPECT_TRUE(waitFor([&] { return allIn(1, PxmModule::Mode::Application); })) << text();
}

// The spare's flash never ends: module 0 stays in its bootloader with its section written in
// part, so nothing starts the cylinders behind it and nothing reports them. They stay in the
// window, in their bootloaders and selectable for the next try; their bootloader nodes are
// asked only once the command has ended.
TEST_F(RestartTest, MBusCylindersLeftBehindAFailedSpareStayShownInTheirBootloaders) {
    start(sim::Profile::MBus, 2, true, faultyBoot(&sim::BootFaults::flashNeverEnds, 0));
    chooseApplication(pattern(2000, 40), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});

    downloadCountingCylinderQuestions();

    EXPECT_TRUE(logHas(QStringLiteral("M-Bus Download aborted because download to spare has failed."))) << text();
    EXPECT_TRUE(logHas(QStringLiteral("   Left in bootloader: PXM 0, PXM 1, PXM 2"))) << text();
    EXPECT_TRUE(allIn(2, PxmModule::Mode::Bootloader)) << text();
    EXPECT_TRUE(waitFor([&] { return shownInBootloader(0) && shownInBootloader(1) && shownInBootloader(2); })) << text();
    EXPECT_FALSE(lampGreen(1));
    EXPECT_FALSE(lampGreen(2));
    // Asked once the command has ended, and still shown after the answers.
    EXPECT_TRUE(waitFor([&] { return askedAfter >= 2; }));
    EXPECT_FALSE(waitFor([&] { return !shownInBootloader(1) || !shownInBootloader(2); }, 1000));
    EXPECT_EQ(askedDuring, 0) << "no question mixed into the command's traffic";
    EXPECT_TRUE(allIn(2, PxmModule::Mode::Bootloader));
}

// Module 0 alone, the restart declined: every module stays in its bootloader. A cylinder
// kept in the window while module 0 cannot report it goes once it stops answering at its
// bootloader node; the one beside it stays.
TEST_F(RestartTest, MBusCylinderKeptInTheWindowGoesOnceItStopsAnswering) {
    start(sim::Profile::MBus, 2);
    chooseApplication(pattern(1000, 41), 0x100000, QStringLiteral("APPL.S19"), {0});
    answerBootloaderQuestion(true);  // only the spare: user text 4
    answerBootloaderQuestion(true);  // the engine stands still: user text 7
    answers->push(Dialogs::vbNo);    // "Restart application?"
    downloadCountingCylinderQuestions();
    ASSERT_TRUE(allIn(2, PxmModule::Mode::Bootloader)) << text();
    ASSERT_TRUE(waitFor([&] { return shownInBootloader(1) && shownInBootloader(2) && askedAfter >= 2; })) << text();

    modules->setMode(2, PxmModule::Mode::Off);

    EXPECT_TRUE(waitFor([&] { return shownAbsent(2); }, 6000));
    EXPECT_TRUE(w->lblHW[2]->text().isEmpty());
    EXPECT_TRUE(shownInBootloader(1));
    EXPECT_TRUE(shownInBootloader(0));
}

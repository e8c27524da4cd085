// The manual download end to end: the Download button against the simulated modules, whose
// bootloaders keep what they are sent in their flash, read back here byte for byte.
#include "test_download_fixture.h"

#include "desktop/dialogs.h"
#include "lib/flashmodel.h"
#include "lib/personality_boot.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/vbcheckbox.h"
#include "services/modglobal.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int posApplication = 0, posFpga = 2;

QByteArray infoOf(sim::PxmBootloaders& b, int module, int section) { return b.info(module, section); }
quint32 startAddressOf(const QByteArray& block) { return sim::infoblock::be32(block, 28); }
}  // namespace

TEST_F(DownloadBusTest, SBusModulesTakeTheApplicationByteForByteAndAreStartedAgain) {
    start(sim::Profile::SBus, 2);
    // Two transfers: 8192 bytes and the rest. The file lies below the base address.
    const QByteArray image = pattern(8192 + 1, 1);
    chooseApplication(image, 0x0FF000, QStringLiteral("APPL.S19"), {0, 1, 2});
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbYes);  // "Restart application?"

    w->cmdDownload_Click();

    for (int m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(bootloaders->image(m, 6), image);
        // The info block carries the base address, not the file's.
        EXPECT_EQ(startAddressOf(infoOf(*bootloaders, m, 6)), 0x100000u);
        EXPECT_TRUE(lampGreen(m));
        EXPECT_TRUE(w->m_moduleDone[m]);
        EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application);
        EXPECT_EQ(count(QStringLiteral("      PXM %1: ok").arg(m)), 3) << log().join(QLatin1Char(10)).toStdString();  // bootloader, loaded, started
    }
    const QStringList lines = log();
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("DOWNLOAD ") + QString(73, '-') + ' '));
    EXPECT_EQ(lines[1], QStringLiteral("Programming PXM's"));
    EXPECT_TRUE(logHas(QStringLiteral("   Download Application")));
    EXPECT_EQ(count(QStringLiteral("      start-address moved to 1048576")), 3);
    EXPECT_TRUE(lines.last().startsWith(QString(82, '-') + ' '));
    EXPECT_TRUE(answers->texts().contains(QStringLiteral("Restart application?")));
    EXPECT_EQ(updater.finished, 1);
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_FALSE(w->cmdAbort->isEnabled());
    EXPECT_TRUE(errors.empty());
}

TEST_F(DownloadBusTest, AModuleThatRefusesItsInfoBlockIsTriedThreeTimesAndLeftOutOfTheNextSection) {
    // The update run presses the button: no questions.
    start(sim::Profile::SBus, 1, true, faultyBoot(&sim::BootFaults::refuseInfoBlock, 1));
    const QByteArray appl = pattern(3000, 2), fpga = pattern(2000, 3);
    const QByteArray factoryAppl = bootloaders->image(1, 6);
    bindFile(posApplication, appl, 0x100000, QStringLiteral("APPL.S19"));
    bindFile(posFpga, fpga, 0x380000, QStringLiteral("FPGA.S19"));
    select({0, 1});
    selectRow(posApplication);
    selectRow(posFpga);

    w->cmdDownload_Click();

    EXPECT_EQ(count(QStringLiteral("      PXM 1: failure in transmitting infoblock!")), 3) << log().join('\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("         new attempt")), 2);
    EXPECT_TRUE(logHas(QStringLiteral("   Download FPGA")));
    EXPECT_TRUE(lampRed(1));
    EXPECT_FALSE(w->m_moduleDone[1]);
    EXPECT_EQ(bootloaders->image(1, 6), factoryAppl);
    // The failed module stays in its bootloader; the other took both sections and runs.
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    EXPECT_TRUE(lampGreen(0));
    EXPECT_EQ(bootloaders->image(0, 6), appl);
    EXPECT_EQ(bootloaders->image(0, 7), fpga);
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    // The update run hears only of the module that took its sections.
    EXPECT_EQ(updater.updated.count(QStringLiteral("   PXM-#00 is updated")), 2);
    EXPECT_FALSE(updater.updated.contains(QStringLiteral("   PXM-#01 is updated")));
    EXPECT_TRUE(answers->shown().empty());
    EXPECT_TRUE(errors.empty());
}

namespace {
// Abort was pressed before the download reached its first module.
struct AbortTest : DownloadBusTest {
    void run(bool yes) {
        start(sim::Profile::SBus, 0);
        const QByteArray factory = bootloaders->image(0, 6), image = pattern(1200, 8);
        chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
        answerBootloaderQuestion(true);
        answers->push(yes ? Dialogs::vbYes : Dialogs::vbNo);  // "Do you want to abort the download?"
        answers->push(Dialogs::vbNo);                          // "Restart application?"
        w->m_abort = true;

        w->cmdDownload_Click();

        EXPECT_EQ(answers->texts().count(QStringLiteral("Do you want to abort the download?")), 1);
        EXPECT_EQ(logHas(QStringLiteral("Abort of the download!")), yes) << log().join('\n').toStdString();
        // The ending follows the abort too: the module runs its application again unless
        // the restart was declined.
        if (yes) {
            EXPECT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Application; })) << log().join('\n').toStdString();
        }
        EXPECT_EQ(bootloaders->image(0, 6), yes ? factory : image);
        EXPECT_TRUE(w->cmdDownload->isEnabled());
        EXPECT_FALSE(w->m_abort);
        EXPECT_EQ(updater.finished, 1);
        EXPECT_TRUE(errors.empty());
    }
};
}  // namespace

TEST_F(AbortTest, YesEndsTheDownloadAtTheNextModule) { run(true); }
TEST_F(AbortTest, NoGoesOnWithTheSameModule) { run(false); }

TEST_F(DownloadBusTest, AnUnreadableBootloader2VersionStopsTheDownloadAndUnlocksTheWindow) {
    start(sim::Profile::SBus, 0);
    modGlobal::g_bigMem = true;
    bootloaders->invoke([](QList<sim::ModuleBootloader*>& b) { b[0]->flash().setInfo(3, QByteArray(10, '\0')); });
    const QByteArray factory = bootloaders->image(0, 6);
    chooseApplication(pattern(1000, 9), 0x100000, QStringLiteral("APPL.S19"), {0});
    answerBootloaderQuestion(true);

    w->cmdDownload_Click();

    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].procedure, QStringLiteral("downloadSelectedModules"));
    EXPECT_EQ(errors[0].number, 13);
    EXPECT_EQ(bootloaders->image(0, 6), factory);
    EXPECT_FALSE(logHas(QStringLiteral("   Download Application")));
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_FALSE(w->cmdAbort->isEnabled());
}

TEST_F(DownloadBusTest, QtmModuleTakesItsApplication) {
    start(sim::Profile::Qtm, 0);
    const QByteArray image = pattern(5000, 4);
    chooseApplication(image, 0x10000, QStringLiteral("QTM.S19"), {0});
    answers->push(Dialogs::vbYes);

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 2), image);
    EXPECT_EQ(count(QStringLiteral("      QTM 0: ok")), 3) << log().join('\n').toStdString();
    EXPECT_TRUE(lampGreen(0));
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_TRUE(errors.empty());
}

TEST_F(DownloadBusTest, BigMemoryRefusesAModuleOfHardwareVersionSixThatIsNotEvenSelected) {
    start(sim::Profile::SBus, 1);
    modGlobal::g_bigMem = true;
    bootloaders->invoke([](QList<sim::ModuleBootloader*>& b) {
        QByteArray hw = b[1]->flash().info(1);
        sim::infoblock::putBe32(hw, 12, 6);
        sim::infoblock::seal(hw);
        b[1]->flash().setInfo(1, hw);
    });
    const QByteArray factory = bootloaders->image(0, 6);
    chooseApplication(pattern(1000, 5), 0x100000, QStringLiteral("APPL.S19"), {0});
    // Module 1 runs but is left out: first the spare-only question, then the bootloader's.
    answerBootloaderQuestion(true);
    answerBootloaderQuestion(true);

    w->cmdDownload_Click();

    const QStringList lines = log();
    const qsizetype at = lines.indexOf(QStringLiteral("   All PXM-HW-Versions must be 7 or higher!"));
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(at, 3), QStringList({"   All PXM-HW-Versions must be 7 or higher!", "      PXM#01 is version 6",
                                             "   Download aborted!"}));
    EXPECT_EQ(bootloaders->image(0, 6), factory);
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_EQ(updater.finished, 1);
}

TEST_F(DownloadBusTest, MBusLoadsTheSpareFirstAndThenTheCylindersThroughIt) {
    // Cylinder 2's first attempt fails inside module 0; its second succeeds.
    start(sim::Profile::MBus, 2, true, fastBoot(), 1u << 2);
    const QByteArray image = pattern(4000, 6);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});

    w->cmdDownload_Click();

    const QStringList lines = log();
    const qsizetype spare = lines.indexOf(QStringLiteral("M-Bus download: starting download to spare."));
    const qsizetype cylinders = lines.indexOf(QStringLiteral("M-Bus download: starting download to cylinders."));
    ASSERT_GE(spare, 0) << lines.join('\n').toStdString();
    ASSERT_GT(cylinders, spare) << lines.join('\n').toStdString();
    EXPECT_GT(lines.indexOf(QStringLiteral("      PXM 0: ok"), spare), spare);
    const QStringList second = lines.mid(cylinders);
    EXPECT_EQ(second.count(QStringLiteral("      PXM 2: failure in auto-download of program/data!")), 1);
    EXPECT_GT(second.indexOf(QStringLiteral("      PXM 1: ok")), 0) << second.join('\n').toStdString();
    EXPECT_GT(second.indexOf(QStringLiteral("      PXM 2: ok")), 0);

    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_EQ(modules->loadedSections(1), QList<int>{6});
    EXPECT_EQ(modules->loadedSections(2), QList<int>{6});
    for (int m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        EXPECT_TRUE(lampGreen(m));
        EXPECT_TRUE(w->m_moduleDone[m]);
        EXPECT_EQ(vbCheck::value(w->chkProgram[m]), vbCheck::vbChecked);
        EXPECT_TRUE(updater.updated.contains(QStringLiteral("   PXM-#%1 is updated").arg(m, 2, 10, QLatin1Char('0'))));
    }
    EXPECT_TRUE(waitFor([&] {
        for (int m = 0; m < 3; ++m)
            if (modules->mode(m) != PxmModule::Mode::Application) return false;
        return true;
    }));
    // Update mode: no question, a user text per module served.
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
    EXPECT_EQ(updater.userInfos.count(QStringLiteral("Updating PXM #01 ...")), 1);
    EXPECT_EQ(updater.finished, 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(DownloadBusTest, MBusServesNoCylinderWhenTheSpareFails) {
    start(sim::Profile::MBus, 2, true, faultyBoot(&sim::BootFaults::refuseData, 0));
    chooseApplication(pattern(1500, 7), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});

    w->cmdDownload_Click();

    EXPECT_EQ(count(QStringLiteral("      PXM 0: failure in transmitting program/data!")), 3) << log().join('\n').toStdString();
    EXPECT_TRUE(logHas(QStringLiteral("M-Bus Download aborted because download to spare has failed.")));
    EXPECT_FALSE(logHas(QStringLiteral("M-Bus download: starting download to cylinders.")));
    EXPECT_TRUE(lampRed(0));
    EXPECT_TRUE(modules->loadedSections(1).isEmpty());
    EXPECT_TRUE(modules->loadedSections(2).isEmpty());
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_EQ(updater.finished, 1);
}

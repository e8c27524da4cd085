// The download's red paths end to end: a module is green, done and reported updated only
// when its flash is programmed; a module that got nothing is red and named; every module
// that ran its application before the download runs it again afterwards.
#include "test_download_fixture.h"

#include "can/canmessageform.h"
#include "can/frmcanopen.h"
#include "caninterface/caninterface.h"
#include "caninterface/canstatus.h"
#include "desktop/dialogs.h"
#include "lib/personality_boot.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/modglobal.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int posApplication = 0, posDataContainer = 1, posFpga = 2, posBootloader2 = 3, posQtmApplication = 4;

QString updatedLine(int m) { return QStringLiteral("   PXM-#%1 is updated").arg(m, 2, 10, QLatin1Char('0')); }
}  // namespace

TEST_F(DownloadBusTest, AFlashThatNeverEndsIsARedLampAndNoUpdatedModule) {
    start(sim::Profile::SBus, 1, true, faultyBoot(&sim::BootFaults::flashNeverEnds, 1));
    const QByteArray image = pattern(2000, 11);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0, 1});

    w->cmdDownload_Click();

    const QString text = log().join('\n');
    EXPECT_EQ(count(QStringLiteral("      PXM 1: failure in flash-programming (timeout)!")), 1) << text.toStdString();
    EXPECT_TRUE(lampRed(1));
    EXPECT_FALSE(w->m_moduleDone[1]);
    EXPECT_FALSE(updater.updated.contains(updatedLine(1))) << updater.updated.join('\n').toStdString();
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    // The module beside it finished its flash and counts.
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(w->m_moduleDone[0]);
    EXPECT_EQ(updater.updated.count(updatedLine(0)), 1);
    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_TRUE(errors.empty());
}

TEST_F(DownloadBusTest, AModuleIdleAtTheFirstPollHasFinishedAndAnImageOfOneBlockArrivesWhole) {
    sim::BootOptions boot = fastBoot();
    boot.faults.idleAfterFlash = true;
    start(sim::Profile::SBus, 0, true, boot);
    const QByteArray image = pattern(8192, 12);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});

    w->cmdDownload_Click();

    EXPECT_FALSE(logHas(QStringLiteral("      PXM 0: failure in flash-programming (timeout)!"))) << log().join('\n').toStdString();
    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(w->m_moduleDone[0]);
    // The update log's "is updated" lines; the restart's lines follow them.
    EXPECT_EQ(updater.updated.filter(QStringLiteral(" is updated")), QStringList{updatedLine(0)});
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_TRUE(errors.empty());
}

// A file that vanished after the check, or that is no S-record file, is refused before a
// module stops: the reader's reason is named, and both modules run on as they did.
TEST_F(DownloadBusTest, AFileThatVanishedOrIsNoSRecordFileStopsNoModule) {
    struct Case {
        const char* name;
        std::function<void(const QString& path)> spoil;
        const char* reason;
    };
    const Case cases[] = {
        {"file deleted after the check", [](const QString& path) { QFile::remove(path); }, "the file cannot be opened"},
        {"no S-record file", [](const QString& path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write("this is no S-record file\r\n");
         }, "line 1: "},
    };
    start(sim::Profile::SBus, 1, true);
    select({0, 1});
    selectRow(posApplication);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->lstMessage->clear();
        updater.updated.clear();
        const QByteArray factory = bootloaders->image(1, 6);
        bindFile(posApplication, pattern(1000, 13), 0x100000, QStringLiteral("APPL.S19"));
        const QString path = vbControls::tag(w->txtEmh[posApplication]);
        c.spoil(path);

        w->cmdDownload_Click();

        const QStringList lines = log();
        const qsizetype at = lines.indexOf(QStringLiteral("   Download aborted because conversion S19-to-binary failed."));
        ASSERT_GE(at, 0) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.value(at + 1).startsWith(QStringLiteral("      ") + QDir::toNativeSeparators(path)));
        EXPECT_TRUE(lines.value(at + 1).contains(QLatin1String(c.reason))) << lines.value(at + 1).toStdString();
        EXPECT_FALSE(logHas(QStringLiteral("   Starting bootloader on all modules"))) << lines.join('\n').toStdString();
        for (int m = 0; m < 2; ++m) {
            SCOPED_TRACE(m);
            EXPECT_FALSE(lampRed(m));
            EXPECT_FALSE(updater.updated.contains(updatedLine(m)));
            EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application);
            EXPECT_TRUE(modules->loadedSections(m).isEmpty());
        }
        EXPECT_EQ(bootloaders->image(1, 6), factory);
        EXPECT_TRUE(w->cmdDownload->isEnabled());
    }
    EXPECT_TRUE(errors.empty());
}

// On the M-Bus the road puts every present cylinder into its bootloader; one that ran its
// application and was not chosen must run it again when the download is over.
TEST_F(DownloadBusTest, MBusStartsAnUnselectedCylinderAgainThatRanItsApplicationBefore) {
    start(sim::Profile::MBus, 2);
    const QByteArray image = pattern(3000, 14);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0, 1});
    answerBootloaderQuestion(true);  // only some cylinders: user text 4
    answerBootloaderQuestion(true);  // the engine stands still: user text 7
    answers->push(Dialogs::vbYes);   // "Restart application?"

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 6), image);
    EXPECT_EQ(modules->loadedSections(1), QList<int>{6}) << log().join('\n').toStdString();
    EXPECT_TRUE(modules->loadedSections(2).isEmpty());
    EXPECT_TRUE(waitFor([&] {
        for (int m = 0; m < 3; ++m)
            if (modules->mode(m) != PxmModule::Mode::Application) return false;
        return true;
    })) << log().join('\n').toStdString();
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(lampGreen(1));
    EXPECT_TRUE(errors.empty());
}

namespace {
// A QTM or BZM installation: the application in row 0 (section 2), Bootloader 2 in row 3
// (section 1), the other rows hidden as the start-up leaves them.
struct QtmDownloadTest : DownloadBusTest {
    void startQtm(sim::Profile p) {
        start(p, 0);
        static const char* const tags[frmMain::sectionRows] = {"2", "-1", "-1", "1", "-1"};
        for (int pos = 0; pos < frmMain::sectionRows; ++pos) {
            vbControls::setTag(w->chkLoadSection[pos], QString::fromLatin1(tags[pos]));
            w->chkLoadSection[pos]->setVisible(pos == posApplication || pos == posBootloader2);
        }
    }
};
}  // namespace

// "New" switches only the file variant: the rows keep their sections.
struct QtmNewTest : QtmDownloadTest, ::testing::WithParamInterface<sim::Profile> {};

TEST_P(QtmNewTest, NewLoadsTheNewVariantIntoTheApplicationSection) {
    startQtm(GetParam());
    const QByteArray image = pattern(1500, 15);
    bindFile(posApplication, image, 0x10000, QStringLiteral("APP_New.S19"));
    const QString plain = dir.filePath(QStringLiteral("APP.S19"));
    vbControls::setTag(w->txtEmh[posApplication], plain);
    w->txtEmh[posApplication]->setText(plain);
    const QByteArray section6 = bootloaders->image(0, 6);
    vbCheck::setValue(w->chkSectionNew, vbCheck::vbChecked);
    EXPECT_EQ(vbControls::tag(w->chkLoadSection[posApplication]), QStringLiteral("2"));
    EXPECT_EQ(vbControls::tag(w->chkLoadSection[posBootloader2]), QStringLiteral("1"));
    select({0});
    selectRow(posApplication);
    answers->push(Dialogs::vbYes);

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 2), image) << log().join('\n').toStdString();
    EXPECT_EQ(bootloaders->image(0, 6), section6);
    EXPECT_TRUE(lampGreen(0));
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_TRUE(errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, QtmNewTest, ::testing::Values(sim::Profile::Qtm, sim::Profile::Bzm));

// After a Bootloader 2 download only the shown rows are chosen for the application.
TEST_F(QtmDownloadTest, AfterBootloader2TheNextDownloadLoadsTheApplicationAlone) {
    startQtm(sim::Profile::Qtm);
    const QByteArray bl2 = pattern(1200, 16), application = pattern(1800, 17);
    bindFile(posBootloader2, bl2, 0x8000, QStringLiteral("BL2.S19"));
    bindFile(posApplication, application, 0x10000, QStringLiteral("APP.S19"));
    select({0});
    selectRow(posBootloader2);
    answers->push(Dialogs::vbOK);  // the warning before a bootloader download
    answers->push(Dialogs::vbOK);  // "Download of Bootloader finished."

    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 1), bl2) << log().join('\n').toStdString();
    EXPECT_EQ(vbCheck::value(w->chkLoadSection[posApplication]), vbCheck::vbChecked);
    for (int pos : {posDataContainer, posFpga, posQtmApplication}) {
        SCOPED_TRACE(pos);
        EXPECT_EQ(vbCheck::value(w->chkLoadSection[pos]), vbCheck::vbUnchecked);
    }

    w->lstMessage->clear();
    answers->push(Dialogs::vbYes);  // "Restart application?"
    w->cmdDownload_Click();

    EXPECT_FALSE(logHas(QStringLiteral("No S19-File defined!"))) << log().join('\n').toStdString();
    EXPECT_FALSE(logHas(QStringLiteral("   Download DataCont.")));
    EXPECT_EQ(bootloaders->image(0, 2), application);
    EXPECT_TRUE(lampGreen(0));
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
    EXPECT_TRUE(errors.empty());
}

// Cylinder 1's transfer stops half-way: the no-progress limit ends it and module 0 is told
// to abort, so the next cylinders find the register free. Cylinder 2 fails every attempt.
TEST_F(DownloadBusTest, MBusAbortsAStalledCylinderAndGoesOnWithTheNext) {
    profile.stallMask = 1u << 1;
    profile.failMask = 1u << 2;
    start(sim::Profile::MBus, 3, true);
    chooseApplication(pattern(2500, 18), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2, 3});

    w->cmdDownload_Click();

    const QString text = log().join('\n');
    EXPECT_EQ(count(QStringLiteral("      Autodownload error: no progress reported by the spare module!")), 1) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("could not reset command register!")));
    EXPECT_EQ(count(QStringLiteral("      PXM 2: failure in auto-download of program/data!")), 2);
    for (int m : {1, 2}) {
        SCOPED_TRACE(m);
        EXPECT_EQ(count(QStringLiteral("      PXM %1: autodownload of program/data has failed!").arg(m)), 1);
        EXPECT_TRUE(lampRed(m));
        EXPECT_FALSE(w->m_moduleDone[m]);
        EXPECT_FALSE(updater.updated.contains(updatedLine(m)));
    }
    const QStringList lines = log();
    const QStringList cylinders = lines.mid(lines.indexOf(QStringLiteral("M-Bus download: starting download to cylinders.")));
    EXPECT_TRUE(cylinders.contains(QStringLiteral("      PXM 3: ok")));
    EXPECT_EQ(modules->loadedSections(3), QList<int>{6});
    EXPECT_TRUE(lampGreen(3));
    EXPECT_EQ(updater.updated.filter(QStringLiteral(" is updated")), QStringList({updatedLine(0), updatedLine(3)}));
    EXPECT_TRUE(errors.empty());
}

// A module 0 that does not take the abort keeps its register busy: the next cylinder fails
// after the register wait instead of hanging the window.
TEST_F(DownloadBusTest, MBusFailsTheNextCylinderWhileTheRegisterStaysBusy) {
    profile.stallMask = 1u << 1;
    profile.deafToAbort = true;
    start(sim::Profile::MBus, 2, true);
    chooseApplication(pattern(2500, 19), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});

    w->cmdDownload_Click();

    const QString text = log().join('\n');
    EXPECT_TRUE(answers->texts().contains(QStringLiteral("      AutoDownload error: abort command not executed!")))
        << answers->texts().join('\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("      Autodownload error: could not reset command register!")), 1) << text.toStdString();
    for (int m : {1, 2}) {
        SCOPED_TRACE(m);
        EXPECT_EQ(count(QStringLiteral("      PXM %1: autodownload of program/data has failed!").arg(m)), 1);
        EXPECT_TRUE(lampRed(m));
        EXPECT_FALSE(updater.updated.contains(updatedLine(m)));
    }
    EXPECT_TRUE(modules->loadedSections(2).isEmpty());
    EXPECT_TRUE(w->cmdDownload->isEnabled());
}

// The cylinder took its section, but module 0 did not come back into its application.
TEST_F(DownloadBusTest, MBusCountsACylinderFailedWhenTheSpareIsNotBackInItsApplication) {
    profile.spareDropsAfterLoad = true;
    start(sim::Profile::MBus, 1, true);
    chooseApplication(pattern(2500, 20), 0x100000, QStringLiteral("APPL.S19"), {0, 1});

    w->cmdDownload_Click();

    EXPECT_EQ(modules->loadedSections(1), QList<int>{6});
    EXPECT_EQ(count(QStringLiteral("      PXM 1: autodownload of program/data has failed!")), 1) << log().join('\n').toStdString();
    EXPECT_TRUE(lampRed(1));
    EXPECT_FALSE(w->m_moduleDone[1]);
    EXPECT_FALSE(updater.updated.contains(updatedLine(1)));
}

// Abort pressed while cylinder 1 is being loaded is seen before cylinder 2: the running
// auto-download is stopped and nothing more is loaded.
TEST_F(DownloadBusTest, MBusAbortDuringACylindersLoadStopsBeforeTheNext) {
    // The update run's line for cylinder 1 comes just before its load begins.
    struct PressAbort : RecordingUpdater {
        frmMain* w = nullptr;
        void setUserInfo(const QString& text, int a, bool& b, int c, bool& shown) override {
            RecordingUpdater::setUserInfo(text, a, b, c, shown);
            if (text == QStringLiteral("Updating PXM #01 ...")) w->cmdAbort->click();
        }
    } press;
    press.w = w.get();
    updaterLink::install(&press);
    start(sim::Profile::MBus, 2, true);
    chooseApplication(pattern(2500, 21), 0x100000, QStringLiteral("APPL.S19"), {0, 1, 2});
    answers->push(Dialogs::vbYes);  // "Do you want to abort the download?"

    w->cmdDownload_Click();

    EXPECT_EQ(answers->texts().count(QStringLiteral("Do you want to abort the download?")), 1)
        << answers->texts().join('\n').toStdString();
    EXPECT_TRUE(logHas(QStringLiteral("Abort of the download!"))) << log().join('\n').toStdString();
    EXPECT_EQ(modules->loadedSections(1), QList<int>{6});
    EXPECT_TRUE(modules->loadedSections(2).isEmpty());
    EXPECT_FALSE(modules->autoDownloadBusy());
    EXPECT_FALSE(press.userInfos.contains(QStringLiteral("Updating PXM #02 ...")));
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_FALSE(w->m_abort);
    // The ending follows the abort: the updated cylinder and the untouched one run again.
    EXPECT_TRUE(waitFor([&] {
        for (int m = 0; m < 3; ++m)
            if (modules->mode(m) != PxmModule::Mode::Application) return false;
        return true;
    })) << log().join('\n').toStdString();
    EXPECT_TRUE(log().filter(QStringLiteral("Left in bootloader")).isEmpty()) << log().join('\n').toStdString();
    // The update log names every module the download stopped, not only those it loaded.
    EXPECT_EQ(press.updated, QStringList({updatedLine(0), updatedLine(1), QStringLiteral("   Restarted: PXM 0, PXM 1, PXM 2")}))
        << press.updated.join('\n').toStdString();
    updaterLink::install(&updater);
}

// A Bootloader 2 older than 4.00 is loaded first, alone, and the rows are made ready for
// the application afterwards.
TEST_F(DownloadBusTest, ATooOldBootloader2SelectsItselfAndIsLoadedAlone) {
    start(sim::Profile::SBus, 0);
    modGlobal::g_bigMem = true;
    bootloaders->invoke([](QList<sim::ModuleBootloader*>& b) {
        QByteArray block = b[0]->flash().info(3);
        sim::infoblock::putBe32(block, 12, 0x03000000);  // "3.00"
        sim::infoblock::seal(block);
        b[0]->flash().setInfo(3, block);
    });
    const QByteArray application = bootloaders->image(0, 6), bl2 = pattern(1400, 22);
    bindFile(posApplication, pattern(1600, 23), 0x100000, QStringLiteral("APPL.S19"));
    bindFile(posBootloader2, bl2, 0x30000, QStringLiteral("BL2.S19"));
    select({0});
    selectRow(posApplication);
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbOK);  // "Download of Bootloader finished."

    w->cmdDownload_Click();

    const QStringList lines = log();
    const qsizetype at = lines.indexOf(QStringLiteral("   Bootloader 2 - version must be 4.00 or higher."));
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[at + 1], QStringLiteral("      Download of BL2 to PXM#00 selected!"));
    EXPECT_TRUE(logHas(QStringLiteral("   Download BL2")));
    EXPECT_FALSE(logHas(QStringLiteral("   Download Application")));
    EXPECT_EQ(bootloaders->image(0, 3), bl2) << lines.join(QLatin1Char(10)).toStdString();
    EXPECT_EQ(bootloaders->image(0, 6), application);
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(answers->texts().contains(QStringLiteral("Download of Bootloader finished.\r\nAs next you need to download the application.")));
    EXPECT_EQ(vbCheck::value(w->chkLoadSection[posBootloader2]), vbCheck::vbUnchecked);
    EXPECT_EQ(vbCheck::value(w->chkLoadSection[posApplication]), vbCheck::vbChecked);
    EXPECT_EQ(vbCheck::value(w->chkLoadSection[posDataContainer]), vbCheck::vbChecked);
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Bootloader);
    EXPECT_TRUE(errors.empty());
}

// The adapter reports its bus lost: the window says so once, refuses the download at once,
// and takes it up again once the bus is set up anew.
TEST_F(DownloadBusTest, ALostBusIsLoggedOnceRefusesTheDownloadAndIsUsedAgainAfterANewSetUp) {
    start(sim::Profile::SBus, 0);
    const QByteArray image = pattern(1000, 24);
    chooseApplication(image, 0x100000, QStringLiteral("APPL.S19"), {0});
    CANInterface& adapter = *frmCANopen::instance().m_CANInterface;
    const QString lost = QStringLiteral("lost the connection to interface \"can0\" of plugin \"virtualcan\"");
    emit adapter.ErrorEvent(0, CanStatus::HardwareError, lost);
    emit adapter.ErrorEvent(0, CanStatus::HardwareError, lost);

    EXPECT_EQ(log(), QStringList{QStringLiteral("CAN: ") + lost});
    w->cmdDownload_Click();

    EXPECT_TRUE(logHas(QStringLiteral("   CAN bus is not set up --> Download aborted!"))) << log().join('\n').toStdString();
    EXPECT_TRUE(answers->shown().empty()) << answers->texts().join('\n').toStdString();
    EXPECT_TRUE(w->cmdDownload->isEnabled());
    EXPECT_NE(bootloaders->image(0, 6), image);

    double version = 0;
    ASSERT_TRUE(frmCANopen::instance().g_initialise(CanMessageForm{}, version, QStringLiteral("S-Bus"), false, 0));
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbYes);  // "Restart application?"
    w->lstMessage->clear();
    w->cmdDownload_Click();

    EXPECT_EQ(bootloaders->image(0, 6), image) << log().join('\n').toStdString();
    EXPECT_TRUE(lampGreen(0));
    EXPECT_EQ(log().filter(QStringLiteral("lost the connection")).size(), 0);
    EXPECT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Application; }));
}

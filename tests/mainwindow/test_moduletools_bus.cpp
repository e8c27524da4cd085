// The module tools against the simulated modules: the overview of what their bootloaders
// hold, and the hardware info-block repair, whose block is read back from the simulator.
#include "test_download_fixture.h"
#include "toolwindowgrab.h"

#include "can/modmodechange.h"
#include "can/modupload.h"
#include "lib/crc32.h"
#include "lib/flashmodel.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/frmhwinfoblockrepair.h"
#include "mainwindow/frmmoduleoverview.h"
#include "mainwindow/vbcontrols.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace dltest;
using sim::PxmModule;

namespace {

constexpr quint32 kLightGreen = 0x80FF80, kLightRed = 0x8080FF;

// A template as the installation supplies it: size and identification, RAM and flash
// sizes, a pattern in the rest, and a block CRC that the repair must replace.
QByteArray hardwareTemplate(int size = 312) {
    QByteArray t(size, '\0');
    for (int i = 24; i < size; ++i) t[i] = char((i * 5 + 3) & 0xFF);
    sim::infoblock::putBe32(t, 0, 312);
    t.replace(4, 8, QByteArray("PXM20HW\0", 8));
    t.replace(12, 12, QByteArray(12, '\x55'));
    return t.left(size);
}

class ModuleToolsBusTest : public DownloadBusTest {
protected:
    void SetUp() override {
        DownloadBusTest::SetUp();
        // The templates lie beside the configuration's folder.
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("config")));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("PXM_Templates")));
        modGlobal::g_configDir = QDir::toNativeSeparators(dir.filePath(QStringLiteral("config")));
    }
    void TearDown() override {
        frmHWInfoBlockRepair::instance().m_statusPollLimitMs = 10000;
        frmHWInfoBlockRepair::instance().cmdExit_Click();
        frmModuleOverview::instance().cmdExit_Click();
        DownloadBusTest::TearDown();
    }
    QString templatePath(const QString& name) const { return dir.filePath(QStringLiteral("PXM_Templates/") + name); }
    void addTemplate(const QString& version, const QByteArray& bytes = hardwareTemplate()) {
        ASSERT_TRUE(testsupport::writeFile(templatePath(QStringLiteral("HWInfoBlockVersion%1.bin").arg(version)), bytes));
    }
    static frmHWInfoBlockRepair& repair() { return frmHWInfoBlockRepair::instance(); }
    // Chooses the module in the list; a module that runs its application is sent to its
    // bootloader after the engine question, answered Continue.
    void choose(int module) {
        if (modules->mode(module) == PxmModule::Mode::Application) answerBootloaderQuestion(true);
        const int i = repair().cmbModuleNum->findText(QString::number(module));
        ASSERT_GT(i, 0);
        repair().cmbModuleNum->setCurrentIndex(i);
        repair().cmbModuleNum_Click();
    }
    void enter(const QString& serial, const QString& week, const QString& year, const QString& version) {
        repair().txtHWSerial->setText(serial);
        repair().txtProductionDateWeek->setText(week);
        repair().txtProductionDateYear->setText(year);
        const int i = repair().CmbHWVersion->findText(version);
        ASSERT_GE(i, 0) << version.toStdString();
        repair().CmbHWVersion->setCurrentIndex(i);
    }
    std::vector<bool> enabledControls() const {
        std::vector<bool> on;
        for (QWidget* c : std::initializer_list<QWidget*>{repair().cmbModuleNum, repair().cmdExit, repair().cmdDownload,
                                                          repair().CmbHWVersion, repair().txtHWSerial,
                                                          repair().txtProductionDateWeek, repair().txtProductionDateYear})
            on.push_back(c->isEnabled());
        return on;
    }
    // Repairs module 1 with good entries on these bootloaders and returns the texts shown.
    // The repair must fail and leave the block and the module.
    QStringList failedRepair(const sim::BootOptions& boot) {
        start(sim::Profile::SBus, 1, false, boot);
        addTemplate(QStringLiteral("07"));
        const QByteArray before = bootloaders->info(1, 1);
        repair().g_show();
        choose(1);
        enter(QStringLiteral("4711"), QStringLiteral("10"), QStringLiteral("2021"), QStringLiteral("07"));
        answers->clear();
        answers->push(Dialogs::vbOK);  // the module has a serial number: the question
        repair().cmdDownload_Click();
        EXPECT_TRUE(logHas(QStringLiteral("   InfoBlock repair failed!")));
        EXPECT_FALSE(logHas(QStringLiteral("   InfoBlock repaired successfully!")));
        EXPECT_EQ(vbControls::backColor(repair().txtHWSerial), kLightRed);
        EXPECT_EQ(bootloaders->info(1, 1), before);
        EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
        return answers->texts();
    }
};

TEST_F(ModuleToolsBusTest, OverviewOfThreeModulesShowsTheOneWhoseSoftwareDiffers) {
    sim::BootOptions boot = fastBoot();
    boot.differing = {{2, 6}};
    start(sim::Profile::SBus, 2, false, boot);
    answerBootloaderQuestion(true);
    ASSERT_TRUE(modModeChange::g_startBootloader(moduleProtocol::Selection{true, true, true}, false));

    static const char* const names[6] = {"Application", "Data Container", "FPGA", "Bootloader 2", "Bootloader 1", "Hardware"};
    ModuleInfoTable info{};
    for (int m = 0; m < 3; ++m) {
        modUpload::InfoTable table;
        ASSERT_TRUE(modUpload::g_uploadInfoBlocks(qint16(m), table)) << m;
        for (int r = 0; r < 6; ++r) {
            info[m][r][0] = QString::fromLatin1(names[r]);
            for (int c = 1; c < 12; ++c) info[m][r][c] = table[r][c];
        }
    }
    frmModuleOverview& overview = frmModuleOverview::instance();
    overview.g_show(moduleProtocol::Selection{true, true, true}, info);

    EXPECT_EQ(overview.referenceModule(), 1);
    EXPECT_EQ(overview.gridValue(0, 7), info[1][0][7]);
    EXPECT_NE(info[2][0][7], info[1][0][7]);
    EXPECT_EQ(overview.tdbModuleInfo_FetchCellStyle(0, 7), vbControls::vbRed);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 12; ++c)
            if (r != 0 || c != 7) {
                EXPECT_NE(overview.tdbModuleInfo_FetchCellStyle(r, c), vbControls::vbRed) << r << "," << c;
            }
    EXPECT_EQ(overview.gridValue(5, 9), QStringLiteral("***"));  // serial numbers
    EXPECT_EQ(overview.gridValue(0, 2), QStringLiteral("KELB"));
    const QStringList lines = log();
    EXPECT_TRUE(lines.contains(QStringLiteral("   Application     44    KELB      ---       0x00100000    1024          ") +
                               info[1][0][7] + QStringLiteral("*   ***           ---         ---     ---     ")))
        << lines.join('\n').toStdString();
    toolWindowGrab::save(&overview, "overview_sim");
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleToolsBusTest, RepairWritesTheBlockByteForByteAndRestartsTheApplication) {
    sim::BootOptions boot = fastBoot();
    boot.stateDir = dir.filePath(QStringLiteral("state"));
    start(sim::Profile::SBus, 2, false, boot);
    addTemplate(QStringLiteral("07"));
    QByteArray templ08 = hardwareTemplate();
    templ08[40] = char(0x08);
    addTemplate(QStringLiteral("08"), templ08);
    modGlobal::g_develop = true;
    const QByteArray module2 = bootloaders->info(2, 1);

    repair().g_show();
    EXPECT_TRUE(repair().isVisible());
    EXPECT_EQ(repair().windowTitle(), QStringLiteral("Repair HW InfoBlock"));
    ASSERT_EQ(repair().cmbModuleNum->count(), 4);
    EXPECT_EQ(repair().cmbModuleNum->itemText(3), QStringLiteral("2"));
    ASSERT_EQ(repair().CmbHWVersion->count(), 3);
    EXPECT_EQ(repair().CmbHWVersion->itemText(1), QStringLiteral("07"));
    EXPECT_TRUE(repair().cmdCreateFile->isVisibleTo(&repair()));
    EXPECT_EQ(enabledControls(), (std::vector<bool>{true, true, false, false, false, false, false}));

    choose(1);
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    EXPECT_EQ(repair().txtHWSerial->text(), QStringLiteral("10001"));
    EXPECT_EQ(repair().txtProductionDateWeek->text(), QStringLiteral("15"));
    EXPECT_EQ(repair().txtProductionDateYear->text(), QStringLiteral("2020"));
    EXPECT_EQ(repair().CmbHWVersion->currentText(), QStringLiteral("07"));
    EXPECT_EQ(repair().uploadedBlock(), bootloaders->info(1, 1));
    EXPECT_EQ(enabledControls(), std::vector<bool>(7, true));
    toolWindowGrab::save(&repair(), "repair_read");

    // The developer's copy of the block as read.
    answers->push(Dialogs::vbOK);
    repair().cmdCreateFile_Click();
    const QString saved = repair().templateDirectory() + QStringLiteral("UploadedHWInfoBlock.bin");
    EXPECT_EQ(testsupport::readFile(saved), bootloaders->info(1, 1));
    EXPECT_TRUE(answers->texts().contains(QStringLiteral("Uploaded Data Have been saved to file: ") + saved));

    // A year with a blank after it still gives its last two digits.
    enter(QStringLiteral("4711"), QStringLiteral("7"), QStringLiteral("2023 "), QStringLiteral("08"));
    answers->clear();
    answers->push(Dialogs::vbOK);
    repair().cmdDownload_Click();

    QByteArray expected = templ08;
    expected.replace(12, 12, QByteArray::fromHex("00000008") + "07" + "23" + QByteArray::fromHex("00001267"));
    sim::infoblock::putBe32(expected, 308, sim::crc32(expected.left(308)));
    EXPECT_EQ(bootloaders->info(1, 1).toHex(), expected.toHex());
    EXPECT_EQ(testsupport::readFile(boot.stateDir + QStringLiteral("/module01/section1.info")), expected);
    EXPECT_EQ(bootloaders->info(2, 1), module2);
    EXPECT_EQ(answers->texts(), QStringList{QStringLiteral("Do you want do download the info block?")});
    EXPECT_EQ(repair().txtProductionDateWeek->text(), QStringLiteral("07"));
    EXPECT_EQ(vbControls::backColor(repair().txtHWSerial), kLightGreen);
    EXPECT_EQ(enabledControls(), (std::vector<bool>{false, true, false, false, false, false, false}));
    EXPECT_TRUE(logHas(QStringLiteral("   Repairing Infoblock of PXM 1")));
    EXPECT_TRUE(logHas(QStringLiteral("   InfoBlock repaired successfully!")));
    EXPECT_TRUE(log().last().startsWith(QString(82, '-') + ' '));
    EXPECT_TRUE(waitFor([&] { return modules->mode(1) == PxmModule::Mode::Application; }));
    toolWindowGrab::save(&repair(), "repair");

    // Read again, the module shows what was written.
    choose(1);
    EXPECT_EQ(repair().txtHWSerial->text(), QStringLiteral("4711"));
    EXPECT_EQ(repair().txtProductionDateWeek->text(), QStringLiteral("07"));
    EXPECT_EQ(repair().txtProductionDateYear->text(), QStringLiteral("2023"));
    EXPECT_EQ(repair().CmbHWVersion->currentText(), QStringLiteral("08"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleToolsBusTest, TheRepairOpenedAgainAfterARepairStartsAsAtItsFirstOpening) {
    start(sim::Profile::SBus, 2);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    const std::vector<bool> firstOpening = enabledControls();
    for (int module : {1, 2}) {
        SCOPED_TRACE(module);
        choose(module);
        enter(QStringLiteral("%1").arg(4700 + module), QStringLiteral("10"), QStringLiteral("2021"), QStringLiteral("07"));
        answers->push(Dialogs::vbOK);
        repair().cmdDownload_Click();
        ASSERT_EQ(vbControls::backColor(repair().txtHWSerial), kLightGreen);
        EXPECT_EQ(bootloaders->info(module, 1).mid(20, 4).toHex(), QByteArray::number(4700 + module, 16).rightJustified(8, '0'));
        repair().cmdExit_Click();
        EXPECT_FALSE(repair().isVisible());

        repair().g_show();
        EXPECT_EQ(enabledControls(), firstOpening);
        EXPECT_EQ(repair().cmbModuleNum->currentText(), QStringLiteral("---"));
        EXPECT_EQ(repair().txtHWSerial->text(), QStringLiteral("---"));
        EXPECT_EQ(repair().txtProductionDateWeek->text(), QStringLiteral("01"));
        EXPECT_EQ(repair().txtProductionDateYear->text(), QStringLiteral("1980"));
        EXPECT_EQ(repair().CmbHWVersion->currentText(), QStringLiteral("---"));
        EXPECT_EQ(vbControls::backColor(repair().txtHWSerial), 0xFFFFFFu);
        toolWindowGrab::save(&repair(), "repair_reopened");
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleToolsBusTest, TheModuleListKeepsTheChosenModuleWhileItsBootloaderStarts) {
    start(sim::Profile::SBus, 2);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    const int i = repair().cmbModuleNum->findText(QStringLiteral("2"));
    ASSERT_GT(i, 0);
    repair().cmbModuleNum->setCurrentIndex(i);
    // The list gets the focus back when the engine question closes.
    QString shownDuringStart;
    answers->pushForm([&](QDialog* d) {
        static_cast<frmMessage2*>(d)->cmdYes->click();
        QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(repair().cmbModuleNum, &in);
        shownDuringStart = repair().cmbModuleNum->currentText();
        return -1;
    });
    repair().cmbModuleNum_Click();
    EXPECT_EQ(shownDuringStart, QStringLiteral("2"));
    EXPECT_EQ(repair().cmbModuleNum->currentText(), QStringLiteral("2"));
    EXPECT_EQ(repair().uploadedBlock(), bootloaders->info(2, 1));
    // Focus afterwards rebuilds the list and keeps the module whose data are shown.
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(repair().cmbModuleNum, &in);
    EXPECT_EQ(repair().cmbModuleNum->currentText(), QStringLiteral("2"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleToolsBusTest, RepairOfACylinderModuleBehindTheSpareOnTheMBus) {
    start(sim::Profile::MBus, 2);
    addTemplate(QStringLiteral("07"));
    const QByteArray module1 = bootloaders->info(1, 1);
    repair().g_show();
    choose(2);
    EXPECT_EQ(repair().txtHWSerial->text(), QStringLiteral("10002"));
    enter(QStringLiteral("123"), QStringLiteral("52"), QStringLiteral("2079"), QStringLiteral("07"));
    answers->push(Dialogs::vbOK);
    repair().cmdDownload_Click();

    QByteArray expected = hardwareTemplate();
    expected.replace(12, 12, QByteArray::fromHex("00000007") + "52" + "79" + QByteArray::fromHex("0000007B"));
    sim::infoblock::putBe32(expected, 308, sim::crc32(expected.left(308)));
    EXPECT_EQ(bootloaders->info(2, 1).toHex(), expected.toHex());
    EXPECT_EQ(bootloaders->info(1, 1), module1);
    EXPECT_TRUE(logHas(QStringLiteral("   InfoBlock repaired successfully!")));
    EXPECT_TRUE(waitFor([&] { return modules->mode(2) == PxmModule::Mode::Application; }, 8000));
}

TEST_F(ModuleToolsBusTest, RepairRefusesBadEntriesAndLeavesTheBlockAsItWas) {
    start(sim::Profile::SBus, 1);
    // The module's own version 07 has no template; 09 is cut short.
    addTemplate(QStringLiteral("08"));
    addTemplate(QStringLiteral("09"), hardwareTemplate(311));
    const QByteArray before = bootloaders->info(1, 1);
    const QString noDate = QStringLiteral("Please enter a valid production date.");
    const QString badSerial =
        QStringLiteral("Please enter the HW Serial number as a whole number from -2147483648 to 2147483647.");
    struct Case {
        const char* what;
        const char* serial;
        const char* week;
        const char* year;
        const char* version;
        bool question;  // the question comes and is answered OK
        QString message;
        int marked = 0;  // the box marked red: 0 the serial, 1 the week, 2 the year, 3 the version
    };
    const Case cases[] = {
        {"no version", "4711", "10", "2021", "---", false, QStringLiteral("Please Select the HW version."), 3},
        {"no template for the version", "4711", "10", "2021", "07", false,
         QStringLiteral("Info block template file for the selected hardware version does not exist."), 3},
        {"no serial number", "  ", "10", "2021", "08", false, QStringLiteral("Please enter a HW Serial number.")},
        {"serial number with letters", "47a11", "10", "2021", "08", false, badSerial},
        {"serial number beyond 32 bits", "2147483648", "10", "2021", "08", false, badSerial},
        {"week 0", "4711", "0", "2021", "08", false, noDate, 1},
        {"week 53", "4711", "53", "2021", "08", false, noDate, 1},
        {"week and year both wrong", "4711", "x", "1900", "08", false, noDate, 1},
        {"year 1979", "4711", "10", "1979", "08", false, noDate, 2},
        {"year 2080", "4711", "10", "2080", "08", false, noDate, 2},
        {"question declined", "4711", "10", "2021", "08", false, QString()},
        {"template shorter than the block", "4711", "10", "2021", "09", true,
         QStringLiteral("Error: The data file for the selected HW Version is shorter than 312 bytes:") +
             QDir::toNativeSeparators(templatePath(QStringLiteral("HWInfoBlockVersion09.bin")))},
        {"template that cannot be read", "4711", "10", "2021", "10", true,
         QStringLiteral("Error: Could not open data file for the selected HW Version:") +
             QDir::toNativeSeparators(templatePath(QStringLiteral("HWInfoBlockVersion10.bin")))},
    };
    repair().g_show();
    // A template name that is taken by a folder.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("PXM_Templates/HWInfoBlockVersion10.bin")));
    repair().CmbHWVersion->addItem(QStringLiteral("10"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w->lstMessage->clear();
        choose(1);
        // The version found on the module is offered even without its template.
        EXPECT_EQ(repair().CmbHWVersion->currentText(), QStringLiteral("07"));
        enter(QString::fromLatin1(c.serial), QString::fromLatin1(c.week), QString::fromLatin1(c.year),
              QString::fromLatin1(c.version));
        answers->clear();
        if (c.question) answers->push(Dialogs::vbOK);
        repair().cmdDownload_Click();

        QStringList expected;
        if (c.message.isEmpty() || c.question) expected << QStringLiteral("Do you want do download the info block?");
        if (!c.message.isEmpty()) expected << c.message;
        EXPECT_EQ(answers->texts(), expected);
        EXPECT_TRUE(logHas(QStringLiteral("   InfoBlock repair failed!")));
        // The entry in fault is the box marked; every other failure marks the serial box.
        const QWidget* boxes[] = {repair().txtHWSerial, repair().txtProductionDateWeek, repair().txtProductionDateYear,
                                  repair().CmbHWVersion};
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(vbControls::backColor(boxes[b]) == kLightRed, b == c.marked) << "box " << b;
        }
        if (c.marked != 0) {
            EXPECT_EQ(vbControls::backColor(repair().txtHWSerial), 0xFFFFFFu);
        }
        if (c.marked == 1) toolWindowGrab::save(&repair(), "repair_bad_week");
        EXPECT_EQ(enabledControls(), std::vector<bool>(7, true));
        EXPECT_EQ(bootloaders->info(1, 1), before);
        // A failed repair leaves the module in its bootloader.
        EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(ModuleToolsBusTest, ARepairWhoseStatusStaysBusyFails) {
    repair().m_statusPollLimitMs = 300;
    EXPECT_EQ(failedRepair(faultyBoot(&sim::BootFaults::flashNeverEnds, 1)),
              (QStringList{QStringLiteral("Do you want do download the info block?"),
                           QStringLiteral("Info block download failed: Loading Status Failure.")}));
}

TEST_F(ModuleToolsBusTest, ARepairThatTheModuleRefusesFails) {
    const QStringList shown = failedRepair(faultyBoot(&sim::BootFaults::refuseInfoBlock, 1));
    // The CAN layer names the refused transfer, then the repair says what failed.
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), QStringLiteral("Info block download failed: Could not write SDO."));
}

TEST_F(ModuleToolsBusTest, AnOldBootloaderIsNotRepaired) {
    sim::BootOptions boot = fastBoot();
    boot.version = QStringLiteral("3.09");
    // Refused before the entries are checked: no question.
    EXPECT_EQ(failedRepair(boot), QStringList{QStringLiteral("Wrong Bootloader version detected. Bootloader version for "
                                                             "HW Infoblock repair has to be 3.10 or above!")});
}

TEST_F(ModuleToolsBusTest, AHardwareBlockShorterThanItsSizeIsNotTakenForRepair) {
    // Module 1's flash holds a hardware block of a section info block's length.
    sim::BootOptions boot = fastBoot();
    boot.stateDir = dir.filePath(QStringLiteral("state"));
    ASSERT_TRUE(QDir(boot.stateDir).mkpath(QStringLiteral("module01")));
    QByteArray shortBlock = hardwareTemplate(44);
    ASSERT_TRUE(testsupport::writeFile(boot.stateDir + QStringLiteral("/module01/section1.info"), shortBlock));
    start(sim::Profile::SBus, 1, false, boot);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    choose(1);
    EXPECT_TRUE(answers->texts().contains(QStringLiteral("Could not upload info block data from module 1")));
    EXPECT_EQ(repair().txtHWSerial->text(), QStringLiteral("---"));
    // Only another choice or Exit.
    EXPECT_EQ(enabledControls(), (std::vector<bool>{true, true, false, false, false, false, false}));
}

TEST_F(ModuleToolsBusTest, WithoutTemplatesTheRepairIsNotShown) {
    start(sim::Profile::SBus, 1);
    // Not a template's name.
    ASSERT_TRUE(testsupport::writeFile(templatePath(QStringLiteral("HWInfoBlock07.bin")), hardwareTemplate()));
    repair().g_show();
    EXPECT_EQ(answers->texts(), QStringList{QStringLiteral("Error: No HW info block data files available.")});
    EXPECT_FALSE(repair().isVisible());
}

}  // namespace

namespace {
void send(QWidget* to, QEvent::Type type, const QPoint& at) {
    QMouseEvent e(type, at, to->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(to, &e);
}
void key(QWidget* to, int k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QApplication::sendEvent(to, &release);
}
}  // namespace

class RepairListTest : public ModuleToolsBusTest {
protected:
    // The module picked in the open list with the mouse, as the engineer clicks it.
    void pick(int module) {
        QComboBox* list = repair().cmbModuleNum;
        const QPoint middle = list->rect().center();
        send(list, QEvent::MouseButtonPress, middle);
        send(list, QEvent::MouseButtonRelease, middle);
        ASSERT_TRUE(waitFor([&] { return list->view()->isVisible(); }, 3000)) << "the list did not open";
        // The popup takes no release that comes at once after the press that opened it.
        waitFor([] { return false; }, QApplication::doubleClickInterval() + 100);
        const int row = list->findText(QString::number(module));
        ASSERT_GT(row, 0);
        QWidget* port = list->view()->viewport();
        const QPoint at = list->view()->visualRect(list->model()->index(row, 0)).center();
        send(port, QEvent::MouseMove, at);
        send(port, QEvent::MouseButtonPress, at);
        send(port, QEvent::MouseButtonRelease, at);
        ASSERT_TRUE(waitFor([&] { return !list->view()->isVisible(); }, 3000)) << "the list did not close";
    }
    bool shows(int module) const {
        return repair().cmbModuleNum->currentText() == QString::number(module) &&
               repair().uploadedBlock() == bootloaders->info(module, 1) && repair().txtHWSerial->text() != QStringLiteral("---") &&
               repair().cmdDownload->isEnabled();
    }
    bool blank() const {
        return repair().txtHWSerial->text() == QStringLiteral("---") && !repair().cmdDownload->isEnabled() &&
               repair().txtProductionDateYear->text() == QStringLiteral("1980");
    }
};

// A click in the open list reads the module picked, also after a read by the keyboard; the
// fields never show one module's data beside another's number.
TEST_F(RepairListTest, AMousePickReadsThePickedModule) {
    start(sim::Profile::SBus, 2);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    answerBootloaderQuestion(true);
    pick(2);
    EXPECT_TRUE(shows(2)) << repair().cmbModuleNum->currentText().toStdString();
    EXPECT_EQ(modules->mode(2), PxmModule::Mode::Bootloader);

    answerBootloaderQuestion(true);
    pick(1);
    EXPECT_TRUE(shows(1)) << repair().cmbModuleNum->currentText().toStdString();
    EXPECT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    EXPECT_TRUE(errors.empty());
}

// The arrow keys step through the closed list: no bootloader starts, and the fields and
// Download go with the data of the module read; Return chooses the module shown.
TEST_F(RepairListTest, ArrowKeysStepWithoutReadingAndReturnChooses) {
    start(sim::Profile::SBus, 2);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    QComboBox* list = repair().cmbModuleNum;
    key(list, Qt::Key_Down);
    key(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), QStringLiteral("1"));
    EXPECT_TRUE(blank());
    waitFor([] { return false; }, 300);
    for (int m = 0; m <= 2; ++m) EXPECT_EQ(modules->mode(m), PxmModule::Mode::Application) << m;

    answerBootloaderQuestion(true);
    key(list, Qt::Key_Return);
    EXPECT_TRUE(shows(1));
    key(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), QStringLiteral("2"));
    EXPECT_TRUE(blank());
    waitFor([] { return false; }, 300);
    EXPECT_EQ(modules->mode(2), PxmModule::Mode::Application);
    // Back on the module read: still no data until it is chosen again.
    key(list, Qt::Key_Up);
    EXPECT_TRUE(blank());
    key(list, Qt::Key_Return);
    EXPECT_TRUE(shows(1));
    EXPECT_TRUE(errors.empty());
}

// Chosen twice, the module that ran its application before this window stopped it runs it
// again after a successful repair.
TEST_F(RepairListTest, AModuleChosenTwiceRunsItsApplicationAgainAfterTheRepair) {
    start(sim::Profile::SBus, 1);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    choose(1);
    ASSERT_EQ(modules->mode(1), PxmModule::Mode::Bootloader);
    choose(1);
    ASSERT_TRUE(shows(1));
    enter(QStringLiteral("4711"), QStringLiteral("10"), QStringLiteral("2021"), QStringLiteral("07"));
    answers->push(Dialogs::vbOK);  // the module has a serial number: the question
    repair().cmdDownload_Click();
    ASSERT_TRUE(logHas(QStringLiteral("   InfoBlock repaired successfully!"))) << log().join('\n').toStdString();
    EXPECT_TRUE(waitFor([&] { return modules->mode(1) == PxmModule::Mode::Application; }));
}

// The close box while the window reads a module (its Exit disabled) does nothing; the read
// goes on. Afterwards it does what Exit does.
TEST_F(RepairListTest, TheCloseBoxDuringAReadDoesNothingAndAfterItIsExit) {
    start(sim::Profile::SBus, 1);
    addTemplate(QStringLiteral("07"));
    repair().g_show();
    bool closed = true, exitEnabled = true;
    answers->pushForm([&](QDialog* d) {
        static_cast<frmMessage2*>(d)->cmdYes->click();
        exitEnabled = repair().cmdExit->isEnabled();
        closed = repair().close();
        return -1;
    });
    const int i = repair().cmbModuleNum->findText(QStringLiteral("1"));
    ASSERT_GT(i, 0);
    repair().cmbModuleNum->setCurrentIndex(i);
    repair().cmbModuleNum_Click();
    EXPECT_FALSE(exitEnabled);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(repair().isVisible());
    EXPECT_TRUE(repair().isLoaded());
    EXPECT_TRUE(shows(1));

    EXPECT_TRUE(repair().close());
    EXPECT_FALSE(repair().isVisible());
    EXPECT_FALSE(repair().isLoaded());
}

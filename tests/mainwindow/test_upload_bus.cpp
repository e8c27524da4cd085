// The upload from the spare module against the simulated modules: what module 0's flash
// holds comes back as an S-record file, byte for byte, and every check of the upload
// (length, CRC, the operator's "Keep Data") decides the row and the lamp.
#include "test_download_fixture.h"
#include "fakecanmaster.h"

#include "services/srecord.h"
#include "fullfs.h"
#include "desktop/dialogs.h"
#include "can/modmodechange.h"
#include "lib/crc32.h"
#include "lib/flashmodel.h"
#include "lib/personality_boot.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cerrno>

using namespace dltest;
using sim::PxmModule;

namespace {
constexpr int posApplication = 0, posDataContainer = 1, posFpga = 2;

}  // namespace

class UploadBusTest : public DownloadBusTest {
protected:
    void SetUp() override {
        DownloadBusTest::SetUp();
        modGlobal::g_uploadDir = dir.filePath(QStringLiteral("Upload"));
        static const char* const names[frmMain::sectionRows] = {"PXM_application.s19", "PXM_DATA.S19", "PXM_FPGA.S19",
                                                                "PXM_Bootloader2.S19", "QTM_application.s19"};
        for (int pos = 0; pos < frmMain::sectionRows; ++pos) w->m_loadFileNames[pos] = QString::fromLatin1(names[pos]);
    }

    // The message window's next question, answered with its first or second button; its
    // text is kept.
    void answerQuestion(bool first, QString& text) {
        answers->pushForm([first, &text](QDialog* d) {
            auto* box = static_cast<frmMessage2*>(d);
            text = box->txtMessage->toPlainText();
            (first ? box->cmdYes : box->cmdNo)->click();
            return -1;
        });
    }

    QString uploaded(int pos) const { return modGlobal::g_uploadDir + QDir::separator() + w->m_loadFileNames[pos]; }

    // Lays an info block and an image into module 0's flash.
    void putSection(int section, const QByteArray& block, const QByteArray& image) {
        bootloaders->invoke([&](QList<sim::ModuleBootloader*>& b) {
            b[0]->flash().setInfo(section, block);
            b[0]->flash().setImage(section, image);
        });
    }
    // A section whose info block states the image's length and a CRC the image does not have.
    void putSectionWithWrongCrc(int section, const QByteArray& image, quint32 start) {
        QByteArray block = sim::infoblock::make(section, "TEST", 1, "Jan 15 2024", start, image);
        sim::infoblock::putBe32(block, sim::infoblock::size(section) - 8, 0x12345678);
        sim::infoblock::seal(block);
        putSection(section, block, image);
    }
    // The spare alone on the S-Bus with a wrong CRC in the section; the Data Container and
    // FPGA rows checked, and the bootloader question answered Continue.
    void startTwoRowsWithAWrongCrc(int section, const QByteArray& image, quint32 address) {
        start(sim::Profile::SBus, 0);
        putSectionWithWrongCrc(section, image, address);
        selectRow(posDataContainer);
        selectRow(posFpga);
        answerBootloaderQuestion(true);
    }
    // The Data Container was saved, the FPGA was not: the lamp is red and the upload unfinished.
    void expectOnlyTheDataContainerSaved() {
        EXPECT_TRUE(QFile::exists(uploaded(posDataContainer)));
        EXPECT_FALSE(QFile::exists(uploaded(posFpga)));
        EXPECT_TRUE(logHas(QStringLiteral("   Upload of FPGA has failed "))) << log().join('\n').toStdString();
        EXPECT_TRUE(lampRed(0));
        EXPECT_FALSE(logHas(QStringLiteral("   Upload finished ")));
    }
    // Puts module 0 into its bootloader, as the upload finds it after its switch.
    void spareToBootloader() {
        modules->setMode(0, PxmModule::Mode::Bootloader);
        bootloaders->sync();
        ASSERT_TRUE(waitFor([&] { return vbCheck::value(w->chkBootLoaderRunning[0]) == vbCheck::vbChecked; }, 5000));
    }
    bool allRunTheirApplication(int count) const {
        for (int m = 0; m < count; ++m)
            if (modules->mode(m) != PxmModule::Mode::Application) return false;
        return true;
    }
    void expectUnlocked() {
        EXPECT_TRUE(w->cmdDownload->isEnabled());
        EXPECT_TRUE(w->mnuModuleControl->isEnabled());
        EXPECT_TRUE(w->mnuUploadFromSpare->isEnabled());
        EXPECT_FALSE(w->cmdAbort->isEnabled());
        EXPECT_TRUE(log().last().startsWith(QString(82, '-') + ' '));
    }
};

// What a download put into module 0 comes back byte for byte, at the address the module
// holds it, as S2 records that an independent reader accepts. The modules the upload sent
// to their bootloader run their application again.
TEST_F(UploadBusTest, UploadOfADownloadedApplicationIsByteExactAndReadableByAnotherReader) {
    start(sim::Profile::SBus, 2);
    const QByteArray image = pattern(8192 + 300, 5);  // two upload pieces
    bindFile(posApplication, image, 0x100000, QStringLiteral("APPL.S19"));
    select({0});
    selectRow(posApplication);
    answerBootloaderQuestion(true);  // the spare alone, without its cylinders
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbYes);  // "Restart application?"
    w->cmdDownload_Click();
    ASSERT_EQ(bootloaders->image(0, 6), image) << log().join('\n').toStdString() << answers->texts().join('\n').toStdString();
    ASSERT_TRUE(waitFor([&] { return allRunTheirApplication(3); }, 8000));
    w->lstMessage->clear();

    answerBootloaderQuestion(true);
    w->mnuUploadFromSpare->trigger();

    const QString file = uploaded(posApplication);
    QByteArray back;
    qint32 start = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(file, back, start)) << log().join('\n').toStdString();
    EXPECT_EQ(back, image);
    EXPECT_EQ(start, 0x100000);
    const QList<QByteArray> lines = testsupport::readFile(file).split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    EXPECT_TRUE(lines[0].startsWith("S2"));
    EXPECT_TRUE(lines[lines.size() - 2].startsWith("S804"));

    // srec_cat checks every record's checksum and refuses the file otherwise.
    const QString bin = dir.filePath(QStringLiteral("independent.bin"));
    const QString command = QStringLiteral("srec_cat '%1' -Motorola -offset -0x100000 -o '%2' -binary").arg(file, bin);
    ASSERT_EQ(std::system(command.toLocal8Bit().constData()), 0) << command.toStdString();
    EXPECT_EQ(testsupport::readFile(bin), image);

    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(logHas(QStringLiteral("Starting Upload of Data from Spare Module")));
    EXPECT_TRUE(logHas(QStringLiteral("   Starting bootloader on all modules.")));
    EXPECT_TRUE(logHas(QStringLiteral("    Uploading Application")));
    EXPECT_TRUE(logHas(QStringLiteral("   Upload finished ")));
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(3); }, 8000));
    // The spare alone is selected afterwards.
    EXPECT_EQ(w->g_getUserSelection(), moduleProtocol::Selection({true}));
    expectUnlocked();
    EXPECT_TRUE(errors.empty());

    // A second upload asks before it replaces the file; Cancel keeps it and uploads nothing.
    const QByteArray before = testsupport::readFile(file);
    w->lstMessage->clear();
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbCancel);
    w->uploadDataFromSpare();
    EXPECT_TRUE(answers->anyTextContains(QStringLiteral("The result file \r") + file + QStringLiteral("\r already exists. Replace it?")));
    EXPECT_EQ(testsupport::readFile(file), before);
    EXPECT_FALSE(logHas(QStringLiteral("    Uploading Application")));
    EXPECT_TRUE(w->lblDownloadOk[0]->isHidden());
    EXPECT_FALSE(logHas(QStringLiteral("   Upload finished ")));
}

// A data CRC that is not the info block's: the Data Container may be kept by the operator,
// complete, and then counts as uploaded; every other section fails without a question.
struct CrcCase {
    const char* name;
    int pos;
    int section;
    int answer;      // the "Upload CRC Warning" button pressed, 0 for no question
    bool saved;
};

class UploadCrcTest : public UploadBusTest, public ::testing::WithParamInterface<CrcCase> {};

TEST_P(UploadCrcTest, MismatchIsKeptOnlyAsTheOperatorsDataContainer) {
    const CrcCase c = GetParam();
    start(sim::Profile::SBus, 0);
    const QByteArray image = pattern(3000, 9);
    putSectionWithWrongCrc(c.section, image, 0x0C0000);
    selectRow(c.pos);
    bool asked = false;
    answerBootloaderQuestion(true);  // the bootloader start's question comes first
    if (c.answer) {
        answers->pushForm([&](QDialog* d) {
            auto* box = static_cast<frmMessage2*>(d);
            asked = box->windowTitle() == QLatin1String("Upload CRC Warning") && box->cmdYes->text() == QLatin1String("Keep Data") &&
                    box->cmdNo->text() == QLatin1String("Discard Data");
            (c.answer == Dialogs::vbYes ? box->cmdYes : box->cmdNo)->click();
            return -1;
        });
    }
    w->uploadDataFromSpare();

    const QString crcLine = QStringLiteral("Upload CRC check failed.  Uploaded: ") +
                            QString::number(sim::crc32(image), 16).toUpper() + QStringLiteral(" Infoblock: 12345678");
    EXPECT_TRUE(logHas(crcLine)) << log().join('\n').toStdString();
    EXPECT_EQ(asked, c.answer != 0);
    EXPECT_EQ(QFile::exists(uploaded(c.pos)), c.saved);
    if (c.saved) {
        QByteArray back;
        qint32 start = 0;
        ASSERT_TRUE(modDownload::g_sRecToBin(uploaded(c.pos), back, start));
        EXPECT_EQ(back, image);
        EXPECT_TRUE(lampGreen(0));
        EXPECT_TRUE(logHas(QStringLiteral("   Upload finished ")));
    } else {
        EXPECT_TRUE(lampRed(0));
        EXPECT_TRUE(logHas(QStringLiteral("   Upload of ") + w->chkLoadSection[c.pos]->text() + QStringLiteral(" has failed ")));
        EXPECT_FALSE(logHas(QStringLiteral("   Upload finished ")));
    }
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(1); }, 8000));
    expectUnlocked();
}

INSTANTIATE_TEST_SUITE_P(Sections, UploadCrcTest,
                         ::testing::Values(CrcCase{"DataContainerKept", posDataContainer, 4, Dialogs::vbYes, true},
                                           CrcCase{"DataContainerDiscarded", posDataContainer, 4, Dialogs::vbNo, false},
                                           CrcCase{"FpgaNeverAsked", posFpga, 7, 0, false}),
                         CaseName());

// The module's info block decides how much is read, but only within what a section can
// hold; a module that sends nothing, or more than it announced, fails the section at once.
TEST_F(UploadBusTest, AnnouncedLengthIsBoundedAndEveryPieceMustFit) {
    start(sim::Profile::SBus, 0);
    spareToBootloader();
    auto blockStating = [](quint32 length, const QByteArray& image, quint32 start) {
        QByteArray b = sim::infoblock::make(4, "DATACONT", 1, "Jan 15 2024", start, image);
        sim::infoblock::putBe32(b, sim::infoblock::size(4) - 12, length);
        sim::infoblock::seal(b);
        return b;
    };
    const QByteArray nine = pattern(9000, 3);
    struct Case {
        const char* name;
        QByteArray block, image;
        bool ok;
        qint32 received;
        QString line;  // log line or box text that names the failure
    } cases[] = {
        {"fits", blockStating(9000, nine, 0x0C0000), nine, true, 9000, QString()},
        {"beyond the S2 address range", blockStating(0x1000000 - 0x0C0000 + 1, nine, 0x0C0000), nine, false, 0,
         QStringLiteral("Length specified in infoBlock is out of range: 15990785")},
        {"erased block", QByteArray(44, char(0xFF)), nine, false, 0,
         QStringLiteral("Length specified in infoBlock is out of range: 4294967295")},
        {"empty piece", blockStating(100, QByteArray(), 0x0C0000), QByteArray(), false, 0,
         QStringLiteral("Upload stopped: the module sent no data. Uploaded: 0 Infoblock: 100")},
        {"more than announced", blockStating(10, nine.left(20), 0x0C0000), nine.left(20), false, 0,
         QStringLiteral("Length of uploaded data is higher than specified in infoBlock")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        putSection(4, c.block, c.image);
        w->lstMessage->clear();
        answers->clear();
        QByteArray data;
        qint32 received = -1, startAddress = 0;
        bool ok = !c.ok;
        w->uploadSection(4, data, received, startAddress, ok);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(received, c.received);
        if (c.ok) {
            EXPECT_EQ(data, nine);
            EXPECT_EQ(startAddress, 0x0C0000);
        } else {
            EXPECT_TRUE(logHas(c.line) || answers->texts().contains(c.line)) << log().join('\n').toStdString();
        }
    }
    EXPECT_TRUE(errors.empty());
}

// The lamp is green only when every section the command took on was saved: a failed
// section is not hidden by a good one after it.
TEST_F(UploadBusTest, OneFailedSectionKeepsTheLampRedAfterAGoodOne) {
    startTwoRowsWithAWrongCrc(7, pattern(500, 1), 0x380000);
    w->uploadDataFromSpare();

    expectOnlyTheDataContainerSaved();
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(1); }, 8000));
    expectUnlocked();
}

// A result file the full disk cannot take fails its row with the system's reason; the old
// file stays byte for byte and no temporary file is left.
TEST_F(UploadBusTest, OnAFullDiskTheRowFailsWithTheReasonAndTheOldFileStays) {
    testsupport::FullFileSystem fs;
    if (!fs.mounted()) GTEST_SKIP() << "no file system of the test's own can be mounted here";
    modGlobal::g_uploadDir = fs.path();
    start(sim::Profile::SBus, 0);
    ASSERT_TRUE(testsupport::writeFile(uploaded(posDataContainer), "S804000000FB\r\n"));
    fs.fill();
    const QStringList before = testsupport::filesIn(fs.path());
    selectRow(posDataContainer);
    answerBootloaderQuestion(true);
    answers->push(Dialogs::vbOK);  // replace the existing file
    w->uploadDataFromSpare();

    const QStringList l = log();
    const auto at = l.indexOf(QStringLiteral("  Error: Could not Save uploaded S19 File."));
    ASSERT_GE(at, 0) << l.join('\n').toStdString();
    EXPECT_EQ(l.value(at + 1), QStringLiteral("    ") + QDir::toNativeSeparators(uploaded(posDataContainer)) +
                                   QStringLiteral(": ") + testsupport::systemReason(ENOSPC));
    EXPECT_TRUE(lampRed(0));
    EXPECT_FALSE(logHas(QStringLiteral("   Upload finished ")));
    EXPECT_EQ(testsupport::readFile(uploaded(posDataContainer)), QByteArray("S804000000FB\r\n"));
    EXPECT_EQ(testsupport::filesIn(fs.path()), before);
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(1); }, 8000));
}

// On the M-Bus the cylinder modules go to their bootloader with the spare; all of them run
// their application again afterwards, not the spare alone.
TEST_F(UploadBusTest, MBusUploadRestartsEveryModuleItStopped) {
    start(sim::Profile::MBus, 2);
    selectRow(posDataContainer);
    answerBootloaderQuestion(true);
    w->uploadDataFromSpare();

    QByteArray back;
    qint32 startAddress = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(uploaded(posDataContainer), back, startAddress)) << log().join('\n').toStdString();
    EXPECT_EQ(back, bootloaders->image(0, 4));
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(3); }, 10000)) << log().join('\n').toStdString();
    expectUnlocked();
}

// The ways out before any section is read: each logs its reason, closes the log and
// leaves the window unlocked, with no module switched.
TEST_F(UploadBusTest, RefusalsBeforeTheSections) {
    // A spare that answers from its bootloader stands on a bus that is set up.
    testsupport::FakeCanMaster spareInBootloader;
    spareInBootloader.states[0] = moduleProtocol::ModuleState::bootloader;
    spareInBootloader.onBusUp = [] { return true; };
    modGlobal::g_canInterfaceVersion = 2.0;
    struct Case {
        const char* name;
        bool section, spareConnected, mBusQuestion;
        QString line;
    } cases[] = {
        {"no section", false, true, false, QStringLiteral("  no section selected!")},
        {"spare not connected", true, false, false, QStringLiteral("  Error: Spare Module is not Connected.")},
        {"M-Bus question declined", true, true, true, QStringLiteral("  M-Bus upload cancelled.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w->lstMessage->clear();
        answers->clear();
        vbCheck::setValue(w->chkLoadSection[posDataContainer], c.section ? vbCheck::vbChecked : vbCheck::vbUnchecked);
        w->chkProgram[0]->setEnabled(c.spareConnected);
        modGlobal::g_isMBusConnection = c.mBusQuestion;
        canMasterLink::install(c.mBusQuestion ? &spareInBootloader : nullptr);
        QString question;
        if (c.mBusQuestion) answerQuestion(false, question);
        w->uploadDataFromSpare();
        const QStringList lines = log();
        ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("Starting Upload of Data from Spare Module"));
        EXPECT_EQ(lines[1], c.line);
        EXPECT_TRUE(lines[2].startsWith(QString(82, '-') + ' '));
        EXPECT_EQ(answers->shown().size(), c.section ? 1u : 0u);
        if (c.mBusQuestion) {
            EXPECT_TRUE(question.endsWith(QStringLiteral("Would you like to continue the upload?"))) << question.toStdString();
        }
        expectUnlocked();
    }
    canMasterLink::install(nullptr);
}

// On the M-Bus with the spare already in its bootloader the operator's Yes skips the
// bootloader start; the spare runs its application at the end, and the cylinder module,
// never stopped, keeps running.
TEST_F(UploadBusTest, MBusSpareAlreadyInBootloaderIsStartedAtTheEnd) {
    start(sim::Profile::MBus, 1);
    spareToBootloader();
    selectRow(posDataContainer);
    QString question;
    answerQuestion(true, question);
    w->uploadDataFromSpare();

    EXPECT_TRUE(question.startsWith(QStringLiteral("Upload of data is only possible"))) << question.toStdString();
    EXPECT_FALSE(logHas(QStringLiteral("   Starting bootloader on all modules.")));
    EXPECT_TRUE(QFile::exists(uploaded(posDataContainer))) << log().join('\n').toStdString();
    EXPECT_TRUE(lampGreen(0));
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(2); }, 10000)) << log().join('\n').toStdString();
    expectUnlocked();
}

// Abort during a section: the section under way may still finish, every later checked
// section fails after its first reads; the modules are restarted and the window unlocked.
TEST_F(UploadBusTest, AbortFailsTheSectionsAfterIt) {
    startTwoRowsWithAWrongCrc(4, pattern(600, 4), 0x0C0000);
    bool abortOffered = false;
    answers->pushForm([&](QDialog* d) {
        // The CRC question of the Data Container: the engineer presses Abort, then keeps it.
        abortOffered = w->cmdAbort->isEnabled();
        w->cmdAbort->click();
        static_cast<frmMessage2*>(d)->cmdYes->click();
        return -1;
    });
    w->uploadDataFromSpare();

    EXPECT_TRUE(abortOffered);
    expectOnlyTheDataContainerSaved();
    EXPECT_TRUE(waitFor([&] { return allRunTheirApplication(1); }, 8000));
    expectUnlocked();
}

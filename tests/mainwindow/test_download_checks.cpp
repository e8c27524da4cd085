// The download command's checks before anything goes to a module, the command lock, and
// the result lamps with their failure lines.
#include "mainwindowfixture.h"

#include "can/frmcanopen.h"
#include "mainwindow/vbcheckbox.h"
#include "services/srecord.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>

using namespace mwtest;

namespace {
constexpr int posApplication = 0, posBootloader2 = 3;

struct RecordingUpdater : FakeUpdater {
    int finished = 0;
    void downloadFinished() override { ++finished; }
};

class DownloadCheckTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        updater.calls = &calls;
        updaterLink::install(&updater);
        modGlobal::g_configDbPath = makeConfig();
        {
            auto db = dao::OpenDatabase(modGlobal::g_configDbPath, false, false, QString());
            db->Execute("INSERT INTO messages (MessageID, MessageText, okButton) VALUES (4, 'Only the spare?', 0)");
            db->Execute("INSERT INTO messages (MessageID, MessageText, okButton) VALUES (5, 'CAN interface too old.', 0)");
            db->Close();
        }
        ASSERT_TRUE(modGlobal::g_iniGlobals());
        modGlobal::g_moduleKind = "PXM";
        modGlobal::g_canInterfaceVersion = 2.0;
        // No bus: whatever reaches the master succeeds without a board; the commands find
        // the bus set up.
        can.fallback = &frmCANopen::instance();
        can.set_g_noCAN(true);
        can.onBusUp = [] { return true; };
        tagSections();
    }
    void TearDown() override {
        can.set_g_noCAN(false);
        modGlobal::g_canInterfaceVersion = 0;
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        MainWindowTest::TearDown();
    }

    // The section rows of a PXM installation.
    void tagSections() {
        static const char* const tags[frmMain::sectionRows] = {"6", "4", "7", "3", "5"};
        for (int pos = 0; pos < frmMain::sectionRows; ++pos) vbControls::setTag(w->chkLoadSection[pos], tags[pos]);
    }
    // A name other than "---" is made a file that converts, where its section may lie: the
    // download reads every file before a module stops.
    void bind(int pos, const QString& text) {
        const QString path = text == "---" ? QString() : QDir(m_files.path()).filePath(text);
        if (!path.isEmpty()) {
            ASSERT_TRUE(modDownload::g_binToSRec(QByteArray(64, 'x'), pos == posBootloader2 ? 0x20000 : 0x100000, "S37", path));
        }
        w->txtEmh[pos]->setText(text == "---" ? text : path);
        vbControls::setTag(w->txtEmh[pos], path);
    }
    void check(QCheckBox* box) { vbCheck::setValue(box, vbCheck::vbChecked); }
    // The module and the section row ticked, the row's file bound.
    void choose(int module, int pos, const QString& file) {
        check(w->chkProgram[module]);
        bind(pos, file);
        check(w->chkLoadSection[pos]);
    }
    QStringList log() const {
        QStringList l;
        for (int i = 0; i < w->lstMessage->count(); ++i) l << w->lstMessage->item(i)->text();
        return l;
    }

    RecordingUpdater updater;
    QTemporaryDir m_files;
};

bool hourglass() { return QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor; }
}  // namespace

TEST_F(DownloadCheckTest, RefusalsBeforeTheFirstTransferAreOneLineAndAnUnlockedWindow) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QString line;
        bool footer;
    };
    const Case cases[] = {
        {"nothing selected", [] {}, "   no module selected!", true},
        {"only a section", [this] { bind(posApplication, "a.S19"); check(w->chkLoadSection[posApplication]); },
         "   no module selected!", true},
        {"only a module", [this] { check(w->chkProgram[2]); }, "   no section selected!", true},
        {"hardware label coloured",
         [this] {
             vbControls::setBackColor(w->lblHW[2], vbControls::vbRed);
             choose(2, posApplication, "---");
         },
         "   Not all modules are compatible with SW-version!", true},
        {"file missing", [this] { choose(2, posApplication, "---"); }, "   S19 file for section Application not found!",
         true},
        {"bootloader warning cancelled",
         [this] {
             choose(2, posBootloader2, "bl2.S19");
             answers->push(Dialogs::vbCancel);
         },
         "   BL-download canceled!", true},
        {"spare only declined",
         [this] {
             choose(0, posApplication, "a.S19");
             answerSafetyQuestion("No");
         },
         "Download to spare only aborted.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w = std::make_unique<frmMain>();
        tagSections();
        answers->clear();
        updater.finished = 0;
        c.arrange();

        w->cmdDownload_Click();

        const QStringList lines = log();
        ASSERT_EQ(lines.size(), c.footer ? 4 : 3) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines[0].startsWith("DOWNLOAD " + QString(73, '-') + ' '));
        EXPECT_EQ(lines[1], "Programming PXM's");
        EXPECT_EQ(lines[2], c.line);
        if (c.footer) {
            EXPECT_TRUE(lines[3].startsWith(QString(82, '-') + ' '));
        }
        EXPECT_TRUE(w->cmdDownload->isEnabled());
        EXPECT_FALSE(w->cmdAbort->isEnabled());
        EXPECT_FALSE(hourglass());
        EXPECT_EQ(updater.finished, 0);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(DownloadCheckTest, TheBootloaderWarningAndTheSpareQuestionSayWhatTheyMean) {
    choose(0, posBootloader2, "bl2.S19");
    answers->push(Dialogs::vbOK);
    QString question;
    answers->pushForm([&](QDialog* d) {
        auto* box = static_cast<frmMessage2*>(d);
        question = box->txtMessage->toPlainText();
        box->cmdNo->click();
        return -1;
    });

    w->cmdDownload_Click();

    ASSERT_FALSE(answers->shown().empty());
    const Dialogs::Request& warning = answers->shown().front();
    EXPECT_EQ(warning.text, "Downloading of the bootloader will remove the application from the PXM!\r\n"
                            "Ater bootloader-downloading you must also download the application.");
    EXPECT_EQ(warning.style & 0xF, Dialogs::vbOKCancel);
    EXPECT_EQ(question, "Only the spare?");
    EXPECT_EQ(log().last(), "Download to spare only aborted.");
}

TEST_F(DownloadCheckTest, AnOldCanComponentRefusesTheMBusRoadWithUserTextFive) {
    modGlobal::g_isMBusConnection = true;
    modGlobal::g_canInterfaceVersion = 1.0;
    for (int i = 2; i < frmMain::moduleCount; ++i) w->chkProgram[i]->setEnabled(false);
    check(w->chkProgram[0]);
    // A file that converts: the road's own refusal is the one seen.
    QTemporaryDir files;
    const QString file = files.filePath("a.S19");
    ASSERT_TRUE(modDownload::g_binToSRec(QByteArray(64, 'x'), 0x100000, "S37", file));
    choose(1, posApplication, file);

    w->cmdDownload_Click();

    ASSERT_EQ(answers->shown().size(), 1u) << answers->texts().join('\n').toStdString();
    EXPECT_EQ(answers->shown()[0].title, "Error");
    EXPECT_EQ(answers->shown()[0].text, "CAN interface too old.");
    // The header, the title and the closing line of the command's ending.
    EXPECT_EQ(log().size(), 3) << log().join('\n').toStdString();
    EXPECT_TRUE(log().last().startsWith(QString(82, QLatin1Char('-')))) << log().join('\n').toStdString();
    EXPECT_EQ(updater.finished, 1);
    EXPECT_TRUE(w->cmdDownload->isEnabled());
}

TEST_F(DownloadCheckTest, TheCommandLockFollowsItsMode) {
    struct Case {
        int mode;
        bool hourglass, fileMenu, abort, exit;
    };
    const Case cases[] = {
        {0, true, false, true, false}, {1, true, false, true, false}, {2, true, false, false, true},
        {3, false, true, false, true}, {4, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        w->m_abort = true;
        w->disableOtherControls(c.mode);
        EXPECT_FALSE(w->cmdDownload->isEnabled());
        EXPECT_FALSE(w->cmdModuleState->isEnabled());
        EXPECT_FALSE(w->mnuModuleControl->menuAction()->isEnabled());
        EXPECT_FALSE(w->mnuTools->menuAction()->isEnabled());
        EXPECT_FALSE(w->mnuDcBuilder->menuAction()->isEnabled());
        EXPECT_EQ(hourglass(), c.hourglass);
        EXPECT_EQ(w->mnuFile->menuAction()->isEnabled(), c.fileMenu);
        EXPECT_EQ(w->cmdAbort->isEnabled(), c.abort);
        EXPECT_EQ(w->cmdExit->isEnabled(), c.exit);
        EXPECT_EQ(w->mnuExit->isEnabled(), c.exit);

        w->enableAllControls();
        for (QWidget* b : {static_cast<QWidget*>(w->cmdDownload), static_cast<QWidget*>(w->cmdModuleState),
                           static_cast<QWidget*>(w->cmdExit)})
            EXPECT_TRUE(b->isEnabled());
        for (QMenu* m : {w->mnuFile, w->mnuModuleControl, w->mnuTools, w->mnuDcBuilder}) EXPECT_TRUE(m->menuAction()->isEnabled());
        for (QAction* a : {w->mnuExit, w->mnuStartApplication, w->mnuStartBootloader, w->mnuUploadFromSpare})
            EXPECT_TRUE(a->isEnabled());
        EXPECT_FALSE(w->cmdAbort->isEnabled());
        EXPECT_FALSE(w->m_abort);
        EXPECT_FALSE(hourglass());
    }
    // The close item goes with the first command and does not come back.
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(w->disableCloseButton(w.get()));
}

TEST_F(DownloadCheckTest, AnOldCanComponentKeepsStartApplicationAndUploadLockedOutsideDebugMode) {
    modGlobal::g_canInterfaceVersion = 1.0;
    w->enableAllControls();
    EXPECT_FALSE(w->mnuStartApplication->isEnabled());
    EXPECT_FALSE(w->mnuUploadFromSpare->isEnabled());
    EXPECT_TRUE(w->mnuStartBootloader->isEnabled());
    modGlobal::g_debugMode = true;
    w->enableAllControls();
    EXPECT_TRUE(w->mnuStartApplication->isEnabled());
    EXPECT_TRUE(w->mnuUploadFromSpare->isEnabled());
}

TEST_F(DownloadCheckTest, AFailureLineKeepsItsIndentationNamesTheModuleAndTurnsTheLampRed) {
    w->downloadFailure("      failed! Could not start Bootloader  because heartbeat was not received. \r"
                       "      Please check the connection to the PXM and try again.",
                       3);
    EXPECT_EQ(log(), QStringList({"      PXM 3: failed! Could not start Bootloader  because heartbeat was not received. ",
                                  "      Please check the connection to the PXM and try again."}));
    EXPECT_EQ(vbControls::backColor(w->lblDownloadOk[3]), vbControls::vbRed);
    EXPECT_FALSE(w->lblDownloadOk[3]->isHidden());

    // A module number outside the lamps is a run-time error, and nothing is logged.
    w->downloadFailure("      failed!", moduleProtocol::moduleCount);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(log().size(), 2);
}

TEST_F(DownloadCheckTest, ResetStatusKeepsRedLampsOnlyWhenAsked) {
    vbControls::setBackColor(w->lblDownloadOk[1], vbControls::vbRed);
    w->lblDownloadOk[1]->show();
    vbControls::setBackColor(w->lblDownloadOk[2], vbControls::vbGreen);
    w->lblDownloadOk[2]->show();

    w->resetStatus(true);
    EXPECT_EQ(vbControls::backColor(w->lblDownloadOk[1]), vbControls::vbRed);
    EXPECT_FALSE(w->lblDownloadOk[1]->isHidden());
    EXPECT_TRUE(w->lblDownloadOk[2]->isHidden());
    EXPECT_TRUE(w->g_downloadStatusOk(2));

    w->resetStatus(false);
    EXPECT_TRUE(w->lblDownloadOk[1]->isHidden());
    EXPECT_TRUE(w->g_downloadStatusOk(1));
}

TEST_F(DownloadCheckTest, AnEmptyImageIsNoSuccessfulTransfer) {
    bool ok = true;
    w->writeSection(0, 6, QByteArray(), ok);
    EXPECT_FALSE(ok);
    ok = false;
    w->writeSection(0, 6, QByteArray(10, 'x'), ok);  // without a board every transfer succeeds
    EXPECT_TRUE(ok);
}

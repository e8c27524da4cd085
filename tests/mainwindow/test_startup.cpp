// The start-up through the dialog seam: where it ends, what it hands over to, and how it
// leaves the window.
#include "mainwindow/startupswitches.h"
#include "mainwindowfixture.h"
#include "mainwindow/vbcheckbox.h"

#include "desktop/timeservice.h"
#include "services/frmabout.h"

#include <QCoreApplication>
#include <QScrollArea>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QMenu>
#include <QPushButton>

using namespace mwtest;
using namespace modGlobal;

namespace {
bool shown(QWidget* w) { return !w->isHidden(); }
}  // namespace

using StartupTest = MainWindowTest;

TEST_F(StartupTest, AMissingConfigurationDatabaseEndsTheProgramWithTheFileCheckMessage) {
    w->Form_Load(QString());
    ASSERT_EQ(ends, 1);
    ASSERT_EQ(answers->shown().size(), 1u);
    EXPECT_EQ(answers->shown()[0].text,
              QDir::toNativeSeparators(tmp.filePath("pxmloader-Config.mdb")) + "\r\nFile not found!");
    EXPECT_EQ(answers->shown()[0].title, "ERROR");
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(called("showUpdater"));
}

TEST_F(StartupTest, ASecondInstanceIsRefusedBeforeTheDatabaseIsLookedFor) {
    makeConfig();
    const QString key = "kelb-test-second-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QLockFile first(singleInstance::lockPath(key));  // the instance that runs already
    ASSERT_TRUE(first.tryLock(0));
    w->setInstanceKey(key);
    w->Form_Load(QString());
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(answers->shown().size(), 1u);
    EXPECT_EQ(answers->shown()[0].text, "PXM Loader is already running!");
    EXPECT_EQ(answers->shown()[0].title, "ERROR");
    EXPECT_TRUE(g_configDbPath.isEmpty());
    EXPECT_FALSE(w->isVisible());
}

TEST_F(StartupTest, NoCanInUpdateModeOpensTheWindowWithoutUpdateRunOrBus) {
    makeConfig({{"baseAdrDC_smallMem", "A0000"}});
    w->Form_Load("/noCan");
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(can.g_noCAN());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(g_updateMode);
    EXPECT_FALSE(shown(w->fraModuleState));
    EXPECT_EQ(w->windowTitle(), "KELB-3817 Update Tool");
    EXPECT_EQ(g_baseAdrDC, 0);  // the layout is never computed without a bus
    EXPECT_FALSE(called("showUpdater"));
    EXPECT_FALSE(called("g_initialise(S-Bus for DARVO,1,0)") || called("g_initialise(M-Bus,0,255)"));
    // The message window records nothing in update mode.
    frmMessage2* box = frmMessage2::existing();
    EXPECT_TRUE(box == nullptr || box->lstMessage->count() == 0);
}

TEST_F(StartupTest, NoCanInManualModeLogsTheLineAndTheMessageWindowClosesAfterOneSecond) {
    std::optional<testsupport::VirtualClockScope> clock(std::in_place);
    makeConfig();
    w->Form_Load("/QTM /noCan /develop");
    EXPECT_EQ(ends, 0);
    frmMessage2* box = frmMessage2::existing();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isVisible());
    ASSERT_EQ(box->lstMessage->count(), 1);
    EXPECT_EQ(box->lstMessage->item(0)->text(), "no CAN initialising ...");
    clock->advance(900);
    EXPECT_TRUE(box->isVisible());
    clock->advance(200);
    EXPECT_FALSE(box->isVisible());
    EXPECT_FALSE(called("g_initialise(S-Bus for DARVO,1,0)") || called("g_initialise(M-Bus,0,255)"));
    clock.reset();
    // No module answers without a bus: none can be chosen, and a download refuses at once.
    for (int i = 0; i < frmMain::moduleCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(w->chkProgram[i]->isEnabled());
    }
    vbCheck::setValue(w->chkProgram[0], vbCheck::vbChecked);
    const int shownBefore = int(answers->shown().size());
    w->cmdDownload_Click();
    EXPECT_EQ(int(answers->shown().size()), shownBefore);
    QStringList lines;
    for (int i = 0; i < w->lstMessage->count(); ++i) lines << w->lstMessage->item(i)->text();
    EXPECT_TRUE(lines.contains("   CAN bus is not set up --> Download aborted!")) << lines.join('\n').toStdString();
}

// The safety question of manual mode: only a press of Yes goes on.
struct SafetyCase {
    const char* answer;
    bool goesOn;
};
void PrintTo(const SafetyCase& c, std::ostream* os) { *os << c.answer; }
class SafetyQuestion : public MainWindowTest, public ::testing::WithParamInterface<SafetyCase> {};

TEST_P(SafetyQuestion, OnlyYesGoesOn) {
    makeConfig();
    answerSafetyQuestion(GetParam().answer);
    w->Form_Load("/QTM");
    ASSERT_GE(answers->shown().size(), 1u);
    const auto& q = answers->shown()[0];
    EXPECT_EQ(q.kind, Dialogs::Kind::Form);
    auto* box = frmMessage2::existing();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Question");
    EXPECT_EQ(ends, GetParam().goesOn ? 0 : 1);
    EXPECT_EQ(w->isVisible(), GetParam().goesOn);
    // Only Yes reaches the bus set-up.
    EXPECT_EQ(called("g_initialise(S-Bus for DARVO,1,0)"), GetParam().goesOn);
    frmAbout::instance().close();
}

INSTANTIATE_TEST_SUITE_P(Answers, SafetyQuestion,
                         ::testing::Values(SafetyCase{"Yes", true}, SafetyCase{"No", false}, SafetyCase{"titlebar", false}),
                         [](const auto& info) { return std::string(info.param.answer); });

// The manual main window opens at its design size, inside a laptop's work area (1280 x 800);
// it can be made smaller, and every control can then still be scrolled into view.
TEST_F(StartupTest, TheManualWindowOpensInsideTheWorkAreaAndScrollsWhenMadeSmaller) {
    std::optional<testsupport::VirtualClockScope> clock(std::in_place);
    makeConfig();
    w->Form_Load("/QTM /noCan /develop");
    clock.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(testsupport::workArea().contains(w->frameGeometry()));
    auto* page = qobject_cast<QScrollArea*>(w->centralWidget());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->viewport()->size(), QSize(760, 572)) << "the whole client area in view";
    EXPECT_TRUE(testsupport::keepGrab(w.get(), QStringLiteral("main-window-manual-1280x800")));
    EXPECT_LE(w->minimumSizeHint().width(), 400);
    w->resize(500, 380);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(500, 380));
    EXPECT_TRUE(testsupport::unreachable(page).isEmpty()) << testsupport::unreachable(page).join(", ").toStdString();
    // The commands keep their access keys.
    EXPECT_EQ(w->cmdDownload->text(), "Do&wnload");
    EXPECT_EQ(w->cmdModuleState->text(), "&Overview");
    EXPECT_EQ(w->cmdAbort->text(), "&Abort");
    EXPECT_EQ(w->cmdExit->text(), "E&xit");
}

TEST_F(StartupTest, TheSafetyQuestionShowsUserTextOne) {
    makeConfig();
    QString text;
    answers->pushForm([&](QDialog* d) {
        text = static_cast<frmMessage2*>(d)->txtMessage->toPlainText();
        return 0;
    });
    w->Form_Load("/BZM");
    EXPECT_EQ(text, "Connect the service PC to the S-Bus only.");
}

TEST_F(StartupTest, ManualModeLooksUpTheFilesWithTheDesignTagsThenSetsUpTheBus) {
    appType.startAddress = 0x100000;
    makeConfig({{"blockTransfer", "1"}});
    bool unlockedAtSetUp = false;
    can.onInitialise = [&](const QString&, bool, quint8) {
        unlockedAtSetUp = unlockedAtSetUp || (w->cmdExit->isEnabled() && !w->cmdAbort->isEnabled());
        return false;
    };
    w->Form_Load("/BZM /develop");
    ASSERT_EQ(ends, 0);
    EXPECT_EQ(loadFiles.tagsSeen, "6,4,7,3,5");
    EXPECT_EQ(appType.fileAsked, "appl.S19");
    EXPECT_EQ(g_applicationType, 7);
    QStringList tags;
    for (auto* c : w->chkLoadSection) tags << vbControls::tag(c);
    EXPECT_EQ(tags.join(','), "2,-1,-1,1,-1");
    for (int pos = 1; pos < frmMain::sectionRows; ++pos) {
        EXPECT_EQ(shown(w->chkLoadSection[pos]), pos == 3) << pos;
        EXPECT_EQ(shown(w->txtEmh[pos]), pos == 3) << pos;
    }
    EXPECT_EQ(w->windowTitle(), "KELB-3817 Update Tool     for BZM");
    EXPECT_TRUE(w->mnuFile->menuAction()->isVisible());
    EXPECT_TRUE(can.g_blockTransferEnable());
    EXPECT_TRUE(g_bigMem);
    EXPECT_EQ(g_baseAdrDC, 0x60000);
    EXPECT_EQ(g_baseAdrFPGA, 0x30000);
    EXPECT_EQ(g_baseAdrAppl, 0x100000);
    EXPECT_TRUE(shown(w->fraModuleState));
    EXPECT_FALSE(shown(w->fraEngineRunning));
    // The window was unlocked before the bus set-up, which looked for the S-Bus on both
    // converters; the application-type check came after it and ended with the about box.
    EXPECT_TRUE(unlockedAtSetUp);
    const Calls expected = {"g_checkFileExist(BZM,0)", "g_initialise(S-Bus for DARVO,1,0)", "release(all)",
                            "g_initialise(S-Bus for DARVO,1,1)", "release(all)"};
    EXPECT_EQ(calls, expected);
    EXPECT_TRUE(frmAbout::instance().isVisible());
    frmAbout::instance().close();
    EXPECT_TRUE(frmMessage2::existing() == nullptr || !frmMessage2::existing()->isLoaded());
}

TEST_F(StartupTest, UpdateModeStartsTheUpdateRunWithTheSmallLayoutAndHidesTheMenus) {
    makeConfig({{"baseAdrAppl_smallMem", "0"}, {"baseAdrFPGA_smallMem", "E0000"}});
    bool unlockedAtShow = false;
    updater.onShow = [&] { unlockedAtShow = w->cmdExit->isEnabled() && !w->cmdAbort->isEnabled(); };
    w->Form_Load(QString());
    ASSERT_EQ(ends, 0);
    EXPECT_EQ(g_moduleKind, "PXM");
    EXPECT_EQ(g_applicationType, 0);
    EXPECT_FALSE(g_bigMem);
    EXPECT_EQ(g_baseAdrDC, 0xC0000);
    EXPECT_EQ(g_baseAdrFPGA, 0xE0000);
    EXPECT_EQ(g_baseAdrAppl, 0x30000);
    for (QMenu* m : {w->mnuModuleControl, w->mnuView, w->mnuDcBuilder, w->mnuTools, w->mnuFile, w->mnuHelp})
        EXPECT_FALSE(m->menuAction()->isVisible()) << m->title().toStdString();
    QStringList tags;
    for (auto* c : w->chkLoadSection) tags << vbControls::tag(c);
    EXPECT_EQ(tags.join(','), "6,4,7,3,-1");
    for (int pos = 1; pos < frmMain::sectionRows; ++pos) EXPECT_EQ(shown(w->chkLoadSection[pos]), pos < 4) << pos;
    EXPECT_TRUE(w->chkLoadSection[3]->isEnabled());
    EXPECT_FALSE(can.g_blockTransferEnable());
    // The window was unlocked before the update run was shown.
    EXPECT_TRUE(unlockedAtShow);
    const Calls expected = {"showUpdater"};
    EXPECT_EQ(calls, expected);
}

// What of the builder, the tools, the upload and the overview each start shows; in update
// mode the developer's menus come only once the run has ended.
struct MenuCase {
    const char* name;
    const char* line;
    bool menus, uploadAndOverview;  // after the start-up (the upload and the overview: QTM, BZM)
    bool menusAfterRun;             // once the update run has ended
};
void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.line; }
class DeveloperMenus : public MainWindowTest, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(DeveloperMenus, FollowTheModeAndTheDevelopSwitch) {
    const MenuCase& c = GetParam();
    makeConfig();
    answerSafetyQuestion("Yes");
    w->Form_Load(QString::fromLatin1(c.line));
    ASSERT_EQ(ends, 0);
    EXPECT_EQ(w->mnuDcBuilder->menuAction()->isVisible(), c.menus);
    EXPECT_EQ(w->mnuTools->menuAction()->isVisible(), c.menus);
    // In update mode the upload lies in the hidden Module Control menu.
    if (!g_updateMode) {
        EXPECT_EQ(w->mnuUploadFromSpare->isVisible(), c.uploadAndOverview);
        EXPECT_EQ(shown(w->cmdModuleState), c.uploadAndOverview);
    }
    w->updateRunEnded();
    EXPECT_EQ(w->mnuDcBuilder->menuAction()->isVisible(), c.menusAfterRun);
    EXPECT_EQ(w->mnuTools->menuAction()->isVisible(), c.menusAfterRun);
    // Nothing else of the manual part comes back in update mode.
    if (g_updateMode) {
        for (QMenu* m : {w->mnuModuleControl, w->mnuFile, w->mnuHelp}) EXPECT_FALSE(m->menuAction()->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(Starts, DeveloperMenus,
                         ::testing::Values(MenuCase{"QTM", "/QTM", false, false, false},
                                           MenuCase{"BZM", "/BZM", false, false, false},
                                           MenuCase{"QTMDevelop", "/QTM /develop", true, true, true},
                                           MenuCase{"BZMDevelop", "/BZM /develop", true, true, true},
                                           MenuCase{"Update", "", false, false, false},
                                           MenuCase{"UpdateDevelop", "/develop", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartupTest, WithoutCanTheDeveloperGetsTheBuilderAtOnceInUpdateMode) {
    makeConfig();
    w->Form_Load("/noCan /develop");
    EXPECT_TRUE(w->mnuDcBuilder->menuAction()->isVisible());
    EXPECT_TRUE(w->mnuTools->menuAction()->isVisible());
    EXPECT_FALSE(w->mnuModuleControl->menuAction()->isVisible());
}

TEST_F(StartupTest, DebugBringsTheViewMenuBackInUpdateMode) {
    makeConfig();
    w->Form_Load("/debug /noCan");
    EXPECT_TRUE(g_debugMode);
    EXPECT_TRUE(w->mnuView->menuAction()->isVisible());
    EXPECT_FALSE(w->mnuFile->menuAction()->isVisible());
}

TEST_F(StartupTest, TheConfigurationFolderIsSetAndItsReportDatabasesAreDeleted) {
    const QString dir = tmp.filePath("cfg");
    QDir().mkpath(dir);
    makeConfig({}, dir);
    for (const char* name : {"a.rep", "b.rep", "keep.mdb"}) {
        QFile f(QDir(dir).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    w->Form_Load("/db=" + dir + " /noCan");
    ASSERT_EQ(ends, 0);
    const QString nativeDir = QDir::toNativeSeparators(dir);
    EXPECT_EQ(g_dbDir, nativeDir + QDir::separator());
    EXPECT_EQ(g_configDbPath, g_dbDir + "pxmloader-Config.mdb");
    EXPECT_EQ(g_configDir, nativeDir);
    EXPECT_EQ(g_uploadDir, nativeDir + QDir::separator() + "Upload");
    EXPECT_EQ(g_toolTitle, "KELB-3817 Update Tool");
    EXPECT_EQ(g_appName, "pxmloader");
    EXPECT_EQ(w->txtFileDirectory->text(), nativeDir);
    EXPECT_EQ(w->txtFileDirectory->cursorPosition(), nativeDir.size());
    EXPECT_FALSE(QFile::exists(QDir(dir).filePath("a.rep")));
    EXPECT_FALSE(QFile::exists(QDir(dir).filePath("b.rep")));
    EXPECT_TRUE(QFile::exists(QDir(dir).filePath("keep.mdb")));
}

TEST_F(StartupTest, TheModuleRowsStandInStepsOf360TwipsWithTheSpareFirst) {
    makeConfig();
    w->Form_Load("/QTM /develop");
    EXPECT_EQ(w->lblCylinderNumber[0]->text(), "Sp");
    for (int i = 1; i < frmMain::moduleCount; ++i) {
        EXPECT_EQ(w->lblCylinderNumber[i]->text(), QString::number(i));
        EXPECT_EQ(w->chkProgram[i]->x() - w->chkProgram[i - 1]->x(), 24);
        EXPECT_EQ(w->lblHW[i]->x() - w->lblHW[i - 1]->x(), 24);
        EXPECT_TRUE(shown(w->chkProgram[i]));
        EXPECT_FALSE(shown(w->lblDownloadOk[i]));
        EXPECT_EQ(vbControls::backColor(w->lblDownloadOk[i]), vbControls::vbGreen);
    }
    EXPECT_EQ(vbControls::backColor(w->lblDownloadOk[0]), vbControls::vbGreen);
    EXPECT_EQ(w->txtEmh[3]->y(), w->chkLoadSection[3]->y());
}

// A configuration database cut short (what a killed writer that wrote in place left) is
// refused with a message, never started on without a word.
TEST_F(StartupTest, AConfigurationDatabaseCutShortIsRefusedWithAMessage) {
    const QString path = makeConfig();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(f.size() / 2));
    f.close();
    w->Form_Load(QString());
    EXPECT_EQ(ends, 1);
    ASSERT_FALSE(answers->shown().empty());
    // The box's text, then the cause the database layer gave.
    const QStringList text = answers->shown()[0].text.split(QLatin1Char('\r'));
    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text[0], "Error in opening database: modDataBase g_iniRecordset ");
    EXPECT_FALSE(text[1].isEmpty());
    EXPECT_EQ(answers->shown()[0].title, "DB-Name: " + path + " / ReadOnly: No");
    EXPECT_FALSE(called("showUpdater"));
    EXPECT_FALSE(w->isVisible());
}

// A configuration database whose tables lack what the program reads, or a folder of its
// name: the start-up ends with one box naming the file, the table and the column or value,
// and the file keeps its bytes.
TEST_F(StartupTest, AConfigurationDatabaseLackingWhatTheProgramReadsIsNamedAndLeftUnchanged) {
    const struct {
        const char* what;
        QStringList damage;  // statements on the database makeConfig wrote
        const char* named;   // in the box, after the file
    } cases[] = {
        {"miscellaneous without value",
         {"CREATE TABLE m2 (item TEXT)", "INSERT INTO m2 SELECT item FROM miscellaneous", "DROP TABLE miscellaneous",
          "ALTER TABLE m2 RENAME TO miscellaneous"},
         "table miscellaneous has no column value"},
        {"miscellaneous without item",
         {"ALTER TABLE miscellaneous RENAME COLUMN item TO name"}, "table miscellaneous has no column item"},
        {"messages without MessageText",
         {"ALTER TABLE messages RENAME COLUMN MessageText TO Text"}, "table messages has no column MessageText"},
        {"loadFiles without fileName",
         {"CREATE TABLE loadFiles (module TEXT, fileType TEXT, section INTEGER)",
          "INSERT INTO loadFiles VALUES ('PXM', 'OUT', 6)"},
         "table loadFiles has no column fileName"},
        {"loadFiles with section abc",
         {"CREATE TABLE loadFiles (module TEXT, fileType TEXT, section TEXT, fileName TEXT)",
          "INSERT INTO loadFiles VALUES ('PXM', 'OUT', '6', 'appl.S19')",
          "INSERT INTO loadFiles VALUES ('PXM', 'OUT', 'abc', 'dc.S19')"},
         "table loadFiles, row of file 'dc.S19': column section holds 'abc', no whole number"},
        {"a folder of the database's name", {}, "it is a folder, not a database file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir site;
        QString path = QDir(site.path()).filePath("pxmloader-Config.mdb");
        if (c.damage.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            makeConfig({}, site.path());
            auto db = dao::OpenDatabase(path, false, false);
            for (const QString& sql : c.damage) db->Execute(sql);
            db->Close();
        }
        const auto bytes = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = bytes();
        resetGlobals();
        answers->clear();
        ends = 0;
        w = std::make_unique<frmMain>();
        w->setProgramFile(QDir(site.path()).filePath("pxmloader"));
        w->setInstanceKey(QStringLiteral("kelb-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
        loadFiles.w = w.get();
        w->Form_Load(QString());
        singleInstance::release();

        EXPECT_EQ(ends, 1);
        ASSERT_EQ(answers->shown().size(), 1u);
        EXPECT_EQ(answers->shown()[0].text, "The configuration database " + QDir::toNativeSeparators(path) +
                                                 " cannot be used:\r" + c.named + ".\rThe file has not been changed.");
        EXPECT_EQ(answers->shown()[0].title, "ERROR");
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(errors.empty());
    }
}

// A complete database with its load files passes the check: the start-up goes on.
TEST_F(StartupTest, AConfigurationDatabaseWithItsLoadFilesPassesTheCheck) {
    const QString path = makeConfig();
    {
        auto db = dao::OpenDatabase(path, false, false);
        db->Execute("CREATE TABLE loadFiles (module TEXT, fileType TEXT, section INTEGER, fileName TEXT)");
        db->Execute("INSERT INTO loadFiles VALUES ('PXM', 'OUT', 6, 'appl.S19')");
        db->Execute("INSERT INTO loadFiles VALUES ('PXM', 'OUT', ' 4 ', 'dc.S19')");
        db->Close();
    }
    w->Form_Load("/noCan");
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(answers->shown().empty());
}

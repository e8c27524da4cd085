// The load files: the `loadFiles` rows of the installation bound to the section rows by
// their section numbers, the program-file directory box, the "New" variants, and the
// warning about a data-container S-record file older than its database.
#include "mainwindowfixture.h"

#include "can/links.h"
#include "app/wiring.h"
#include "mainwindow/vbcheckbox.h"
#include "services/modstringfct.h"

#include <QCoreApplication>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QListWidget>

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace mwtest;
using vbCheck::value;

namespace {
struct Row {
    const char* module;
    const char* fileType;
    int section;
    const char* fileName;
};

const QDateTime kFileTime(QDate(2023, 3, 5), QTime(14, 7, 9));

struct LoadFilesTest : MainWindowTest {
    QString files;  // the program-file directory

    void SetUp() override {
        MainWindowTest::SetUp();
        modGlobal::g_configDbPath = makeConfig();
        modGlobal::g_toolTitle = "KELB-3817 Update Tool";
        modGlobal::g_moduleKind = "PXM";
        files = tmp.filePath("program files");
        QDir().mkpath(files);
        w->txtFileDirectory->setText(files);
        setTags({"6", "4", "7", "3", "-1"});  // as the start-up leaves a KELB installation
        // The builder's look-up reaches this window as in the program.
        wiring::install(*w);
        cansim::recordErrors(errors);
        updaterLink::install(&updater);
    }
    void TearDown() override {
        wiring::uninstall();
        modGlobal::g_forceFPGAdownload = false;
        MainWindowTest::TearDown();
    }

    void table(const std::vector<Row>& rows) {
        auto db = dao::OpenDatabase(modGlobal::g_configDbPath, false, false);
        db->Execute("CREATE TABLE IF NOT EXISTS loadFiles (module TEXT, fileType TEXT, section INTEGER, fileName TEXT)");
        db->Execute("DELETE FROM loadFiles");
        for (const Row& r : rows)
            db->Execute("INSERT INTO loadFiles (module, fileType, section, fileName) VALUES (?, ?, ?, ?)",
                        {r.module, r.fileType, r.section, r.fileName});
        db->Close();
    }
    QString file(const QString& name, const QDateTime& modified = kFileTime) {
        const QString path = QDir(files).filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadWrite));
        f.write("S0030000FC\r\n");
        f.flush();
        EXPECT_TRUE(f.setFileTime(modified, QFileDevice::FileModificationTime));
        return path;
    }
    void setTags(const QStringList& tags) {
        for (int pos = 0; pos < frmMain::sectionRows; ++pos) vbControls::setTag(w->chkLoadSection[pos], tags[pos]);
    }
    QStringList log() const {
        QStringList l;
        for (int i = 0; i < w->lstMessage->count(); ++i) l << w->lstMessage->item(i)->text();
        return l;
    }
    QString path(const QString& name) const { return QDir(files).filePath(name); }
};
}  // namespace

TEST_F(LoadFilesTest, TheInstallationsRowsAreBoundToTheSectionRowsByTheirNumbers) {
    table({
        {"PXM", "OUT", 6, "PXM_application.S19"},
        {"PXM", "OUT", 4, "PXM_DATA.S19"},        // missing
        {"PXM", "OUT", 7, "PXM_FPGA.S19"},
        {"PXM", "OUT", 3, "PXM_BL2.S19"},
        {"PXM", "OUT", 5, "QTM_application.S19"}, // no row carries 5 once the start-up set the Tags
        {"PXM", "IN", 3, "PXM_BL2_in.S19"},       // another file type
        {"QTM", "OUT", 6, "QTM_other.S19"},       // another module kind
        {"PXM", "OUT", 9, "PXM_FPGA_New.S19"},    // only while "New" is checked
    });
    for (const char* name : {"PXM_application.S19", "PXM_FPGA.S19", "PXM_BL2.S19", "QTM_application.S19",
                             "PXM_BL2_in.S19", "QTM_other.S19", "PXM_FPGA_New.S19"})
        file(name);
    for (auto* row : w->chkLoadSection) row->setChecked(true);
    vbControls::setTag(w->txtEmh[4], "kept");

    w->g_checkFileExist("PXM", false);

    const struct {
        QString emh, tag, version, build, name;
        bool exists;
    } expected[] = {
        {path("PXM_application.S19"), path("PXM_application.S19"), "Mar 05 2023", "14:07:09", "PXM_application.S19", true},
        {"---", "", "---", "---", "PXM_DATA.S19", false},
        {path("PXM_FPGA.S19"), path("PXM_FPGA.S19"), "Mar 05 2023", "14:07:09", "PXM_FPGA.S19", true},
        {path("PXM_BL2.S19"), path("PXM_BL2.S19"), "Mar 05 2023", "14:07:09", "PXM_BL2.S19", true},
    };
    for (int pos = 0; pos < 4; ++pos) {
        SCOPED_TRACE(pos);
        EXPECT_EQ(w->txtEmh[pos]->text(), expected[pos].emh);
        EXPECT_EQ(vbControls::tag(w->txtEmh[pos]), expected[pos].tag);
        EXPECT_EQ(w->txtVersion[pos]->text(), expected[pos].version);
        EXPECT_EQ(w->txtBuild[pos]->text(), expected[pos].build);
        EXPECT_EQ(w->m_loadFileNames[pos], expected[pos].name);
        EXPECT_EQ(w->m_loadFileExists[pos], expected[pos].exists);
        EXPECT_EQ(value(w->chkLoadSection[pos]), vbCheck::vbUnchecked);
        EXPECT_TRUE(vbCheck::enabled(w->chkLoadSection[pos]));
    }
    // The last row is never touched.
    EXPECT_EQ(vbControls::tag(w->txtEmh[4]), "kept");
    EXPECT_EQ(value(w->chkLoadSection[4]), vbCheck::vbChecked);

    const QStringList l = log();
    ASSERT_EQ(l.size(), 6);
    EXPECT_TRUE(l[0].startsWith("CHECK LOAD FILES " + QString(65, '-') + " "));
    // In the order of the section numbers.
    EXPECT_EQ(l[1], "   Section BL2: File " + path("PXM_BL2.S19") + " selected");
    EXPECT_EQ(l[2], "   Section DataCont.: File " + path("PXM_DATA.S19") + " not found!");
    EXPECT_EQ(l[3], "   Section Application: File " + path("PXM_application.S19") + " selected");
    EXPECT_EQ(l[4], "   Section FPGA: File " + path("PXM_FPGA.S19") + " selected");
    EXPECT_TRUE(l[5].startsWith(QString(82, '-') + " "));
    EXPECT_TRUE(errors.empty());
}

TEST_F(LoadFilesTest, QuietLogsOnlyTheMissingFiles) {
    table({{"PXM", "OUT", 6, "PXM_application.S19"}, {"PXM", "OUT", 7, "PXM_FPGA.S19"}});
    file("PXM_application.S19");
    w->g_checkFileExist("PXM", true);
    EXPECT_EQ(log(), QStringList{"   Section FPGA: File " + path("PXM_FPGA.S19") + " not found!"});
    EXPECT_EQ(w->txtEmh[0]->text(), path("PXM_application.S19"));
}

TEST_F(LoadFilesTest, OfTwoRowsForOneSectionTheLaterWinsAlsoWhenItsFileIsMissing) {
    table({{"PXM", "OUT", 6, "A.S19"}, {"PXM", "OUT", 6, "B.S19"}});
    file("A.S19");
    w->g_checkFileExist("PXM", true);
    EXPECT_EQ(w->m_loadFileNames[0], "B.S19");
    EXPECT_FALSE(w->m_loadFileExists[0]);
    EXPECT_EQ(w->txtEmh[0]->text(), "---");
    // The row shows no file, so it names none for the download and the type check.
    EXPECT_EQ(vbControls::tag(w->txtEmh[0]), "");
}

TEST_F(LoadFilesTest, TheRowsLockByTheFpgaSettingAndTheBusOfAKelbInstallation) {
    table({{"PXM", "OUT", 6, "A.S19"}});
    const struct {
        bool force, mBus;
        qint32 type;
        bool fpga, bl2;
    } cases[] = {
        {false, false, 0, true, true},
        {true, false, 0, false, true},
        {false, true, 0, true, false},
        {false, true, 6, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.force << c.mBus << c.type);
        modGlobal::g_forceFPGAdownload = c.force;
        modGlobal::g_isMBusConnection = c.mBus;
        modGlobal::g_applicationType = c.type;
        for (auto* row : w->chkLoadSection) row->setEnabled(false);
        w->g_checkFileExist("PXM", true);
        EXPECT_TRUE(vbCheck::enabled(w->chkLoadSection[0]));
        EXPECT_TRUE(vbCheck::enabled(w->chkLoadSection[1]));
        EXPECT_EQ(vbCheck::enabled(w->chkLoadSection[2]), c.fpga);
        EXPECT_EQ(vbCheck::enabled(w->chkLoadSection[3]), c.bl2);
    }
}

TEST_F(LoadFilesTest, AKindWithoutRowsLeavesTheRowsResetAndSaysSo) {
    table({{"PXM", "OUT", 6, "A.S19"}});
    w->txtEmh[0]->setText("old");
    w->g_checkFileExist("BZM", false);
    const QStringList l = log();
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[1], "   Error: Could not open " + modGlobal::g_configDbPath);
    EXPECT_EQ(w->txtEmh[0]->text(), "");
}

TEST_F(LoadFilesTest, AKindWithAnApostropheIsDataNotSql) {
    table({{"PXM", "OUT", 6, "A.S19"}, {"P'X", "OUT", 6, "B.S19"}});
    file("B.S19");
    w->g_checkFileExist("P'X", true);
    EXPECT_EQ(w->txtEmh[0]->text(), path("B.S19"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(LoadFilesTest, NewBindsTheNewVariantsOfFpgaAndBootloader2AtTheNextCheck) {
    table({{"PXM", "OUT", 3, "BL2.S19"}, {"PXM", "OUT", 7, "FPGA.S19"}, {"PXM", "OUT", 8, "BL2_New.S19"},
           {"PXM", "OUT", 9, "FPGA_New.S19"}});
    for (const char* n : {"BL2.S19", "FPGA.S19", "BL2_New.S19", "FPGA_New.S19"}) file(n);
    w->g_checkFileExist("PXM", true);
    w->chkSectionNew->click();
    QStringList tags;
    for (auto* row : w->chkLoadSection) tags << vbControls::tag(row);
    EXPECT_EQ(tags, QStringList({"6", "4", "9", "8", "-1"}));
    EXPECT_EQ(w->txtEmh[2]->text(), path("FPGA.S19"));  // nothing changes until the next check

    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(w->txtFileDirectory, &enter);
    EXPECT_EQ(w->txtEmh[2]->text(), path("FPGA_New.S19"));
    EXPECT_EQ(w->txtEmh[3]->text(), path("BL2_New.S19"));

    w->chkSectionNew->click();
    tags.clear();
    for (auto* row : w->chkLoadSection) tags << vbControls::tag(row);
    EXPECT_EQ(tags, QStringList({"6", "4", "7", "3", "-1"}));
}

TEST_F(LoadFilesTest, TheDirectoryBoxGetsItsSeparatorAndAnEmptyFolderLocksEverySection) {
    table({{"PXM", "OUT", 6, "A.S19"}});
    file("A.S19");
    bool cancel = false;
    w->txtFileDirectory_Validate(cancel);
    EXPECT_EQ(w->txtFileDirectory->text(), files + QDir::separator());
    EXPECT_FALSE(cancel);
    EXPECT_EQ(w->txtEmh[0]->text(), path("A.S19"));
    EXPECT_TRUE(answers->shown().empty());

    const QString empty = tmp.filePath("empty");
    QDir().mkpath(empty);
    for (const QString& folder : {empty, tmp.filePath("missing")}) {
        SCOPED_TRACE(folder.toStdString());
        answers->clear();
        for (auto* row : w->chkLoadSection) {
            row->setEnabled(true);
            row->setChecked(true);
        }
        w->txtFileDirectory->setText(folder);
        w->txtFileDirectory_Validate(cancel);
        ASSERT_EQ(answers->texts(), QStringList{"Directory doesn't exist!"});
        for (auto* row : w->chkLoadSection) {
            EXPECT_FALSE(vbCheck::enabled(row));
            EXPECT_EQ(value(row), vbCheck::vbUnchecked);
        }
    }
}

TEST_F(LoadFilesTest, LeavingTheDirectoryBoxChecksItButAChangeOfWindowDoesNot) {
    table({{"PXM", "OUT", 6, "A.S19"}});
    file("A.S19");
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(w->txtFileDirectory, &away);
    EXPECT_EQ(w->txtEmh[0]->text(), "");
    QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(w->txtFileDirectory, &tab);
    EXPECT_EQ(w->txtEmh[0]->text(), path("A.S19"));
}

// Tabbing past the box checks only a folder that changed since the last check; Enter always
// checks again. A check clears the ticks, so an unchanged folder keeps the engineer's.
TEST_F(LoadFilesTest, TabbingPastAnUnchangedDirectoryKeepsTheTicksAndEnterChecksAgain) {
    table({{"PXM", "OUT", 6, "A.S19"}});
    file("A.S19");
    const QString other = tmp.filePath("other");
    QDir().mkpath(other);
    QFile::copy(path("A.S19"), QDir(other).filePath("A.S19"));
    bool cancel = false;
    w->txtFileDirectory_Validate(cancel);
    ASSERT_EQ(w->txtEmh[0]->text(), path("A.S19"));
    const struct {
        const char* name;
        QString text;     // the box's text before the key or the leaving; empty: as it is
        bool enter;       // Enter, else Tab out of the box
        bool checked;     // CHECK LOAD FILES ran (and cleared the tick)
    } cases[] = {
        {"tab, same folder", {}, false, false},
        {"tab, same folder without its separator", files, false, false},
        {"enter, same folder", {}, true, true},
        {"tab, another folder", other, false, true},
        {"tab again", {}, false, false},
        {"enter again", {}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.text.isEmpty()) w->txtFileDirectory->setText(c.text);
        vbCheck::setValue(w->chkLoadSection[0], vbCheck::vbChecked);
        const int before = w->lstMessage->count();
        if (c.enter) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(w->txtFileDirectory, &enter);
        } else {
            QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(w->txtFileDirectory, &tab);
        }
        EXPECT_EQ(w->lstMessage->count() > before, c.checked);
        EXPECT_EQ(value(w->chkLoadSection[0]), c.checked ? vbCheck::vbUnchecked : vbCheck::vbChecked);
    }
    EXPECT_EQ(w->txtEmh[0]->text(), QDir(other).filePath("A.S19"));
    EXPECT_TRUE(answers->shown().empty());
}

TEST_F(LoadFilesTest, TheDataContainerFileOlderThanItsNewestDatabaseAsksBeforeTheDownload) {
    const QDateTime older = kFileTime, newer = kFileTime.addSecs(60);
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const struct {
        const char* name;
        bool database;
        QDateTime dbTime;
        bool s19;
        QDateTime s19Time;
        int answer;      // 0: no question expected
        bool ok;
    } cases[] = {
        {"no database", false, {}, true, older, 0, true},
        {"file newer", true, older, true, newer, 0, true},
        {"same second", true, older, true, older, 0, true},
        {"file older, go on", true, newer, true, older, Dialogs::vbYes, true},
        {"file older, stop", true, newer, true, older, Dialogs::vbNo, false},
        {"file missing", true, newer, false, {}, Dialogs::vbYes, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& n : QDir(files).entryList(QDir::Files)) QFile::remove(QDir(files).filePath(n));
        answers->clear();
        if (c.database) {
            file("KELB-3817 Update Tool-PXM-DC-001.mdb", c.dbTime.addSecs(-3600));
            file("KELB-3817 Update Tool-PXM-DC-002.mdb", c.dbTime);
        }
        w->txtEmh[1]->setText(c.s19 ? file("PXM_DATA.S19", c.s19Time) : QString("---"));
        if (c.answer) answers->push(c.answer);
        bool ok = !c.ok;
        w->checkS19FileDate(ok);
        EXPECT_EQ(ok, c.ok);
        if (!c.answer) {
            EXPECT_TRUE(answers->shown().empty());
            continue;
        }
        ASSERT_EQ(answers->shown().size(), 1u);
        const auto& box = answers->shown()[0];
        EXPECT_EQ(box.title, "QUESTION");
        const QDateTime s19Date = c.s19 ? c.s19Time : zero;
        EXPECT_EQ(box.text, modStringFct::sprintf("The datacontainer-S19-file is older then the newest datacontainer-mdb-file!\r\n"
                                                  "S19-File: {*}\r\nMDB-File: {*}\r\n",
                                                  s19Date, c.dbTime) +
                                "Please check if the S19-file should be built first!\r\n\r\nDo you want to continue?");
    }
}

// A configuration written on a file system that ignores case still finds its files; the
// exact name wins where both are there.
TEST_F(LoadFilesTest, AFileIsFoundWhateverTheCaseOfItsNameWhenTheExactNameIsMissing) {
    table({
        {"PXM", "OUT", 6, "PXM_Application.S19"},
        {"PXM", "OUT", 4, "PXM_DATA.S19"},
        {"PXM", "OUT", 7, "PXM_FPGA.S19"},
    });
    file("PXM_application.s19");
    file("PXM_FPGA.S19");
    file("pxm_fpga.s19");

    w->g_checkFileExist("PXM", false);

    EXPECT_EQ(w->txtEmh[0]->text(), path("PXM_application.s19"));
    EXPECT_EQ(vbControls::tag(w->txtEmh[0]), path("PXM_application.s19"));
    EXPECT_TRUE(w->m_loadFileExists[0]);
    EXPECT_EQ(w->txtEmh[2]->text(), path("PXM_FPGA.S19"));
    EXPECT_EQ(w->txtEmh[1]->text(), "---");
    EXPECT_TRUE(log().contains(
        modStringFct::sprintf("   Section {*}: File {*} selected", w->chkLoadSection[0]->text(), path("PXM_application.s19"))));
    EXPECT_TRUE(log().contains(
        modStringFct::sprintf("   Section {*}: File {*} not found!", w->chkLoadSection[1]->text(), path("PXM_DATA.S19"))));
}

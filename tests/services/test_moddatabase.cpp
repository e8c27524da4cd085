#include "cfgtestdb.h"
#include "services/moddatabase.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/programinfo.h"
#include "desktop/timeservice.h"
#include "testsupport.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

using namespace modDataBase;
using cfgtest::count;
using cfgtest::exec;
using cfgtest::makeDb;

namespace {

class ModDataBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("KELB-3817 Update Tool-PXM-DC-001.mdb");
        makeDb(path, {"CREATE TABLE dcEnums (id INTEGER, name TEXT COLLATE NOCASE, \"index\" INTEGER, oldId INTEGER)",
                      "INSERT INTO dcEnums (id, name, \"index\", oldId) VALUES (1, 'a', 0, 0)",
                      "INSERT INTO dcEnums (id, name, \"index\", oldId) VALUES (2, 'b', 1, 0)",
                      "CREATE TABLE emptyTable (x INTEGER)"});
        modGlobal::g_develop = false;
    }

    QTemporaryDir dir;
    QString path;
    testsupport::ScriptedAnswerer answers;
    cfgtest::ErrorRecorder errors;
};

TEST_F(ModDataBase, OpenSucceedsSilentlyAndGivesTheHandle) {
    std::shared_ptr<dao::Database> db;
    EXPECT_TRUE(g_openDBBothPasswords(path, db, true));
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->TableExists("dcEnums"));
    db->Close();
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModDataBase, AFailedOpenShowsOneBoxNamingPathAndReadOnlyFlag) {
    const QString missing = dir.filePath("missing.mdb");
    for (bool readOnly : {true, false}) {
        answers.clear();
        std::shared_ptr<dao::Database> db = dao::OpenDatabase(path, false, true);  // cleared by the call
        EXPECT_FALSE(g_openDBBothPasswords(missing, db, readOnly));
        EXPECT_FALSE(db);
        ASSERT_EQ(answers.shown().size(), 1u);
        EXPECT_EQ(answers.shown()[0].text,
                  QString("Error in opening database: modDataBase g_iniRecordset \rCould not find file '%1'.").arg(missing));
        EXPECT_EQ(answers.shown()[0].title,
                  QString("DB-Name: %1 / ReadOnly: %2").arg(missing, readOnly ? "Yes" : "No"));
        EXPECT_TRUE(answers.shown()[0].style & Dialogs::vbCritical);
    }
    EXPECT_TRUE(errors.errors.empty());
}

// The box of a failed open says why, so that a file another program holds is told from a
// file that is no database.
TEST_F(ModDataBase, AFailedOpenNamesTheCauseTheDatabaseLayerGave) {
    const QString broken = dir.filePath("broken.mdb");
    auto writeBroken = [&](const QByteArray& bytes) {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    };
    auto boxText = [&](const QString& file) {
        answers.clear();
        std::shared_ptr<dao::Database> db;
        EXPECT_FALSE(g_openDBBothPasswords(file, db, false));
        EXPECT_FALSE(db);
        EXPECT_EQ(answers.shown().size(), 1u);
        return answers.shown().empty() ? QString() : answers.shown()[0].text;
    };
    const QString head = "Error in opening database: modDataBase g_iniRecordset \r";

    writeBroken("not a database, a text file\r\n");
    EXPECT_EQ(boxText(broken), head + QString("Unrecognized database format '%1'.").arg(broken));
    writeBroken(QByteArray());
    EXPECT_EQ(boxText(broken), head + QString("Unrecognized database format '%1'.").arg(broken));
    {  // the right header, then damage
        QFile good(path);
        ASSERT_TRUE(good.open(QIODevice::ReadOnly));
        QByteArray bytes = good.readAll();
        bytes.replace(16, bytes.size() - 16, QByteArray(bytes.size() - 16, '\xA5'));
        writeBroken(bytes);
    }
    EXPECT_EQ(boxText(broken), head + QString("Unrecognized database format '%1'.").arg(broken));

    {  // another program holds the file, as the tool itself does
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(boxText(path), head + QString("Could not use '%1'; file already in use.").arg(path));
        ::close(fd);
    }
    {  // another program writes to it through SQLite alone
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(boxText(path), head + "database is locked");
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }
    // Once free, the same file opens without a box.
    answers.clear();
    std::shared_ptr<dao::Database> db;
    EXPECT_TRUE(g_openDBBothPasswords(path, db, false));
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModDataBase, RecordsetOnAnEmptyTableFollowsAllowEmptyWithoutMessage) {
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    EXPECT_FALSE(g_iniRecordset(path, "SELECT * FROM emptyTable", db, rs, false, true, false));
    ASSERT_TRUE(rs);  // stays open for the caller
    EXPECT_TRUE(rs->eof());
    EXPECT_TRUE(g_iniRecordset(path, "SELECT * FROM emptyTable", db, rs, true, true, false));
    EXPECT_TRUE(g_iniRecordset(path, "SELECT * FROM dcEnums", db, rs, false, true, false));
    EXPECT_FALSE(rs->eof());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModDataBase, ABadQueryShowsTheErrorBoxUnlessQuiet) {
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    EXPECT_FALSE(g_iniRecordset(path, "SELECT * FROM noSuchTable", db, rs, true, false, true));
    EXPECT_FALSE(rs);
    EXPECT_TRUE(answers.shown().empty());

    EXPECT_FALSE(g_iniRecordset(path, "SELECT * FROM noSuchTable", db, rs, true, false, false));
    ASSERT_EQ(answers.shown().size(), 1u);
    const QString prefix = QString("Error in opening record set: modDataBase g_iniRecordset \rDB-Name: %1\r"
                                   "SQL-Query: SELECT * FROM noSuchTable\rVB Error Descrtiption: ")
                               .arg(path);
    EXPECT_TRUE(answers.shown()[0].text.startsWith(prefix)) << answers.shown()[0].text.toStdString();
    EXPECT_GT(answers.shown()[0].text.size(), prefix.size());  // the engine's description follows
    EXPECT_EQ(answers.shown()[0].title, "ERROR");
}

TEST_F(ModDataBase, AddColumnAddsOnceAndLogsOneLine) {
    QString log = "before\r\n";
    EXPECT_FALSE(g_addColumn(path, "dcEnums", "oldId", "smallint", log, false));
    // A name that differs only in case is the same column to the engine: not added again.
    EXPECT_FALSE(g_addColumn(path, "dcEnums", "OLDID", "smallint", log, false));
    EXPECT_EQ(log, "before\r\n");

    EXPECT_TRUE(g_addColumn(path, "dcEnums", "introduced", "smallint", log, false));
    EXPECT_EQ(log, "before\r\nField 'introduced' added to table 'dcEnums'\r\n");
    EXPECT_TRUE(g_fieldExists(path, "dcEnums", "introduced"));
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModDataBase, AnAddedTextColumnComparesWithoutRegardToCase) {
    QString log;
    ASSERT_TRUE(g_addColumn(path, "dcEnums", "condition", "Text(128)", log, false));
    g_setColumn(path, "dcEnums", "condition", "'ABC'");
    EXPECT_EQ(count(path, "SELECT * FROM dcEnums WHERE condition=?", {"abc"}), 2);
}

TEST_F(ModDataBase, AddColumnOnATableThatCannotBeOpened) {
    QString log;
    EXPECT_FALSE(g_addColumn(path, "noSuchTable", "c", "smallint", log, true));
    EXPECT_TRUE(answers.shown().empty());

    EXPECT_FALSE(g_addColumn(path, "noSuchTable", "c", "smallint", log, false));
    ASSERT_EQ(answers.shown().size(), 2u);  // the record-set error, then the information
    EXPECT_TRUE(answers.shown()[0].text.startsWith("Error in opening record set: "));
    EXPECT_EQ(answers.shown()[1].text,
              QString("Database %1 could not be opend to check\rif field c does exist in table noSuchTable!").arg(path));
    EXPECT_EQ(answers.shown()[1].title, "INFORMATION");
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(ModDataBase, SetColumnWritesEveryRow) {
    QString log;
    ASSERT_TRUE(g_addColumn(path, "dcEnums", "introduced", "smallint", log, false));
    g_setColumn(path, "dcEnums", "introduced", "1");
    EXPECT_EQ(count(path, "SELECT * FROM dcEnums WHERE introduced=1"), 2);
    g_setColumn(path, "dcEnums", "name", "''");
    EXPECT_EQ(count(path, "SELECT * FROM dcEnums WHERE name=''"), 2);
}

TEST_F(ModDataBase, RemoveColumnReportOnlyChangesNothingAndShowsNothing) {
    QString log;
    EXPECT_TRUE(g_removeColumn(path, "dcEnums", "oldId", log, true, false));
    EXPECT_EQ(log, "Field 'oldId' in table 'dcEnums' is not needed anymore and could be removed\r\n");
    EXPECT_TRUE(g_fieldExists(path, "dcEnums", "oldId"));

    EXPECT_FALSE(g_removeColumn(path, "noSuchTable", "oldId", log, true, false));
    EXPECT_FALSE(g_removeColumn(path, "dcEnums", "noSuchColumn", log, true, false));
    EXPECT_EQ(log, "Field 'oldId' in table 'dcEnums' is not needed anymore and could be removed\r\n");
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModDataBase, RemoveColumnDropsItAndLogs) {
    QString log;
    EXPECT_TRUE(g_removeColumn(path, "dcEnums", "index", log, false, false));  // a reserved word as name
    EXPECT_EQ(log, "Field 'index' removed from table 'dcEnums'\r\n");
    EXPECT_FALSE(g_fieldExists(path, "dcEnums", "index"));
    EXPECT_EQ(count(path, "SELECT * FROM dcEnums"), 2);

    EXPECT_FALSE(g_removeColumn(path, "dcEnums", "index", log, false, false));
    EXPECT_EQ(log, "Field 'index' removed from table 'dcEnums'\r\n");
    EXPECT_TRUE(errors.errors.empty());

    EXPECT_FALSE(g_removeColumn(path, "noSuchTable", "c", log, false, false));
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_EQ(answers.shown()[1].text,
              QString("Database %1 could not be opend to remove\rfield c in table noSuchTable!").arg(path));
    EXPECT_EQ(answers.shown()[1].title, "INFORMATION");
}

// The lines of the message window, which develop mode shows beside the work, not modally.
QStringList messageWindowLines() {
    QStringList lines;
    frmMessage2* w = frmMessage2::existing();
    if (!w || !w->isVisible()) return lines;
    for (int i = 0; i < w->lstMessage->count(); ++i) lines << w->lstMessage->item(i)->text();
    return lines;
}

TEST_F(ModDataBase, DevelopModeShowsEachSchemaChangeInTheMessageWindow) {
    testsupport::VirtualClockScope clock;
    modGlobal::g_develop = true;
    QString log;
    ASSERT_TRUE(g_addColumn(path, "dcEnums", "introduced", "smallint", log, false));
    EXPECT_EQ(messageWindowLines(), QStringList({"Field introduced has been added to the table dcEnums",
                                                 "in database KELB-3817 Update Tool-PXM-DC-001.mdb!"}));
    EXPECT_EQ(frmMessage2::existing()->windowTitle(), "INFORMATION");
    clock.advance(1000);
    EXPECT_TRUE(messageWindowLines().isEmpty());  // closed itself after a second

    ASSERT_TRUE(g_removeColumn(path, "dcEnums", "oldId", log, false, false));
    EXPECT_EQ(messageWindowLines(), QStringList({"Field oldId has been removed from table dcEnums",
                                                 "in database KELB-3817 Update Tool-PXM-DC-001.mdb!"}));
    frmMessage2::instance().unload();

    log.clear();
    ASSERT_TRUE(g_removeColumn(path, "dcEnums", "index", log, true, false));  // a report changes nothing
    EXPECT_TRUE(messageWindowLines().isEmpty());
    EXPECT_TRUE(answers.shown().empty());  // never a modal box
    modGlobal::g_develop = false;
}

TEST_F(ModDataBase, FieldExists) {
    EXPECT_TRUE(g_fieldExists(path, "dcEnums", "name"));
    EXPECT_TRUE(g_fieldExists(path, "emptyTable", "x"));
    EXPECT_FALSE(g_fieldExists(path, "dcEnums", "nam"));
    EXPECT_TRUE(g_fieldExists(path, "dcEnums", "NAME"));
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModDataBase, AddTableCreatesOnceWithItsColumns) {
    const std::vector<FieldDescription> fields = {{"date", dao::dbDate, 0}, {"applVersion", dao::dbText, 16},
                                                  {"comment", dao::dbMemo, 0}};
    EXPECT_FALSE(g_addTable("", "version", fields));
    EXPECT_FALSE(g_addTable(path, "", fields));
    EXPECT_FALSE(g_addTable(dir.filePath("missing.mdb"), "version", fields));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.mdb")));

    EXPECT_TRUE(g_addTable(path, "version", fields));
    EXPECT_TRUE(g_fieldExists(path, "version", "applVersion"));
    EXPECT_TRUE(g_fieldExists(path, "version", "comment"));

    EXPECT_FALSE(g_addTable(path, "version", {{"extra", dao::dbLong, 0}}));
    EXPECT_FALSE(g_addTable(path, "Version", {{"extra", dao::dbLong, 0}}));
    EXPECT_FALSE(g_fieldExists(path, "version", "extra"));
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModDataBase, RemoveTable) {
    QString log;
    EXPECT_FALSE(g_removeTable(path, "emptyTable", log, true));
    EXPECT_EQ(log, "Table 'emptyTable' is not needed anymore and could be removed\r\n");
    EXPECT_TRUE(g_fieldExists(path, "emptyTable", "x"));

    log.clear();
    EXPECT_TRUE(g_removeTable(path, "emptyTable", log, false));
    EXPECT_EQ(log, "Table 'emptyTable' removed\r\n");

    // A table that was not there is not logged as removed.
    log.clear();
    EXPECT_FALSE(g_removeTable(path, "emptyTable", log, false));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModDataBase, DatabaseVersionIsTheNewestRowComparedWithTheProgram) {
    ASSERT_EQ(programInfo::versionText(), "5.0.0");
    // The newest row decides, not the highest number; parts compare as numbers.
    const std::pair<const char*, bool> cases[] = {{"5.0.0", true},  {"5.0.1", true},  {"5.1.0", true},
                                                  {"6.0.0", true},  {"4.9.9", false}, {"4.10.0", false},
                                                  {"4.4.4", false}};
    for (const auto& [newest, upToDate] : cases) {
        const QString db = dir.filePath(QString("dc-%1.mdb").arg(newest));
        makeDb(db, {"CREATE TABLE version (date TEXT, applVersion TEXT COLLATE NOCASE, comment TEXT COLLATE NOCASE)",
                    "INSERT INTO version VALUES ('2019-05-01T10:00:00', '9.9.9', 'old row with a higher number')",
                    "INSERT INTO version VALUES ('2020-01-01T00:00:00', '0.0.0', 'Version table created')"});
        exec(db, "INSERT INTO version VALUES ('2021-03-04T08:00:00', ?, 'Database Update:')", {newest});
        for (bool start : {true, false}) {
            bool flag = start;
            EXPECT_EQ(g_getDatabaseVersion(db, flag), newest);
            EXPECT_EQ(flag, upToDate) << newest;
        }
    }
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModDataBase, DatabaseVersionWithoutRowsIsZeroAndLeavesTheFlag) {
    makeDb(dir.filePath("empty.mdb"), {"CREATE TABLE version (date TEXT, applVersion TEXT, comment TEXT)"});
    for (const QString& db : {path, dir.filePath("empty.mdb")}) {
        for (bool start : {true, false}) {
            bool upToDate = start;
            EXPECT_EQ(g_getDatabaseVersion(db, upToDate), "0.0.0");
            EXPECT_EQ(upToDate, start);
        }
    }
    EXPECT_TRUE(answers.shown().empty());
}

}  // namespace

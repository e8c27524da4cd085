#include "services/dbupgrade.h"

#include "cfgtestdb.h"
#include "crashkill.h"
#include "dao/dbfiles.h"
#include "dao/dao.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "services/moddatabase.h"
#include "services/modglobal.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kQuestion = QStringLiteral(
    "The DC-database-version does not fit to the program-version and has to be updated.\r\n"
    "After update it is not possible to use the former program-version again.\r\n\r\n"
    "Do you want to create a new DC-database-version?");

const QString kReports000 = QStringLiteral(
    "Field 'deadBand' in table 'dcEnums' is not needed anymore and could be removed\r\n"
    "Field 'module' in table 'dcEnums' is not needed anymore and could be removed\r\n"
    "Field 'index' in table 'dcEnums' is not needed anymore and could be removed\r\n"
    "Field 'module' in table 'alarmEnums' is not needed anymore and could be removed\r\n"
    "Field 'index' in table 'alarmEnums' is not needed anymore and could be removed\r\n"
    "Field 'module' in table 'sourceScan' is not needed anymore and could be removed\r\n"
    "Field 'index' in table 'sourceScan' is not needed anymore and could be removed\r\n"
    "Table 'dcBinFile' updated\r\n");

const QString kLog444 = QStringLiteral(
    "Database Update:\r\n"
    "Field 'introduced' added to table 'dcEnums'\r\n"
    "Field 'condition' added to table 'dcEnums'\r\n"
    "Field 'introduced' added to table 'alarmEnums'\r\n"
    "Field 'condition' added to table 'alarmEnums'\r\n"
    "Field 'oldId' in table 'sourceScan' is not needed anymore and could be removed\r\n"
    "Field 'oldId' in table 'dcEnums' is not needed anymore and could be removed\r\n"
    "Field 'oldId' in table 'alarmEnums' is not needed anymore and could be removed\r\n");

const QDateTime kNow(QDate(2024, 3, 1), QTime(10, 0, 0));

struct VersionRow {
    QDateTime date;
    QString version;
    QString comment;
};

class DbUpgrade : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        dcPath = dir.filePath(QStringLiteral("Plant-PXM-DC-001.mdb"));
        cfgPath = dir.filePath(QStringLiteral("Config.mdb"));
        clock.setNow(kNow);
        plantInfoCopierLink::install(nullptr);
        makeDc();
        // The aliases land in the configuration database, through its record set.
        cfgtest::makeDb(cfgPath, {QStringLiteral("CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, "
                                                 "symbolName TEXT COLLATE NOCASE)")});
        cfgtest::exec(cfgPath, QStringLiteral("INSERT INTO aliasSymbolName VALUES ('DC_CRC_FIRST_APPLICATION', 'KEPT')"));
        cfgDb = dao::OpenDatabase(cfgPath, true, false);
        modGlobal::g_rsAliasSymbolName =
            cfgDb->OpenRecordset(QStringLiteral("SELECT * FROM aliasSymbolName ORDER BY aliasName"));
    }
    void TearDown() override {
        modGlobal::g_rsAliasSymbolName.reset();
        cfgDb->Close();
        plantInfoCopierLink::install(nullptr);
    }

    // A data-container database with the tables and columns the steps touch. The step
    // table's rows are stored out of order; the dead band is its ninth step by default.
    void makeDc(int binRows = 9, int deadBandStep = 9) {
        QStringList sql = {
            QStringLiteral("CREATE TABLE dcEnums (name TEXT, deadBand INTEGER, module INTEGER, \"index\" INTEGER, oldId INTEGER)"),
            QStringLiteral("INSERT INTO dcEnums (name) VALUES ('a'), ('b')"),
            QStringLiteral("CREATE TABLE alarmEnums (name TEXT, module INTEGER, \"index\" INTEGER, oldId INTEGER)"),
            QStringLiteral("INSERT INTO alarmEnums (name) VALUES ('x')"),
            QStringLiteral("CREATE TABLE sourceScan (name TEXT, module INTEGER, \"index\" INTEGER, oldId INTEGER)"),
            QStringLiteral("CREATE TABLE dcBinFile (step INTEGER, content TEXT, value TEXT)"),
            QStringLiteral("CREATE TABLE plantInfo (EngineType TEXT)"),
        };
        for (int step : {5, 2, 9, 1, 7, 3, 8, 6, 4}) {
            if (step > binRows) continue;
            const QString content = step == deadBandStep ? QStringLiteral("deadBand") : QStringLiteral("c%1").arg(step);
            sql << QStringLiteral("INSERT INTO dcBinFile VALUES (%1, '%2', 'old%1')").arg(step).arg(content);
        }
        QFile::remove(dcPath);
        cfgtest::makeDb(dcPath, sql);
    }

    void addVersionTable(const std::vector<VersionRow>& rows) {
        auto db = dao::OpenDatabase(dcPath, false, false);
        db->CreateTable(QStringLiteral("version"), {{QStringLiteral("date"), dao::dbDate, 0},
                                                    {QStringLiteral("applVersion"), dao::dbText, 16},
                                                    {QStringLiteral("comment"), dao::dbMemo, 0}});
        for (const auto& r : rows)
            db->Execute(QStringLiteral("INSERT INTO version (date, applVersion, comment) VALUES (?, ?, ?)"),
                        {r.date, r.version, r.comment});
        db->Close();
    }

    std::vector<VersionRow> versionRows() const {
        std::vector<VersionRow> rows;
        auto db = dao::OpenDatabase(dcPath, false, true);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM version ORDER BY date"));
        for (; !rs->eof(); rs->MoveNext())
            rows.push_back({rs->Value(QStringLiteral("date")).toDateTime(), rs->Value(QStringLiteral("applVersion")).toString(),
                            rs->Value(QStringLiteral("comment")).toString()});
        return rows;
    }

    QStringList column(const QString& sql) const {
        QStringList values;
        auto db = dao::OpenDatabase(dcPath, false, true);
        auto rs = db->OpenRecordset(sql);
        for (; !rs->eof(); rs->MoveNext()) values << rs->Value(0).toString();
        return values;
    }
    QStringList binValues() const { return column(QStringLiteral("SELECT value FROM dcBinFile ORDER BY step")); }
    QStringList aliases() const {
        QStringList l;
        auto db = dao::OpenDatabase(cfgPath, false, true);
        auto rs = db->OpenRecordset(
            QStringLiteral("SELECT aliasName || '>' || symbolName FROM aliasSymbolName ORDER BY aliasName"));
        for (; !rs->eof(); rs->MoveNext()) l << rs->Value(0).toString();
        return l;
    }

    testsupport::VirtualClockScope clock;
    QTemporaryDir dir;
    QString dcPath, cfgPath;
    std::shared_ptr<dao::Database> cfgDb;
    cfgtest::ErrorRecorder errors;
    testsupport::ScriptedAnswerer answers;
};

const QStringList kOldBinValues = {"old1", "old2", "old3", "old4", "old5", "old6", "old7", "old8", "old9"};

TEST_F(DbUpgrade, MissingVersionTableIsCreatedAndTheDatabaseTakenThroughBothSteps) {
    struct : PlantInfoCopier {
        bool g_copyPlantInfosToDcEnums() override { return true; }
    } copier;
    plantInfoCopierLink::install(&copier);
    answers.push(Dialogs::vbYes);
    bool changed = false;
    EXPECT_TRUE(modDataBase::g_updateDatabase(dcPath, changed));
    EXPECT_TRUE(changed);

    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, kQuestion);
    EXPECT_EQ(answers.shown()[0].title, "Update Datacontainer");

    const auto rows = versionRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].version, "0.0.0");
    EXPECT_EQ(rows[0].comment, "Version table created");
    EXPECT_EQ(rows[1].version, "4.4.4");
    EXPECT_EQ(rows[1].comment, "Database Update:\r\n" + kReports000 +
                                   "Plant-Infos copied form table 'plantInfo' to 'dcEnums'\r\n"
                                   "Table 'plantInfo' is not needed anymore and could be removed\r\n");
    EXPECT_EQ(rows[2].version, "5.0.0");
    EXPECT_EQ(rows[2].comment, kLog444);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(rows[i].date, kNow.addSecs(i)) << i;

    EXPECT_EQ(binValues(), (QStringList{"DC_SWINFO_ENGINE_TYPE_", "DC_SWINFO_HULL_NO_", "DC_SWINFO_MANUFAC_NO_",
                                        "DC_SWINFO_IMO_SW_NO_", "DC_SWINFO_SW_VERSION", "DC_SWINFO_BUILD",
                                        "DC_SWINFO_BOOTLOADER_VERSION", "old8", "1"}));
    EXPECT_EQ(column("SELECT introduced || '/' || condition FROM dcEnums"), (QStringList{"1/", "1/"}));
    EXPECT_EQ(column("SELECT introduced || '/' || condition FROM alarmEnums"), (QStringList{"1/"}));
    // Reports change nothing: the columns and the plant table stay.
    EXPECT_TRUE(modDataBase::g_fieldExists(dcPath, "dcEnums", "deadBand"));
    EXPECT_EQ(cfgtest::count(dcPath, "SELECT * FROM plantInfo"), 0);
    // An existing alias keeps its symbol.
    EXPECT_EQ(aliases(), (QStringList{"DC_CRC_FIRST_APPLICATION>KEPT", "DC_SWINFO_EPI_DB_NO_>PAR_SWINFO_EPI_DB_NO_"}));
    EXPECT_TRUE(errors.errors.empty());

    bool upToDate = false;
    EXPECT_EQ(modDataBase::g_getDatabaseVersion(dcPath, upToDate), "5.0.0");
}

TEST_F(DbUpgrade, WithoutARegisteredBuilderNoPlantInfosAreCopied) {
    addVersionTable({{kNow.addDays(-10), "0.0.0", "Version table created"}});
    answers.push(Dialogs::vbYes);
    bool changed = false;
    EXPECT_TRUE(modDataBase::g_updateDatabase(dcPath, changed));
    const auto rows = versionRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].comment, "Database Update:\r\n" + kReports000);
    EXPECT_EQ(rows[1].date, kNow);
    EXPECT_EQ(rows[2].date, kNow.addSecs(1));
}

TEST_F(DbUpgrade, DeclinedQuestionKeepsOnlyTheNewVersionTable) {
    answers.push(Dialogs::vbNo);
    bool changed = false;
    EXPECT_FALSE(modDataBase::g_updateDatabase(dcPath, changed));
    EXPECT_FALSE(changed);
    ASSERT_EQ(versionRows().size(), 1u);
    EXPECT_EQ(versionRows()[0].comment, "Version table created");
    EXPECT_EQ(binValues(), kOldBinValues);
    EXPECT_EQ(aliases(), QStringList{"DC_CRC_FIRST_APPLICATION>KEPT"});
}

TEST_F(DbUpgrade, OlderVersionWithoutLayoutStepGetsOneRowWithNoChanges) {
    addVersionTable({{kNow.addDays(-2), "4.4.4", "x"}, {kNow.addDays(-1), "4.5.0", "no changes"}});
    answers.push(Dialogs::vbYes);
    bool changed = false;
    EXPECT_TRUE(modDataBase::g_updateDatabase(dcPath, changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(answers.shown().size(), 1u);
    const auto rows = versionRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].version, "5.0.0");
    EXPECT_EQ(rows[2].comment, "no changes");
    EXPECT_EQ(rows[2].date, kNow);
}

TEST_F(DbUpgrade, CurrentVersionAsksNothingAndWritesNothing) {
    addVersionTable({{kNow.addDays(-1), "5.0.0", "no changes"}});
    bool changed = false;
    EXPECT_TRUE(modDataBase::g_updateDatabase(dcPath, changed));
    EXPECT_FALSE(changed);
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_EQ(versionRows().size(), 1u);
}

struct NewerCase {
    const char* name;
    std::vector<VersionRow> rows;  // oldest first
    bool accepted;
    const char* namedVersion;      // in the refusal box
};

class DbUpgradeNewer : public DbUpgrade, public ::testing::WithParamInterface<NewerCase> {};

TEST_P(DbUpgradeNewer, NewerRowsAreAcceptedOnlyWithoutALayoutChange) {
    const NewerCase& c = GetParam();
    addVersionTable(c.rows);
    bool changed = false;
    EXPECT_EQ(modDataBase::g_updateDatabase(dcPath, changed), c.accepted);
    EXPECT_FALSE(changed);
    EXPECT_EQ(versionRows().size(), c.rows.size());
    if (c.accepted) {
        EXPECT_TRUE(answers.shown().empty());
    } else {
        ASSERT_EQ(answers.shown().size(), 1u);
        EXPECT_EQ(answers.shown()[0].text,
                  QStringLiteral("The polyDesk-configuration-database was updated to a newer program-version!\r\n"
                                 "Please use at least loader-tool version ") + c.namedVersion);
        EXPECT_TRUE(answers.shown()[0].style & Dialogs::vbCritical);
    }
    EXPECT_EQ(binValues(), kOldBinValues);
    EXPECT_TRUE(errors.errors.empty());
}

const QDateTime kD1(QDate(2023, 1, 1), QTime(8, 0, 0));
INSTANTIATE_TEST_SUITE_P(
    Cases, DbUpgradeNewer,
    ::testing::Values(
        NewerCase{"NoChangesOverCurrent", {{kD1, "5.0.0", "no changes"}, {kD1.addSecs(9), "6.0.0", "no changes"}}, true, ""},
        NewerCase{"LayoutChange", {{kD1, "5.0.0", "no changes"}, {kD1.addSecs(9), "6.0.0", "Database Update:\r\nx"}}, false, "6.0.0"},
        NewerCase{"NoOlderRow", {{kD1, "6.0.0", "no changes"}}, false, "6.0.0"},
        NewerCase{"LayoutChangeBelowANewerRow",
                  {{kD1, "4.4.4", "x"}, {kD1.addSecs(1), "6.0.0", "Database Update:\r\nx"}, {kD1.addSecs(2), "6.1.0", "no changes"}},
                  false, "6.0.0"},
        NewerCase{"UpdateMarkIsCaseSensitive", {{kD1, "5.0.0", "x"}, {kD1.addSecs(1), "5.0.1", "database update: x"}}, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct BinCase {
    const char* name;
    int rows;
    int deadBandStep;  // 0: none
};

class DbUpgradeBinFile : public DbUpgrade, public ::testing::WithParamInterface<BinCase> {};

TEST_P(DbUpgradeBinFile, AStepTableWithoutTheRowsToRewriteIsRefusedUntouched) {
    makeDc(GetParam().rows, GetParam().deadBandStep);
    const QStringList before = binValues();
    answers.push(Dialogs::vbYes);
    bool changed = false;
    EXPECT_FALSE(modDataBase::g_updateDatabase(dcPath, changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ(binValues(), before);
    ASSERT_EQ(answers.shown().size(), 2u);
    EXPECT_TRUE(answers.shown()[1].text.startsWith("Table 'dcBinFile' in database " + dcPath + " does not hold the rows"));
    EXPECT_TRUE(answers.shown()[1].style & Dialogs::vbCritical);
    // Nothing of the step is recorded or carried on with.
    ASSERT_EQ(versionRows().size(), 1u);
    EXPECT_EQ(aliases(), QStringList{"DC_CRC_FIRST_APPLICATION>KEPT"});
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DbUpgradeBinFile,
                         ::testing::Values(BinCase{"SixRowsOneTheDeadBand", 6, 3}, BinCase{"NoDeadBandRow", 9, 0},
                                           BinCase{"Empty", 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DbUpgrade, RowsFollowTheNewestRowWhenThePcClockIsBehind) {
    const QDateTime newest(QDate(2031, 6, 1), QTime(12, 0, 0));
    addVersionTable({{newest.addDays(-1), "4.6.2", "x"}, {newest, "0.0.0", "Version table created"}});
    answers.push(Dialogs::vbYes);
    bool changed = false;
    EXPECT_TRUE(modDataBase::g_updateDatabase(dcPath, changed));
    const auto rows = versionRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].version, "4.4.4");
    EXPECT_EQ(rows[2].date, newest.addSecs(1));
    EXPECT_EQ(rows[3].version, "5.0.0");
    EXPECT_EQ(rows[3].date, newest.addSecs(2));
    bool upToDate = false;
    EXPECT_EQ(modDataBase::g_getDatabaseVersion(dcPath, upToDate), "5.0.0");
}

TEST_F(DbUpgrade, ADamagedVersionTableFailsIntoTheErrorTrap) {
    for (const std::vector<VersionRow>& rows : {std::vector<VersionRow>{}, std::vector<VersionRow>{{kNow, "5.0", "x"}}}) {
        makeDc();
        addVersionTable(rows);
        errors.errors.clear();
        bool changed = false;
        EXPECT_FALSE(modDataBase::g_updateDatabase(dcPath, changed));
        EXPECT_FALSE(changed);
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_EQ(errors.errors[0].object, "modDataBase");
        EXPECT_EQ(errors.errors[0].procedure, "g_updateDatabase");
        EXPECT_EQ(versionRows().size(), rows.size());
    }
}

}  // namespace

// A step and its history row are one write: killed at any moment, the upgrade leaves the
// database at the old version without the step's columns, or at the new one with them.
TEST_F(DbUpgrade, CrashKilledAtAnyMomentAStepIsDoneWithItsRowOrNotAtAll) {
    addVersionTable({{kNow.addDays(-10), "4.4.4", "no changes"}});
    {
        auto db = dao::OpenDatabase(dcPath, true, false);
        db->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 20000; ++i) db->Execute(QStringLiteral("INSERT INTO dcEnums (name) VALUES (?)"), {QString::number(i)});
        db->Execute(QStringLiteral("COMMIT"));
    }
    QFile::copy(dcPath, dir.filePath(QStringLiteral("old.mdb")));
    auto state = [&] {
        const QString version = versionRows().back().version;
        const bool introduced = modDataBase::g_fieldExists(dcPath, "alarmEnums", "condition");
        const int set = introduced ? cfgtest::count(dcPath, "SELECT * FROM dcEnums WHERE introduced=1") : 0;
        return QStringLiteral("%1 %2 %3").arg(version).arg(introduced).arg(set);
    };
    const QString oldState = state();
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        dao::RemoveDatabaseFile(dcPath);
        QFile::copy(dir.filePath(QStringLiteral("old.mdb")), dcPath);
        answers.push(Dialogs::vbYes);
    };
    runs.write = [&] {
        bool changed = false;
        modDataBase::g_updateDatabase(dcPath, changed);
    };
    runs.check = [&](int run) {
        EXPECT_EQ(dao::IntegrityProblem(dcPath), QString()) << "run " << run;
        const QString s = state();
        if (run < 0) {
            EXPECT_EQ(s, QStringLiteral("5.0.0 1 20002"));  // the undisturbed run
        }
        EXPECT_TRUE(s == oldState || s == QStringLiteral("5.0.0 1 20002")) << "run " << run << ": " << s.toStdString();
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}

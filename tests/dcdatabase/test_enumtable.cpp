#include "dcdatabase/modscanheaderfiles.h"

#include "scanfixture.h"
#include "dao/dao.h"
#include "services/modglobal.h"

namespace {

using modScanHeaderFiles::g_buildEnumTable;

QVariantMap scanRow(const char* name, qint64 id, const char* cls, int upDate, const char* fupId = "1.1") {
    return {{"name", QString::fromLatin1(name)}, {"id", id},         {"class", QString::fromLatin1(cls)},
            {"upDate", upDate},                  {"fupId", QString::fromLatin1(fupId)}, {"comment", QStringLiteral("c")},
            {"varGroup", QStringLiteral("COM")}};
}

class EnumTable : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        addScan(scanRow("APPL_DEVELOPER_NO", 2042, "CONSTANT", 0));
        // The previous table: what the engineer entered for two symbols.
        dcfixture::insertRow(db, "dcEnums", {{"name", "KEPT"}, {"id", 1025}, {"class", "PARAMETER"}, {"introduced", 7},
                                             {"minValue", 11}, {"maxValue", 22}, {"syncCmd", 3}, {"upDate", 0}});
        dcfixture::insertRow(db, "dcEnums", {{"name", "OLD_NAME"}, {"id", 2001}, {"class", "VARIABLE"}, {"introduced", 8},
                                             {"minValue", 33}, {"readAccessLevel", 1}});
        dcfixture::insertRow(db, "dcEnums", {{"name", "MOVED"}, {"id", 1030}, {"class", "PARAMETER"}, {"minValue", 44}});
    }
    void addScan(const QVariantMap& row) { dcfixture::insertRow(db, "sourceScan", row); }
    QVariantMap dcRow(const char* name) {
        const auto r = rows(QStringLiteral("SELECT * FROM dcEnums WHERE name='%1'").arg(QLatin1String(name)));
        return r.size() == 1 ? r[0] : QVariantMap();
    }
    static QString defaultLine(const char* column, const char* par, const char* glb) {
        return QString(9, QLatin1Char(' ')) + (QString::fromLatin1(column) + QStringLiteral(":") + QString(18, QLatin1Char(' '))).left(18) +
               QString::fromLatin1(par) + QStringLiteral("  /  ") + QString::fromLatin1(glb);
    }
};

TEST_F(EnumTable, KeepsWhatWasEnteredAndGivesNewSymbolsTheDefaults) {
    addScan(scanRow("KEPT", 1025, "PARAMETER", 1, "130.1"));
    addScan(scanRow("NEW_NAME", 2001, "VARIABLE", 3));
    addScan(scanRow("MOVED", 1031, "PARAMETER", 4));
    addScan(scanRow("REUSED_NOT_USED", 1040, "PARAMETER", 5));
    addScan(scanRow("FRESH_VAR", 2005, "VARIABLE", 0));
    addScan(scanRow("AN_ALARM", 3001, "ALARM", 0));
    g_buildEnumTable(log, db, QStringLiteral("dcEnums"), QStringLiteral("sourceScan"));

    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM dcEnums")),
              QStringList({"PAR_DEFAULT=-1", "GLB_DEFAULT=-2", "KEPT=1025", "MOVED=1031", "REUSED_NOT_USED=1040", "NEW_NAME=2001",
                           "FRESH_VAR=2005"}));
    const QVariantMap kept = dcRow("KEPT");
    EXPECT_EQ(kept.value("introduced").toInt(), 7);
    EXPECT_EQ(kept.value("minValue").toInt(), 11);
    EXPECT_EQ(kept.value("syncCmd").toInt(), 3);
    EXPECT_EQ(kept.value("upDate").toInt(), 1);
    EXPECT_EQ(kept.value("fupId").toString(), QStringLiteral("130.1"));  // scanned columns come from the scan
    const QVariantMap renamed = dcRow("NEW_NAME");
    EXPECT_EQ(renamed.value("minValue").toInt(), 33);
    EXPECT_EQ(renamed.value("introduced").toInt(), 8);
    EXPECT_EQ(renamed.value("upDate").toInt(), 0);
    for (const char* name : {"MOVED", "REUSED_NOT_USED"}) {
        const QVariantMap r = dcRow(name);
        EXPECT_EQ(r.value("minValue").toInt(), 0) << name;  // the PAR default row's value
        EXPECT_EQ(r.value("syncCmd").toInt(), 1) << name;
        EXPECT_EQ(r.value("introduced").toInt(), 42) << name;
        EXPECT_EQ(r.value("upDate").toInt(), 0) << name;
    }
    const QVariantMap fresh = dcRow("FRESH_VAR");
    EXPECT_EQ(fresh.value("minValue").toInt(), -10);  // the GLB default row's value
    EXPECT_EQ(fresh.value("writeAccessLevel").toInt(), 6);
    // Default rows are untouched.
    EXPECT_EQ(dcRow("PAR_DEFAULT").value("producerMask").toInt(), 32767);
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM dcEnums WHERE \"upDate\" NOT IN (0, 1)")).size(), 0u);
    EXPECT_EQ(rows(QStringLiteral("SELECT name FROM sqlite_master WHERE name='dcEnumsBackup'")).size(), 0u);

    EXPECT_EQ(log.lines.mid(0, 4),
              QStringList({"   Update attributes of scanned symbols in dcEnums",
                           "      Update attribute 'fupId', 'comment', 'class' and 'varGroup' from datacontainer.h",
                           "      For new scanned symbols default-attributes are available",
                           "      Following default-attributes are used:  for PAR  /  for GLB"}));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("         syncCmd:          1  /  0")));
    EXPECT_EQ(log.lines.mid(4), QStringList({defaultLine("condition", "", ""), defaultLine("producerMask", "32767", "1"),
                                             defaultLine("minValue", "0", "-10"), defaultLine("maxValue", "100", "10"),
                                             defaultLine("modbusAddr", "0", "0"), defaultLine("value", "0", "0"),
                                             defaultLine("crcGroup", "0", "0"), defaultLine("readAccessLevel", "3", "2"),
                                             defaultLine("writeAccessLevel", "5", "6"), defaultLine("modbusScale", "1", "1"),
                                             defaultLine("onlineValue", "0", "0"), defaultLine("syncCmd", "1", "0")}));
    EXPECT_EQ(log.progress, 0.0f);
}

TEST_F(EnumTable, WithoutDefaultRowsNewSymbolsGetTheBuiltInValues) {
    {
        auto d = dao::OpenDatabase(db, false, false);
        d->Execute(QStringLiteral("DELETE FROM dcEnums WHERE id<0"));
        d->Execute(QStringLiteral("UPDATE sourceScan SET \"class\"='X'"));
        d->Close();
    }
    addScan(scanRow("NEW_ONE", 1100, "PARAMETER", 0));
    addScan(scanRow("NEW_TWO", 2100, "VARIABLE", 0));
    g_buildEnumTable(log, db, QStringLiteral("dcEnums"), QStringLiteral("sourceScan"));
    EXPECT_EQ(log.lines.mid(2), QStringList({"      There are no default-attributes available for new scanned symbols!",
                                             "      Please fill in manually!!!"}));
    const QVariantMap r = dcRow("NEW_TWO");
    EXPECT_EQ(r.value("syncCmd").toInt(), -1);
    EXPECT_EQ(r.value("readAccessLevel").toInt(), 7);
    EXPECT_EQ(r.value("producerMask").toInt(), 0);
    EXPECT_EQ(r.value("introduced").toInt(), 1);  // no developer number in the scan
}

TEST_F(EnumTable, OnlyAParDefaultRowServesVariablesToo) {
    {
        auto d = dao::OpenDatabase(db, false, false);
        d->Execute(QStringLiteral("DELETE FROM dcEnums WHERE name='GLB_DEFAULT'"));
        d->Close();
    }
    addScan(scanRow("FRESH_VAR", 2005, "VARIABLE", 0));
    g_buildEnumTable(log, db, QStringLiteral("dcEnums"), QStringLiteral("sourceScan"));
    EXPECT_EQ(dcRow("FRESH_VAR").value("maxValue").toInt(), 100);
}

TEST_F(EnumTable, AlarmTableTakesAlarmsAndItsFirstDefaultRow) {
    addScan(scanRow("AN_ALARM", 3001, "ALARM", 0));
    addScan(scanRow("A_PARAMETER", 1025, "PARAMETER", 0));
    modGlobal::g_debugMode = true;
    g_buildEnumTable(log, db, QStringLiteral("alarmEnums"), QStringLiteral("sourceScan"));
    modGlobal::g_debugMode = false;
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM alarmEnums")), QStringList({"ALARM_DEFAULT=-1", "AN_ALARM=3001"}));
    const auto r = rows(QStringLiteral("SELECT * FROM alarmEnums WHERE id=3001"));
    EXPECT_EQ(r[0].value("criterion").toInt(), 3);
    EXPECT_EQ(r[0].value("producerMask").toInt(), 30);
    EXPECT_EQ(log.lines.at(3), QStringLiteral("      Following default-attributes are used:"));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("         criterion:        3")));
    EXPECT_EQ(rows(QStringLiteral("SELECT name FROM sqlite_master WHERE name='alarmEnumsBackup'")).size(), 1u);
}

TEST_F(EnumTable, NoSymbolsOfTheClassesLeavesOnlyTheDefaultRows) {
    g_buildEnumTable(log, db, QStringLiteral("alarmEnums"), QStringLiteral("sourceScan"));
    g_buildEnumTable(log, db, QStringLiteral("dcEnums"), QStringLiteral("sourceScan"));
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM dcEnums")), QStringList({"PAR_DEFAULT=-1", "GLB_DEFAULT=-2"}));
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM alarmEnums")), QStringList({"ALARM_DEFAULT=-1"}));
}

}  // namespace

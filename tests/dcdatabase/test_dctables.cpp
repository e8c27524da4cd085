#include "dcdatabase/dctables.h"

#include "dao/dao.h"
#include "dcfixture/dcfixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(DcTables, CreatesTheThreeTablesWithDefaultsAndCaseBlindText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x-PXM-DC-001.mdb"));
    dcfixture::makeDatabase(path, {.versionTable = false, .defaultRows = false, .backups = true});
    auto db = dao::OpenDatabase(path, false, false);
    for (const char* t : {"sourceScan", "dcEnums", "alarmEnums", "sourceScanBackup", "dcEnumsBackup", "alarmEnumsBackup"})
        EXPECT_TRUE(db->TableExists(QString::fromLatin1(t))) << t;

    db->Execute(QStringLiteral("INSERT INTO sourceScan (name, id) VALUES ('O''Brien_X', 5)"));
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM sourceScan WHERE name='o''brien_x'"));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->Value(QStringLiteral("class")).toString(), QStringLiteral("?"));
    EXPECT_EQ(rs->Value(QStringLiteral("upDate")).toInt(), 0);

    db->Execute(QStringLiteral("INSERT INTO alarmEnums (name, id) VALUES ('A', 1)"));
    rs = db->OpenRecordset(QStringLiteral("SELECT * FROM alarmEnums"));
    EXPECT_EQ(rs->Value(QStringLiteral("signalIndex")).toInt(), -1);
    EXPECT_EQ(rs->Value(QStringLiteral("onOffDelayId")).toInt(), 255);
    EXPECT_EQ(rs->Value(QStringLiteral("introduced")).toInt(), 1);
    EXPECT_EQ(rs->Value(QStringLiteral("signalIndexName")).toString(), QString());

    db->Execute(QStringLiteral("INSERT INTO dcEnums (name, id) VALUES ('P', 1)"));
    rs = db->OpenRecordset(QStringLiteral("SELECT * FROM dcEnums"));
    EXPECT_EQ(rs->Value(QStringLiteral("syncCmd")).toInt(), -1);
    EXPECT_EQ(rs->Value(QStringLiteral("readAccessLevel")).toInt(), 7);
    EXPECT_EQ(rs->Value(QStringLiteral("minValue")).toLongLong(), -2147483648LL);
    EXPECT_EQ(rs->Value(QStringLiteral("condition")).toString(), QString());
    db->Close();
}

TEST(DcTables, CreatingTwiceKeepsTheRowsAndUnknownTablesAreRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.mdb"));
    dcfixture::makeDatabase(path);
    auto db = dao::OpenDatabase(path, false, false);
    dcTables::g_createTables(*db, true);
    EXPECT_EQ(db->OpenRecordset(QStringLiteral("SELECT * FROM dcEnums WHERE id<0"))->RecordCount(), 2);
    EXPECT_THROW(dcTables::g_createStatement(QStringLiteral("plantInfo")), std::exception);
    db->Close();
}

}  // namespace

// BUILD DC from a fixture database: the image and its S-record file, the group CRCs and
// the software check in the log, and the failures that leave no download file behind.
#include "builderfixture.h"

#include "crclibrary/crclibrary.h"
#include "services/srecord.h"

#include <QTextStream>

class BuildDc : public BuilderTest {
protected:
    QString db, bin, s19;
    void SetUp() override {
        BuilderTest::SetUp();
        db = dcName(1);
        makeDc(db);
        bin = dir.filePath(QStringLiteral("PXM_DATA.bin"));
        s19 = dir.filePath(QStringLiteral("PXM_DATA.S19"));
    }
    void openAndBuild() {
        builder().g_show(dir.path());
        ASSERT_TRUE(builder().isLoaded());
        builder().cmdBuild_Click();
    }
};

TEST_F(BuildDc, WritesTheImageAsS2RecordsAtTheStartAddressAndRefreshesTheLoadFiles) {
    modGlobal::g_debugMode = true;
    openAndBuild();
    ASSERT_TRUE(QFile::exists(s19)) << log().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(testsupport::readFile(bin), expectedImage());

    QByteArray image;
    qint32 start = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(s19, image, start));
    EXPECT_EQ(image, testsupport::readFile(bin));
    EXPECT_EQ(start, 0xC0000);
    const QList<QByteArray> lines = testsupport::readFile(s19).split('\n');
    EXPECT_TRUE(lines.first().startsWith("S2")) << lines.first().toStdString();
    EXPECT_TRUE(lines.at(lines.size() - 2).startsWith("S8"));
    EXPECT_EQ(loadFiles.calls, QStringList{QStringLiteral("PXM quiet")});
    // The debug log of the walk lies beside the image.
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("PXM_DATA.txt"))));
    EXPECT_TRUE(errors.seen.empty());
}

TEST_F(BuildDc, WithoutDebugModeOnlyTheS19FileRemainsAndTheStartAddressIsHex) {
    builder().g_show(dir.path());
    builder().txtStartAdr->setText(QStringLiteral("10"));
    builder().cmdBuild_Click();
    EXPECT_FALSE(QFile::exists(bin));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("PXM_DATA.txt"))));
    QByteArray image;
    qint32 start = 0;
    ASSERT_TRUE(modDownload::g_sRecToBin(s19, image, start));
    EXPECT_EQ(start, 0x10);
    EXPECT_EQ(image, expectedImage());
}

TEST_F(BuildDc, ARoundTripThroughAnImageGivesTheSameImage) {
    modGlobal::g_debugMode = true;
    openAndBuild();
    const QByteArray first = testsupport::readFile(bin);
    ASSERT_EQ(first, expectedImage());

    // A copy whose table values are lost, filled again from the image.
    const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
    ASSERT_TRUE(QFile::copy(db, copy));
    execute(copy, QStringLiteral("UPDATE dcEnums SET value=0 WHERE id<10"));
    execute(copy, QStringLiteral("UPDATE alarmEnums SET criterion=0, signalIndex=-1"));
    dcfixture::RecordingLog walkLog;
    qint64 position = 0;
    ASSERT_TRUE(builder().g_buildBinFile(copy, bin, false, QStringLiteral("dc"), position, walkLog, false));
    ASSERT_TRUE(builder().g_buildBinFile(copy, bin, false, QStringLiteral("alarm"), position, walkLog, true));
    EXPECT_EQ(position, first.size());
    EXPECT_EQ(value(copy, QStringLiteral("SELECT value FROM dcEnums WHERE name='GLB_Y'")).toInt(), 300);
    EXPECT_EQ(value(copy, QStringLiteral("SELECT signalIndex FROM alarmEnums WHERE name='ALM_B'")).toInt(), 3);

    const QString again = dir.filePath(QStringLiteral("again.bin"));
    position = 0;
    ASSERT_TRUE(builder().g_buildBinFile(copy, again, true, QStringLiteral("dc"), position, walkLog, false));
    ASSERT_TRUE(builder().g_buildBinFile(copy, again, true, QStringLiteral("alarm"), position, walkLog, true));
    EXPECT_EQ(testsupport::readFile(again), first);
}

TEST_F(BuildDc, LogsTheGroupCrcsInTheirOrderAndStoresThemInTheSelectedVersion) {
    openAndBuild();
    const QStringList l = log();
    const QByteArray basic = QByteArray::fromHex("00000005fffffffd");
    const quint16 crc = CrcCalculation(basic.constData(), basic.size(), 0);
    const int head = l.indexOf(QStringLiteral("   PARA-CRC values        CRC      LEN"));
    ASSERT_GE(head, 0);
    const QString hex = QStringLiteral("%1").arg(crc, 4, 16, QLatin1Char('0')).toUpper();
    EXPECT_EQ(l.mid(head + 1, 7),
              QStringList({QStringLiteral("      BASIC Paras CRC   = 0x") + hex + QStringLiteral("     8"),
                           QStringLiteral("      USER Paras CRC    = no parameters in this group!"),
                           l.at(head + 3),
                           QStringLiteral("      GLOBAL Paras CRC  = no parameters in this group!"),
                           QStringLiteral("      COMMIS Paras CRC  = no parameters in this group!"),
                           QStringLiteral("      LUB Paras CRC     = no parameters in this group!"),
                           QStringLiteral("      ADJUST Paras CRC  = no parameters in this group!")}));
    EXPECT_TRUE(l.at(head + 3).startsWith(QStringLiteral("      IMO Paras CRC     = 0x")));
    EXPECT_EQ(value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt(), crc);
    // The software check shows the IMO group and dashes for the missing module files.
    EXPECT_TRUE(l.contains(QStringLiteral("      Data Length =    ---       4     ---")));
    // The alarm links were resolved in the selected version before the image was written.
    EXPECT_EQ(value(db, QStringLiteral("SELECT signalIndex FROM alarmEnums WHERE name='ALM_A'")).toInt(), 1);
}

TEST_F(BuildDc, ADatabaseNotUpToDateIsRefusedAndNothingIsWritten) {
    builder().g_show(dir.path());
    // A database of an older program sorts last and is the one selected.
    const QString old = dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb"));
    dcfixture::Options o;
    o.versionTable = false;
    makeDc(old, o);
    builder().tabAction_Click();
    ASSERT_EQ(builder().filSourceDC->currentItem()->text(), QStringLiteral("KELB-3817 Update Tool-PXM-DC-Upload.mdb"));
    builder().cmdBuild_Click();
    const QStringList l = log();
    ASSERT_GE(l.size(), 4);
    EXPECT_EQ(l.at(1), QStringLiteral("Database ") + QDir::toNativeSeparators(old) + QStringLiteral(" is not uptodate."));
    EXPECT_EQ(l.at(2), QStringLiteral("DC-S19-File cannot been built!"));
    EXPECT_FALSE(QFile::exists(s19));
    EXPECT_FALSE(QFile::exists(bin));
}

TEST_F(BuildDc, AFailedWalkLeavesNoDownloadFileNotEvenAnOldOne) {
    modDownload::g_binToSRec(QByteArray(4, '\x11'), 0xC0000, QStringLiteral("S28"), s19);
    step(db, "alarmBinFile", 9, "missing", "NO_SUCH_CONSTANT", 2);
    openAndBuild();
    EXPECT_FALSE(QFile::exists(s19));
    EXPECT_FALSE(QFile::exists(bin));
    const QStringList l = log();
    EXPECT_TRUE(l.contains(QStringLiteral("      Step 9 (missing): ID NO_SUCH_CONSTANT not found")));
    EXPECT_TRUE(l.contains(QStringLiteral("DC-S19-File cannot been built!")));
    EXPECT_TRUE(answers.anyTextContains(QStringLiteral("Step 9 (missing): ID NO_SUCH_CONSTANT not found")));
    EXPECT_EQ(loadFiles.calls.size(), 1);
}

TEST_F(BuildDc, ABadValueInACrcGroupFailsTheBuildAndStoresNoCrc) {
    execute(db, QStringLiteral("UPDATE dcEnums SET value='x' WHERE name='PAR_IMO'"));
    openAndBuild();
    EXPECT_TRUE(log().contains(QStringLiteral("      IMO Paras CRC     = value 'x' of PAR_IMO is no 32-bit number: no CRC stored!")));
    EXPECT_EQ(value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt(), 0);
    EXPECT_FALSE(QFile::exists(s19));
}

TEST_F(BuildDc, AnEmptyAlarmTableFailsTheBuild) {
    execute(db, QStringLiteral("DELETE FROM alarmEnums WHERE id>=0"));
    openAndBuild();
    EXPECT_TRUE(log().contains(QStringLiteral("      Table alarmEnums holds no entries: the ALARM-part cannot be built!")));
    EXPECT_FALSE(QFile::exists(s19));
}

TEST_F(BuildDc, CrcsAndAlarmLinksOfTheNextVersionAreKeptInTheWorkingCopy) {
    builder().g_show(dir.path());
    builder().markModified();
    builder().tabAction_Click();  // places the next version's copy
    const QString next = dcName(2);
    ASSERT_TRUE(QFile::exists(next));
    ASSERT_EQ(builder().filSourceDC->currentItem()->text(), QFileInfo(next).fileName());
    builder().cmdBuild_Click();
    const int crc = value(next, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt();
    ASSERT_NE(crc, 0);
    // Closing replaces the next version by the working copy, which must hold the same.
    builder().unload();
    EXPECT_EQ(value(next, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt(), crc);
    EXPECT_EQ(value(next, QStringLiteral("SELECT signalIndex FROM alarmEnums WHERE name='ALM_A'")).toInt(), 1);
}

TEST_F(BuildDc, SpecialEntriesComeFromTheVersionBeingBuilt) {
    modGlobal::g_debugMode = true;
    builder().g_show(dir.path());
    // The working copy holds another engine type than the selected version.
    execute(builder().workingCopy(), QStringLiteral("UPDATE dcEnums SET value=22616 WHERE name='PAR_SWINFO_ENGINE_TYPE_1'"));  // "XX"
    builder().cmdBuild_Click();
    EXPECT_EQ(testsupport::readFile(bin).left(8), QByteArray("RT-flex "));
}

TEST_F(BuildDc, LargeGroupsNeedNoSixteenBitCountsAndTheirLengthIsNotCut) {
    execute(db, QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM c WHERE i < 9099) "
                              "INSERT INTO dcEnums (id, name, \"class\", value, crcGroup) "
                              "SELECT i, 'PAR_MANY' || i, 'PARAMETER', i, 6 FROM c"));
    openAndBuild();
    const QStringList l = log();
    const auto line = std::find_if(l.begin(), l.end(), [](const QString& s) { return s.startsWith(QStringLiteral("      COMMIS")); });
    ASSERT_NE(line, l.end());
    EXPECT_TRUE(line->endsWith(QStringLiteral("  36000"))) << line->toStdString();
    EXPECT_TRUE(errors.seen.empty());
    EXPECT_TRUE(QFile::exists(s19));
}

TEST_F(BuildDc, ADatabaseWithoutNamedConstantsBuilds) {
    // No CONSTANT row in sourceScan: the alarm count is a plain number in the step table.
    execute(db, QStringLiteral("DELETE FROM sourceScan"));
    execute(db, QStringLiteral("UPDATE alarmBinFile SET value='2' WHERE step=1"));
    execute(db, QStringLiteral("UPDATE alarmBinFile SET loops='2' WHERE step=3"));
    modGlobal::g_debugMode = true;
    openAndBuild();
    EXPECT_TRUE(errors.seen.empty());
    ASSERT_TRUE(QFile::exists(s19)) << log().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(testsupport::readFile(bin), expectedImage());
}

TEST_F(BuildDc, AnEmptyStepTableFailsTheBuildWithALineNamingTheTable) {
    execute(db, QStringLiteral("DELETE FROM alarmBinFile"));
    openAndBuild();
    EXPECT_TRUE(errors.seen.empty());
    EXPECT_TRUE(log().contains(QStringLiteral("      Table alarmBinFile holds no steps: the ALARM-part cannot be built!")))
        << log().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(QFile::exists(s19));
    EXPECT_FALSE(QFile::exists(bin));
}

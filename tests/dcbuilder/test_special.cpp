// The special entries of dcEnums and the CRC of one parameter group.
#include "builderfixture.h"

#include "crclibrary/crclibrary.h"
#include "dcbuilder/groupcrc.h"

class SpecialEntries : public BuilderTest {
protected:
    QString db;
    void SetUp() override {
        BuilderTest::SetUp();
        makeDc(dcName(1));
        builder().g_show(dir.path());
        ASSERT_TRUE(builder().isLoaded());
        db = builder().workingCopy();
        builder().lstMessage->clear();
    }
    std::vector<int> textRows() const {
        std::vector<int> v;
        for (const auto& r : dcfixture::rows(db, QStringLiteral("SELECT value FROM dcEnums WHERE name LIKE 'PAR_SWINFO_ENGINE_TYPE_%' ORDER BY id")))
            v.push_back(r.first().toInt());
        return v;
    }
};

TEST_F(SpecialEntries, ATextIsPackedFourCharactersARowAndReadBack) {
    QString label;
    builder().setSpecialDcStringValue(QStringLiteral("ABCDE"), QStringLiteral("DC_SWINFO_ENGINE_TYPE_"), label);
    EXPECT_EQ(textRows(), (std::vector<int>{0x44434241, 0x45, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(builder().getSpecialDcStringValue(QStringLiteral("DC_SWINFO_ENGINE_TYPE_")), QStringLiteral("ABCDE"));
    EXPECT_EQ(log(), QStringList{QStringLiteral("      PAR_SWINFO_ENGINE_TYPE_ = ABCDE")});
    EXPECT_TRUE(builder().workingCopyModified());

    const QString forty = QStringLiteral("0123456789").repeated(4);
    builder().setSpecialDcStringValue(forty, QStringLiteral("DC_SWINFO_ENGINE_TYPE_"), label);
    EXPECT_EQ(builder().getSpecialDcStringValue(QStringLiteral("DC_SWINFO_ENGINE_TYPE_")), forty.left(32));
    EXPECT_EQ(log().last(), QStringLiteral("      PAR_SWINFO_ENGINE_TYPE_ = ") + forty);
}

TEST_F(SpecialEntries, WritingTheStoredValueChangesNothing) {
    QString label;
    builder().setSpecialDcStringValue(QStringLiteral("RT-flex"), QStringLiteral("DC_SWINFO_ENGINE_TYPE_"), label);
    builder().setSpecialDcLongValue(QStringLiteral("123"), QStringLiteral("DC_SWINFO_BUILD"), label, QString(), false);
    EXPECT_FALSE(builder().workingCopyModified());
    builder().setSpecialDcLongValue(QStringLiteral("124"), QStringLiteral("DC_SWINFO_BUILD"), label, QString(), false);
    EXPECT_TRUE(builder().workingCopyModified());
}

TEST_F(SpecialEntries, NonAsciiTextIsRefusedWithAMessageAndNothingIsStored) {
    QString label;
    builder().setSpecialDcStringValue(QStringLiteral("Motor\u00e9"), QStringLiteral("DC_SWINFO_ENGINE_TYPE_"), label);
    EXPECT_EQ(builder().getSpecialDcStringValue(QStringLiteral("DC_SWINFO_ENGINE_TYPE_")), QStringLiteral("RT-flex"));
    EXPECT_FALSE(builder().workingCopyModified());
    EXPECT_TRUE(answers.anyTextContains(QStringLiteral("Only ASCII characters can be stored")));
    EXPECT_TRUE(errors.seen.empty());
}

TEST_F(SpecialEntries, NumbersAreFormattedAndTheBootloaderShownAsAVersion) {
    QString label;
    builder().setSpecialDcLongValue(QStringLiteral("310"), QStringLiteral("DC_SWINFO_BOOTLOADER_VERSION"), label, QString(), false);
    QString buildLabel = QStringLiteral("Build: ");
    builder().setSpecialDcLongValue(QStringLiteral("7"), QStringLiteral("DC_SWINFO_BUILD"), buildLabel, QStringLiteral("000"), true);
    EXPECT_EQ(log(), QStringList({QStringLiteral("      PAR_SWINFO_BOOTLOADER_VERSION = 3.1"),
                                  QStringLiteral("      Build: 007  /  0x0007")}));
    EXPECT_EQ(builder().getSpecialDcLongValue(QStringLiteral("DC_SWINFO_BUILD"), QStringLiteral("0000")), QStringLiteral("0007"));
    EXPECT_EQ(builder().getSpecialDcLongValue(QStringLiteral("DC_SWINFO_BUILD"), QString()), QStringLiteral("7"));
}

TEST_F(SpecialEntries, MissingRowsAreLoggedAndNothingIsStored) {
    QString label;
    builder().setSpecialDcStringValue(QStringLiteral("H123"), QStringLiteral("DC_SWINFO_HULL_NO_"), label);
    EXPECT_EQ(log(), QStringList({QStringLiteral("      PAR_SWINFO_HULL_NO_ = Parameter PAR_SWINFO_HULL_NO_ not found in DC!"),
                                  QStringLiteral("      PAR_SWINFO_HULL_NO_ = H123")}));
    EXPECT_EQ(builder().getSpecialDcStringValue(QStringLiteral("DC_SWINFO_HULL_NO_")), QString());
    EXPECT_FALSE(builder().workingCopyModified());
}

TEST(GroupCrc, TheBufferOfTheExampleGroupAndItsCrc) {
    const QByteArray buf = groupCrc::buffer({1, -2});
    EXPECT_EQ(buf.toHex(), QByteArray("00000001fffffffe"));
    EXPECT_EQ(CrcCalculation(buf.constData(), buf.size(), 0), 0x23BF);
}

TEST_F(SpecialEntries, BuildCrcStoresTheGroupsCrcAndLeavesAnEmptyGroupAlone) {
    execute(db, QStringLiteral("UPDATE dcEnums SET value=1 WHERE name='PAR_A'"));
    execute(db, QStringLiteral("UPDATE dcEnums SET value=-2 WHERE name='PAR_B'"));
    QString label;
    qint32 crc = -5, len = -5;
    EXPECT_TRUE(builder().buildCrc(db, 1, label, crc, len));
    EXPECT_EQ(crc, 0x23BF);
    EXPECT_EQ(len, 8);
    EXPECT_EQ(label, QStringLiteral("PAR_CRC_GROUP1 = "));
    EXPECT_EQ(value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt(), 0x23BF);
    EXPECT_EQ(log().last(), QStringLiteral("      PAR_CRC_GROUP1 = 0x23BF     8"));

    QString empty = QStringLiteral("USER: ");
    EXPECT_TRUE(builder().buildCrc(db, 2, empty, crc, len));
    EXPECT_EQ(crc, 0x23BF);
    EXPECT_EQ(log().last(), QStringLiteral("      USER: no parameters in this group!"));
    // The CRC entry is not marked as a change of the working copy.
    EXPECT_FALSE(builder().workingCopyModified());
}

TEST_F(SpecialEntries, ABadValueInTheGroupStoresNoCrc) {
    execute(db, QStringLiteral("UPDATE dcEnums SET value=NULL WHERE name='PAR_B'"));
    QString label;
    qint32 crc = 0, len = 0;
    EXPECT_FALSE(builder().buildCrc(db, 1, label, crc, len));
    EXPECT_EQ(value(db, QStringLiteral("SELECT value FROM dcEnums WHERE name='PAR_CRC_GROUP1'")).toInt(), 0);
    EXPECT_EQ(log().last(), QStringLiteral("      PAR_CRC_GROUP1 = value '' of PAR_B is no 32-bit number: no CRC stored!"));
    EXPECT_EQ(len, 0);
}

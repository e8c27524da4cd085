// The walk of a step table over an image in memory: layout, loops, the one shared record
// cursor, and each failure, in both directions.
#include "dcbuilder/imagewalk.h"

#include "qtprint.h"

#include <gtest/gtest.h>

using namespace dcImage;

namespace {

EnumRecord rec(const QString& name, const QString& cls, const QVariant& value, const QVariant& extra = {},
               const QString& varGroup = QString()) {
    EnumRecord r;
    r.columns = {{QStringLiteral("name"), name},     {QStringLiteral("class"), cls},  {QStringLiteral("value"), value},
                 {QStringLiteral("extra"), extra},   {QStringLiteral("vargroup"), varGroup}};
    return r;
}

StepRow row(qint32 step, const QString& value, qint32 width, const QString& cls = QString(), const QString& loops = QString(),
            qint32 gotoStep = 0, const QString& content = QStringLiteral("value"), const QString& varGroup = QString()) {
    return {step, content, value, width, loops, gotoStep, cls, varGroup};
}

// Special entries: DC_TEXT (text "ABC"), DC_LONGTEXT (ten characters), DC_NUM (1234),
// DC_BUILD (123), DC_HUGE (123456789); anything else is missing.
SpecialEntries specials() {
    return {[](const QString& a) -> std::optional<QString> {
                if (a == QLatin1String("DC_TEXT")) return QStringLiteral("ABC");
                if (a == QLatin1String("DC_LONGTEXT")) return QStringLiteral("0123456789");
                return std::nullopt;
            },
            [](const QString& a) -> std::optional<QString> {
                if (a == QLatin1String("DC_NUM")) return QStringLiteral("1234");
                if (a == QLatin1String("DC_BUILD")) return QStringLiteral("123");
                if (a == QLatin1String("DC_HUGE")) return QStringLiteral("123456789");
                return std::nullopt;
            }};
}

std::vector<EnumRecord> alarms() {
    return {rec("A0", "ALARM", 10, 100), rec("A1", "ALARM", -1, 101), rec("A2", "ALARM", 12, 102),
            rec("A3", "ALARM", 13, 103)};
}

struct Written {
    WalkResult result;
    QByteArray image;
    qint64 position;
};

Written write(const Tables& t, qint64 start = 0) {
    Written w{{}, QByteArray(start, '\0'), start};
    w.result = walk(Direction::Write, t, specials(), w.image, w.position);
    return w;
}

}  // namespace

TEST(ImageWalk, WritesItemsAlignedBigEndianWithBcdTextAndLoops) {
    const std::vector<EnumRecord> mixed = {rec("P1", "PARAMETER", 1, {}, "COM"), rec("V1", "VARIABLE", 2),
                                           rec("P2", "PARAMETER", 3, {}, "COM"), rec("V2", "VARIABLE", 4)};
    struct Case {
        const char* name;
        std::vector<StepRow> steps;
        std::vector<EnumRecord> records;
        qint64 start;
        const char* hex;
    } cases[] = {
        {"one byte, then a 4-byte item aligned after 3 stuffing bytes",
         {row(1, "7", 1), row(2, "&H1020304", 4)}, alarms(), 0, "0700000001020304"},
        {"second part starting at 13 with a 2-byte item",
         {row(1, "-1", 2)}, alarms(), 13, "00000000000000000000000000" "00" "ffff"},
        {"BCD widths 4, 2 and 1", {row(1, "DC_BUILD", 4), row(2, "DC_NUM", 2), row(3, "DC_NUM", 1)}, alarms(), 0,
         "00000123" "1234" "34"},
        {"special texts filled up with blanks or cut", {row(1, "DC_TEXT", 8), row(2, "DC_LONGTEXT", 8)}, alarms(), 0,
         "4142432020202020" "3031323334353637"},
        {"table texts shorter than the width padded with zeros", {row(1, "TABLE", 6, "ALARM", {}, 0, "name")}, alarms(), 0,
         "413000000000"},
        {"-1 in one and two bytes", {row(1, "-1", 1), row(2, "-1", 1), row(3, "2.5", 2)}, alarms(), 0, "ffff0002"},
        {"a TABLE row looping over its own step takes the first three records",
         {row(1, "TABLE", 1, "ALARM", "3", 1)}, alarms(), 0, "0aff0c"},
        {"a block of two columns per record, the count on its last row",
         {row(1, "TABLE", 1, "ALARM"), row(2, "TABLE_", 2, "ALARM", "3", 1, "extra")}, alarms(), 0,
         "0a000064" "ff000065" "0c000066"},
        {"two classes in one loop with their records interleaved",
         {row(1, "TABLE", 1, "PARAMETER", {}, 0, "value", "COM"), row(2, "TABLE", 1, "VARIABLE", "2", 1)}, mixed, 0,
         "01020304"},
        {"a loop count from a named constant", {row(1, "TABLE", 1, "ALARM", "TWO", 1)}, alarms(), 0, "0aff"},
        {"a named constant as the item", {row(1, "TWO", 2)}, alarms(), 0, "0002"},
    };
    for (const Case& c : cases) {
        Tables t{QStringLiteral("alarmEnums"), c.steps, c.records, {{QStringLiteral("TWO"), 2}}};
        const Written w = write(t, c.start);
        ASSERT_TRUE(w.result.ok) << c.name << ": " << w.result.error.toStdString();
        EXPECT_EQ(w.image.toHex(), QByteArray(c.hex)) << c.name;
        EXPECT_EQ(w.position, w.image.size()) << c.name;
    }
}

TEST(ImageWalk, DebugLinesShowStuffingAndEachItem) {
    Tables t{QStringLiteral("alarmEnums"), {row(1, "7", 1, {}, {}, 0, QStringLiteral("first")),
                                            row(2, "TABLE", 4, "ALARM", {}, 0, QStringLiteral("value")),
                                            row(3, "DC_BUILD", 4, {}, {}, 0, QStringLiteral("build"))},
             alarms(), {}};
    const Written w = write(t);
    ASSERT_TRUE(w.result.ok);
    EXPECT_EQ(w.result.debugLines, QStringList({QStringLiteral("1   first: 7    "), QStringLiteral("stuffingbytes 3"),
                                                QStringLiteral("2   value: 10    A0"),
                                                QStringLiteral("3   build: &H123    build")}));
}

TEST(ImageWalk, EachFailureNamesItsStep) {
    const std::vector<EnumRecord> twoAlarms = {rec("A0", "ALARM", 1), rec("A1", "ALARM", 2)};
    struct Case {
        const char* name;
        std::vector<StepRow> steps;
        const char* error;
    } cases[] = {
        {"missing constant", {row(1, "1", 1), row(5, "NOPE", 2)}, "Step 5 (value): ID NOPE not found"},
        {"loop count below 1", {row(3, "TABLE", 1, "ALARM", "0", 3)}, "Step 3 (value): loop count 0 is below 1"},
        {"missing loop constant", {row(3, "TABLE", 1, "ALARM", "NOPE", 3)}, "Step 3 (value): ID NOPE not found"},
        {"goto without a count", {row(4, "1", 1, {}, {}, 4)}, "Step 4 (value): goto 4 without a loop count"},
        {"missing special entry", {row(2, "DC_GONE", 4)}, "Step 2 (value): special entry DC_GONE not found"},
        {"too many digits for BCD", {row(2, "DC_HUGE", 4)}, "Step 2 (value): 123456789 of DC_HUGE does not fit into 4 BCD bytes"},
        {"running out of records", {row(7, "TABLE", 1, "ALARM", "3", 7)},
         "Step 7 (value): no further record of class \"ALARM\" in alarmEnums"},
        {"no record of a parameter group",
         {row(7, "TABLE", 1, "PARAMETER", {}, 0, "value", "LUB")},
         "Step 7 (value): no further record of class \"PARAMETER\" and varGroup \"LUB\" in alarmEnums"},
        {"a parameter row without a group",
         {row(7, "TABLE", 1, "PARAMETER", {}, 0, "value", "")},
         "Step 7 (value): no further record of class \"PARAMETER\" and an empty varGroup in alarmEnums"},
        {"a table row without a class",
         {row(7, "TABLE", 1, "", {}, 0, "value")},
         "Step 7 (value): no further record of an empty class in alarmEnums"},
        {"no item width", {row(1, "1", 0)}, "Step 1 (value): noOfBytes 0 is no item width"},
        {"empty value in a 2-byte item", {row(1, "TABLE", 2, "ALARM", {}, 0, "extra")},
         "Step 1 (extra): empty value in a 2-byte item"},
        {"number outside 32 bits", {row(1, "4294967296", 4)}, "Step 1 (value): 4294967296 does not fit into 4 bytes"},
        {"below -256 in one byte", {row(1, "-257", 1)}, "Step 1 (value): -257 does not fit into 1 bytes"},
        {"a column the table lacks", {row(1, "TABLE", 1, "ALARM", {}, 0, "nothing")},
         "Step 1 (nothing): alarmEnums has no column nothing"},
        {"goto to a step that is not there", {row(1, "TABLE", 1, "ALARM", "2", 9)}, "Step 1 (value): goto 9 names no step"},
    };
    for (const Case& c : cases) {
        Tables t{QStringLiteral("alarmEnums"), c.steps, twoAlarms, {}};
        const Written w = write(t);
        EXPECT_FALSE(w.result.ok) << c.name;
        EXPECT_EQ(w.result.error.toStdString(), c.error) << c.name;
    }
}

TEST(ImageWalk, TwoClassesInOneLoopShareTheRecordCursor) {
    // Each row searches on from the record the other row left: with the variables first in
    // id order, the parameter row takes P1 again on the second pass and the variable row
    // then finds no further record behind it.
    const std::vector<EnumRecord> grouped = {rec("V1", "VARIABLE", 2), rec("V2", "VARIABLE", 4),
                                             rec("P1", "PARAMETER", 1, {}, "COM"), rec("P2", "PARAMETER", 3, {}, "COM")};
    Tables t{QStringLiteral("dcEnums"),
             {row(1, "TABLE", 1, "PARAMETER", {}, 0, "value", "COM"), row(2, "TABLE", 1, "VARIABLE", "2", 1)}, grouped, {}};
    const Written w = write(t);
    EXPECT_FALSE(w.result.ok);
    EXPECT_EQ(w.result.error, QStringLiteral("Step 2 (value): no further record of class \"VARIABLE\" in dcEnums"));
}

TEST(ImageWalk, ReadModeGivesBackWhatWriteModeWrote) {
    Tables t{QStringLiteral("alarmEnums"),
             {row(1, "DC_NUM", 2), row(2, "TABLE", 1, "ALARM"), row(3, "TABLE_", 4, "ALARM", "3", 2, "extra"),
              row(4, "TABLE", 6, "ALARM", {}, 0, "name"), row(5, "TABLE_", 2, "ALARM")},
             alarms(), {}};
    Written w = write(t);
    ASSERT_TRUE(w.result.ok) << w.result.error.toStdString();

    qint64 position = 0;
    const WalkResult r = walk(Direction::Read, t, {}, w.image, position);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(position, w.position);
    std::vector<std::tuple<int, QString, qint64>> got;
    for (const StoredValue& v : r.stored) got.emplace_back(v.record, v.column, v.value);
    // Values come back reduced to their width: -1 in one byte reads as 255. Text items are
    // not read. After the loop the counter is 0 again, so step 4 starts from the first record.
    const std::vector<std::tuple<int, QString, qint64>> expected = {
        {0, "value", 10}, {0, "extra", 100}, {1, "value", 255}, {1, "extra", 101},
        {2, "value", 12}, {2, "extra", 102}, {0, "value", 10}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(r.debugLines.first(), QStringLiteral("1   value: &H1234    "));
    EXPECT_TRUE(r.debugLines.contains(QStringLiteral("3   extra: &H64    A0")));
}

TEST(ImageWalk, ReadModeFailsOnAnImageTooShort) {
    Tables t{QStringLiteral("alarmEnums"), {row(1, "TABLE", 2, "ALARM"), row(2, "TABLE", 4, "ALARM")}, alarms(), {}};
    QByteArray image = QByteArray::fromHex("000a0000ff");
    qint64 position = 0;
    const WalkResult r = walk(Direction::Read, t, {}, image, position);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QStringLiteral("Step 2 (value): the image ends at byte 5, the item needs 4 bytes from byte 4"));
    EXPECT_EQ(r.stored.size(), 1u);
}

TEST(ImageWalk, NegativeNumbersReadBackAsTheirWidthsHexDigits) {
    Tables t{QStringLiteral("alarmEnums"), {row(1, "-2", 2), row(2, "-2", 4), row(3, "-2", 1)}, alarms(), {}};
    Written w = write(t);
    qint64 position = 0;
    const WalkResult r = walk(Direction::Read, t, {}, w.image, position);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.debugLines, QStringList({QStringLiteral("1   value: &HFFFE    "), QStringLiteral("stuffingbytes 2"),
                                         QStringLiteral("2   value: &HFFFFFFFE    "),
                                         QStringLiteral("3   value: &HFE    ")}));
}

TEST(ImageWalk, CountsAboveSixteenBitsLoop) {
    std::vector<EnumRecord> many;
    for (int i = 0; i < 40000; ++i) many.push_back(rec(QStringLiteral("A%1").arg(i), "ALARM", i & 0xFF));
    Tables t{QStringLiteral("alarmEnums"), {row(1, "TABLE", 1, "ALARM", "40000", 1)}, many, {}};
    const Written w = write(t);
    ASSERT_TRUE(w.result.ok) << w.result.error.toStdString();
    EXPECT_EQ(w.image.size(), 40000);
    EXPECT_EQ(quint8(w.image[39999]), 39999 & 0xFF);
}

TEST(ImageWalk, PackedBcdDropsLeadingDigitsThatDoNotFit) {
    EXPECT_EQ(packedBcd("123", 4)->toHex(), QByteArray("00000123"));
    EXPECT_EQ(packedBcd("1234", 1)->toHex(), QByteArray("34"));
    EXPECT_EQ(packedBcd("12345678", 4)->toHex(), QByteArray("12345678"));
    EXPECT_FALSE(packedBcd("123456789", 4));
    EXPECT_FALSE(packedBcd("-1", 2));
    EXPECT_FALSE(packedBcd("", 2));
    EXPECT_FALSE(packedBcd("12", 5));
}

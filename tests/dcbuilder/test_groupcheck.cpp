// The read pass's check of the group CRCs an image carries against the values read from
// it: a changed value or CRC is found, a group the image does not give whole is left alone.
#include "dcbuilder/groupcheck.h"
#include "dcbuilder/groupcrc.h"

#include "crclibrary/crclibrary.h"
#include "qtprint.h"

#include <gtest/gtest.h>

using namespace dcImage;

namespace {

EnumRecord rec(const char* name, const char* cls, qint32 value, int crcGroup) {
    EnumRecord r;
    r.columns = {{QStringLiteral("name"), QString::fromLatin1(name)}, {QStringLiteral("class"), QString::fromLatin1(cls)},
                 {QStringLiteral("value"), value}, {QStringLiteral("crcgroup"), crcGroup}};
    return r;
}

StepRow row(qint32 step, const char* value, qint32 width, const char* cls = "", const char* loops = "", qint32 gotoStep = 0) {
    return {step, QStringLiteral("value"), QString::fromLatin1(value), width, QString::fromLatin1(loops), gotoStep,
            QString::fromLatin1(cls), QString()};
}

// Group 1 (two values, 4-byte items) carries its CRC twice: as a 2-byte BCD item and in its
// 2-byte entry row. Group 2's value stands in a 2-byte item, which cannot give it whole.
std::vector<StepRow> fullLayout() {
    return {row(1, "TABLE", 4, "G1", "2", 1), row(2, "TABLE", 2, "G2"), row(3, "DC_CRC_FIRST_GROUP1", 2),
            row(4, "TABLE", 2, "C1"), row(5, "TABLE", 4, "C2")};
}

quint16 crcOf(const std::vector<qint32>& values) {
    const QByteArray buf = groupCrc::buffer(values);
    return CrcCalculation(buf.constData(), qint32(buf.size()), 0);
}

QString symbolOf(int group) { return QStringLiteral("CRC_G%1").arg(group); }

// An image of the values of two groups and their CRCs, written by the given step table.
struct Image {
    Tables tables;
    quint16 crc1 = crcOf({70000, -3});
    QByteArray bytes;

    explicit Image(std::vector<StepRow> steps) {
        tables.records = {rec("G1_A", "G1", 70000, 1), rec("G1_B", "G1", -3, 1), rec("G2_A", "G2", 100000, 2),
                          rec("CRC_G1", "C1", crc1, 0), rec("CRC_G2", "C2", crcOf({100000}), 0)};
        tables.steps = std::move(steps);
        const SpecialEntries special{{}, [this](const QString& alias) -> std::optional<QString> {
                                         if (alias == QLatin1String("DC_CRC_FIRST_GROUP1")) return QString::number(crc1);
                                         return std::nullopt;
                                     }};
        qint64 position = 0;
        EXPECT_TRUE(walk(Direction::Write, tables, special, bytes, position).ok);
    }

    QString check(const QByteArray& image) const {
        QByteArray copy = image;
        qint64 position = 0;
        const WalkResult read = walk(Direction::Read, tables, {}, copy, position);
        EXPECT_TRUE(read.ok) << read.error.toStdString();
        return groupCrc::verifyRead(tables, read, symbolOf);
    }
};

}  // namespace

TEST(GroupCheck, TheCrcsAnImageCarriesAreCheckedAgainstTheValuesReadFromIt) {
    const Image image(fullLayout());
    // The layout: G1_A, G1_B, G2_A (2 bytes), the BCD item, CRC_G1 (2 bytes), CRC_G2.
    ASSERT_EQ(image.bytes.size(), 20);
    const QByteArray bcd = QByteArray::fromHex(QString::number(image.crc1 % 10000).rightJustified(4, '0').toLatin1());
    ASSERT_EQ(image.bytes.mid(10, 2), bcd);
    EXPECT_EQ(image.check(image.bytes), QString());

    const struct {
        const char* what;
        int offset;
        char xorMask;
        const char* found;  // in the refusal; empty: the image passes
    } cases[] = {
        {"a value of group 1", 3, 0x01, "CRC group 1"},
        {"the high byte of a value of group 1", 4, char(0x80), "CRC group 1"},
        {"a digit of the BCD item", 11, 0x01, "item DC_CRC_FIRST_GROUP1 holds &H"},
        {"a BCD half-byte above 9", 10, char(0xF0), "item DC_CRC_FIRST_GROUP1 holds &H"},
        {"the entry row of group 1", 13, 0x01, "entry CRC_G1 holds"},
        // Group 2 is given in a 2-byte item only: it cannot be checked, so nothing refuses it,
        // neither its value nor its entry row.
        {"the value of group 2", 9, 0x01, ""},
        {"the entry row of group 2", 19, 0x01, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray changed = image.bytes;
        changed[c.offset] = char(changed[c.offset] ^ c.xorMask);
        const QString error = image.check(changed);
        if (*c.found == '\0') {
            EXPECT_EQ(error, QString());
        } else {
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.found))) << error.toStdString();
            EXPECT_TRUE(error.endsWith(QStringLiteral("the image is damaged or does not fit this template"))) << error.toStdString();
        }
    }
}

TEST(GroupCheck, AGroupWithAValueTheImageDoesNotCarryIsNotChecked) {
    // Only the first value of group 1 is in the image; the second would come from the
    // template, so the CRCs of group 1 are not compared, changed or not.
    const Image image({row(1, "TABLE", 4, "G1"), row(2, "DC_CRC_FIRST_GROUP1", 2), row(3, "TABLE", 4, "C1")});
    ASSERT_EQ(image.bytes.size(), 12);
    EXPECT_EQ(image.check(image.bytes), QString());
    for (int offset : {3, 5, 11}) {
        QByteArray changed = image.bytes;
        changed[offset] = char(changed[offset] ^ 0x01);
        EXPECT_EQ(image.check(changed), QString()) << offset;
    }
}

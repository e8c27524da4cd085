// The hardware info block as the repair reads and builds it: the production date in its
// two stored forms, the checks of the engineer's entries, and the block with its CRC.
#include "mainwindow/hwinfoblock.h"

#include "lib/crc32.h"
#include "lib/flashmodel.h"

#include <gtest/gtest.h>

namespace {

QByteArray blockWith(const QByteArray& week, const QByteArray& year, qint32 serial, quint32 version) {
    QByteArray b(312, '\0');
    sim::infoblock::putBe32(b, 12, version);
    b.replace(16, 2, week);
    b.replace(18, 2, year);
    sim::infoblock::putBe32(b, 20, quint32(serial));
    return b;
}

TEST(HwInfoBlock, DecodesTheProductionDateInBothStoredForms) {
    struct Case {
        const char* what;
        QByteArray week, year;
        const char* shownWeek;
        const char* shownYear;
    };
    const Case cases[] = {
        {"ASCII this century", "15", "15", "15", "2015"},
        {"ASCII last century", "05", "95", "05", "1995"},
        {"ASCII 79 is 2079", "52", "79", "52", "2079"},
        {"16-bit numbers", QByteArray::fromHex("000F"), QByteArray::fromHex("07DF"), "15", "2015"},
        {"erased flash", QByteArray::fromHex("FFFF"), QByteArray::fromHex("FFFF"), "01", "1980"},
        {"week 0", "00", "15", "01", "1980"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const hwInfoBlock::Decoded d = hwInfoBlock::decode(blockWith(c.week, c.year, 4711, 7));
        EXPECT_EQ(d.week, QString::fromLatin1(c.shownWeek));
        EXPECT_EQ(d.year, QString::fromLatin1(c.shownYear));
    }
}

TEST(HwInfoBlock, DecodesSerialNumberAndVersion) {
    hwInfoBlock::Decoded d = hwInfoBlock::decode(blockWith("15", "20", -1, 12));
    EXPECT_EQ(d.serial, QStringLiteral("-1"));
    EXPECT_FALSE(d.serialPresent);
    EXPECT_EQ(d.version, QStringLiteral("12"));
    d = hwInfoBlock::decode(blockWith("15", "20", 123456, 7));
    EXPECT_EQ(d.serial, QStringLiteral("123456"));
    EXPECT_TRUE(d.serialPresent);
    EXPECT_EQ(d.version, QStringLiteral("07"));
}

TEST(HwInfoBlock, ChecksDateAndSerialNumber) {
    struct Case {
        const char* week;
        const char* year;
        bool valid;
    };
    const Case dates[] = {{"1", "1980", true},  {"52", "2079", true}, {"0", "2000", false},  {"53", "2000", false},
                          {"10", "1979", false}, {"10", "2080", false}, {"x", "2000", false}, {"7a", " 2000", true}};
    for (const Case& c : dates)
        EXPECT_EQ(hwInfoBlock::validateProductionDate(c.week, c.year), c.valid) << c.week << " " << c.year;
    for (const char* good : {"0", "4711", "-1", " 2147483647 ", "-2147483648"})
        EXPECT_TRUE(hwInfoBlock::validSerial(QString::fromLatin1(good))) << good;
    for (const char* bad : {"", "---", "12a", "1 2", "2147483648", "-2147483649", "99999999999"})
        EXPECT_FALSE(hwInfoBlock::validSerial(QString::fromLatin1(bad))) << bad;
}

TEST(HwInfoBlock, BuildsTheBlockFromTheTemplateWithItsCrc) {
    QByteArray templ(400, '\0');  // longer than a block: the rest is not taken
    for (int i = 0; i < templ.size(); ++i) templ[i] = char(i * 7);
    const QByteArray b = hwInfoBlock::build(templ, QStringLiteral("-2"), QStringLiteral("7"), QStringLiteral("1999x"),
                                            QStringLiteral("08"));
    ASSERT_EQ(b.size(), 312);
    EXPECT_EQ(b.left(12), templ.left(12));
    EXPECT_EQ(b.mid(12, 12), QByteArray::fromHex("00000008") + "07" + "99" + QByteArray::fromHex("FFFFFFFE"));
    EXPECT_EQ(b.mid(24, 284), templ.mid(24, 284));
    EXPECT_EQ(sim::infoblock::be32(b, 308), sim::crc32(b.left(308)));
}

}  // namespace

// The parts that need no bus: object dictionary, block CRC, frame bits.
#include "lib/bustiming.h"
#include "lib/crc16.h"
#include "lib/objectdictionary.h"
#include "lib/options.h"

#include <gtest/gtest.h>
#include <random>

using namespace sim;

TEST(SimObjectDictionary, RightsSizesAndMissingEntries) {
    ObjectDictionary od;
    od.addU16(0x1017, 0, 1000);
    od.addU32(0x1000, 0, 7, Access::ReadOnly);
    od.addDomain(0x2002, 0, {}, Access::WriteOnly);
    od.addDomain(0x2003, 1, {}, Access::ReadWrite, 10);
    QByteArray out;
    EXPECT_EQ(od.read(0x3000, 0, out), abort::NoObject);
    EXPECT_EQ(od.read(0x2003, 2, out), abort::NoSubIndex);
    EXPECT_EQ(od.read(0x2002, 0, out), abort::WriteOnly);
    EXPECT_EQ(od.write(0x1000, 0, QByteArray(4, 0)), abort::ReadOnly);
    EXPECT_EQ(od.write(0x1017, 0, QByteArray(3, 0)), abort::LengthTooHigh);
    EXPECT_EQ(od.write(0x1017, 0, QByteArray(1, 0)), abort::LengthTooLow);
    EXPECT_EQ(od.beginWrite(0x2003, 1, 11), abort::LengthTooHigh);
    EXPECT_EQ(od.write(0x2003, 1, QByteArray(11, 0)), abort::LengthTooHigh);
    // Four bytes of an unsized expedited write: a 16-bit number takes the first two.
    EXPECT_EQ(od.write(0x1017, 0, QByteArray("\x10\x27\xAA\xBB", 4), false), abort::None);
    EXPECT_EQ(od.valueU32(0x1017, 0), 10000u);
}

TEST(SimObjectDictionary, HooksShapeReadsAndRefuseWrites) {
    ObjectDictionary od;
    od.addU8(0x5FFF, 0, 0);
    int reads = 0;
    od.setReadHook(0x5FFF, 0, [&](QByteArray& d) {
        d[0] = char(++reads);
        return abort::None;
    });
    od.setWriteHook(0x5FFF, 0, [](const QByteArray& d) { return d[0] == 9 ? abort::DeviceState : abort::None; });
    QByteArray out;
    od.read(0x5FFF, 0, out);
    od.read(0x5FFF, 0, out);
    EXPECT_EQ(quint8(out[0]), 2);
    EXPECT_EQ(od.write(0x5FFF, 0, QByteArray(1, 9)), abort::DeviceState);
    EXPECT_EQ(od.value(0x5FFF, 0), QByteArray(1, 0));  // a refused write stores nothing
    EXPECT_EQ(od.write(0x5FFF, 0, QByteArray(1, 3)), abort::None);
    EXPECT_EQ(od.value(0x5FFF, 0), QByteArray(1, 3));
}

TEST(SimBlockCrc, IsCrc16Xmodem) {
    EXPECT_EQ(blockCrc(QByteArray("123456789")), 0x31C3);
    EXPECT_EQ(blockCrc(QByteArray()), 0);
}

TEST(SimBusTiming, CountsStuffBitsOfTheActualBits) {
    // 19 zero bits up to the data, a CRC of 0: 34 zeros, one stuff bit after every five.
    EXPECT_EQ(stuffBits(0x000, {}), 6);
    EXPECT_EQ(frameBits(0x000, {}), 47 + 6);
    std::mt19937 rng(1);
    int most = 0, least = 99;
    for (int i = 0; i < 2000; ++i) {
        QByteArray d(8, '\0');
        for (auto& c : d) c = char(rng() & (i % 2 ? 0xFF : 0x01));
        const int s = stuffBits(rng() & 0x7FF, d);
        most = std::max(most, s);
        least = std::min(least, s);
    }
    EXPECT_LE(most, 24);
    EXPECT_GT(most, least);
    EXPECT_EQ(frameMicros(0x000, {}, 0), 0);
    EXPECT_EQ(frameMicros(0x000, {}, 125000), 53 * 8);
}

TEST(SimOptions, NumbersAreDecimalOrHexWithinTheirRange) {
    struct Case {
        const char* text;
        bool ok;
        qint64 value;
    } cases[] = {
        {"10", true, 10},   {"010", true, 10},  // a leading zero is no octal
        {"0x1F", true, 31}, {"0X1f", true, 31}, {"127", true, 127}, {"128", false, 0}, {"0", false, 0},
        {"", false, 0},     {"0x", false, 0},   {"12ab", false, 0}, {"x1", false, 0},  {"-3", false, 0},
    };
    for (const Case& c : cases) {
        qint64 v = -1;
        EXPECT_EQ(options::number(c.text, 1, 127, v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : -1) << c.text;
    }
}

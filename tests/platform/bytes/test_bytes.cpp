#include "bytes/bytes.h"

#include <gtest/gtest.h>

using bytes::Order;

namespace {
QByteArray hex(const char* h) { return QByteArray::fromHex(h); }
}

TEST(Bytes, PutWritesTheLowBytesInEitherOrder) {
    struct Case {
        qint64 value;
        int width;
        Order order;
        const char* expected;
    } cases[] = {
        {0x12345678, 4, Order::BigEndian, "12345678"},
        {0x12345678, 4, Order::LittleEndian, "78563412"},
        {-1, 2, Order::BigEndian, "ffff"},
        {-2, 4, Order::BigEndian, "fffffffe"},
        {0x1234, 1, Order::BigEndian, "34"},
        {0x0102030405060708LL, 8, Order::LittleEndian, "0807060504030201"},
        {0xABCDEF, 3, Order::BigEndian, "abcdef"},
    };
    for (const Case& c : cases) {
        QByteArray buf;
        ASSERT_TRUE(bytes::put(buf, 0, c.value, c.width, c.order));
        EXPECT_EQ(buf.toHex(), QByteArray(c.expected)) << c.value << " width " << c.width;
    }
}

TEST(Bytes, PutGrowsTheArrayWithZerosAndRefusesBadFields) {
    QByteArray buf = hex("aa");
    ASSERT_TRUE(bytes::put(buf, 3, 0x0102, 2, Order::BigEndian));
    EXPECT_EQ(buf.toHex(), QByteArray("aa00000102"));
    EXPECT_FALSE(bytes::put(buf, 0, 1, 0, Order::BigEndian));
    EXPECT_FALSE(bytes::put(buf, 0, 1, 9, Order::BigEndian));
    EXPECT_FALSE(bytes::put(buf, -1, 1, 1, Order::BigEndian));
    EXPECT_EQ(buf.toHex(), QByteArray("aa00000102"));
}

TEST(Bytes, GetReadsSignedAndUnsignedAndRefusesFieldsPastTheEnd) {
    const QByteArray buf = hex("fffe0001ff");
    EXPECT_EQ(bytes::getUnsigned(buf, 0, 2, Order::BigEndian), 0xFFFEu);
    EXPECT_EQ(bytes::getSigned(buf, 0, 2, Order::BigEndian), -2);
    EXPECT_EQ(bytes::getSigned(buf, 0, 2, Order::LittleEndian), -257);
    EXPECT_EQ(bytes::getSigned(buf, 4, 1, Order::BigEndian), -1);
    EXPECT_EQ(bytes::getUnsigned(buf, 4, 1, Order::BigEndian), 255u);
    EXPECT_EQ(bytes::getSigned(buf, 0, 4, Order::BigEndian), qint64(qint32(0xFFFE0001u)));
    EXPECT_FALSE(bytes::getUnsigned(buf, 2, 4, Order::BigEndian).has_value());
    EXPECT_FALSE(bytes::getUnsigned(buf, -1, 1, Order::BigEndian).has_value());
    EXPECT_FALSE(bytes::getUnsigned(buf, 0, 9, Order::BigEndian).has_value());
}

TEST(Bytes, WriterAndReaderWalkTheSameFields) {
    QByteArray buf;
    bytes::Writer w(buf, Order::BigEndian);
    w.number(7, 1);
    w.zeros(1);
    w.number(-1, 2);
    w.raw("AB");
    w.number(0x01020304, 4);
    EXPECT_EQ(w.position(), 10);
    EXPECT_EQ(buf.toHex(), QByteArray("0700ffff414201020304"));

    bytes::Reader r(buf, Order::BigEndian);
    EXPECT_EQ(r.unsignedNumber(1), 7u);
    EXPECT_TRUE(r.skip(1));
    EXPECT_EQ(r.signedNumber(2), -1);
    EXPECT_TRUE(r.skip(2));
    EXPECT_EQ(r.signedNumber(4), 0x01020304);
    EXPECT_EQ(r.remaining(), 0);
    // Past the end: nothing, and the position stays.
    EXPECT_FALSE(r.unsignedNumber(1).has_value());
    EXPECT_FALSE(r.skip(1));
    EXPECT_EQ(r.position(), 10);
}

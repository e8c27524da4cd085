#include "crclibrary/crclibrary.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {
const QByteArray kCheck("123456789");
}

TEST(CrcLibrary, Crc16IsXmodemWithTheThirdArgumentAsStartValue) {
    EXPECT_EQ(CrcCalculation(kCheck.constData(), kCheck.size(), 0), 0x31C3);
    // The start value is the third argument: CRC-16/IBM-3740 is the same CRC started at 0xFFFF.
    EXPECT_EQ(CrcCalculation(kCheck.constData(), kCheck.size(), 0xFFFF), 0x29B1);
}

TEST(CrcLibrary, Crc32IsZlibsWithTheThirdArgumentAsRunningCrc) {
    EXPECT_EQ(CrcCalculation32(kCheck.constData(), kCheck.size(), 0), 0xCBF43926u);
    // Going on from the CRC of the first part gives the CRC of the whole.
    const quint32 first = CrcCalculation32(kCheck.constData(), 4, 0);
    EXPECT_EQ(CrcCalculation32(kCheck.constData() + 4, kCheck.size() - 4, static_cast<qint32>(first)), 0xCBF43926u);
}

TEST(CrcLibrary, BothDependOnlyOnTheBytesAndTheirCount) {
    QByteArray a(1000, '\0'), b(1000, '\0');
    for (int i = 0; i < a.size(); ++i) a[i] = b[i] = static_cast<char>(i * 7);
    EXPECT_EQ(CrcCalculation(a.constData(), a.size(), 0), CrcCalculation(b.constData(), b.size(), 0));
    EXPECT_EQ(CrcCalculation32(a.constData(), a.size(), 0), CrcCalculation32(b.constData(), b.size(), 0));
    b[999] = static_cast<char>(b[999] ^ 1);
    EXPECT_NE(CrcCalculation(a.constData(), a.size(), 0), CrcCalculation(b.constData(), b.size(), 0));
    EXPECT_NE(CrcCalculation32(a.constData(), a.size(), 0), CrcCalculation32(b.constData(), b.size(), 0));
    EXPECT_NE(CrcCalculation32(a.constData(), 999, 0), CrcCalculation32(a.constData(), 1000, 0));
}

// Expedited and segmented transfers, both directions, and the server's aborts.
#include "lib/scenario.h"
#include "simbus.h"

using namespace simtest;

class SimSdo : public SimBus {};

TEST_F(SimSdo, DownloadThenUploadGivesTheDataBackForEachSize) {
    for (int size : {0, 1, 3, 4, 5, 7, 8, 889, 8193}) {
        SCOPED_TRACE(size);
        const QByteArray data = sim::testPattern(size + 3).mid(3);
        for (bool sized : {true, false}) {
            if (!sized && size != 4 && size <= 4) continue;  // no unsized expedited form but 4 bytes
            ASSERT_EQ(download(0x2000, 0, data, sized), 0u);
            EXPECT_EQ(m_node->od().value(0x2000, 0), data);
            QByteArray back;
            ASSERT_EQ(upload(0x2000, 0, back), 0u);
            EXPECT_EQ(back, data);
        }
    }
}

TEST_F(SimSdo, ResponseFormsOfUploadAndDownload) {
    m_node->od().addU16(0x2100, 0, 0x1234);
    m_node->od().addDomain(0x2101, 0, QByteArray(5, 'x'));
    const QByteArray up16 = sdo(request(0x40, 0x2100, 0));
    EXPECT_EQ(up16, bytes({0x4B, 0x00, 0x21, 0x00, 0x34, 0x12}));
    const QByteArray seg = sdo(request(0x40, 0x2101, 0));
    EXPECT_EQ(seg, bytes({0x41, 0x01, 0x21, 0x00, 5}));
    EXPECT_EQ(sdo(bytes({0x60})), bytes({0x05, 'x', 'x', 'x', 'x', 'x'}));  // n = 2, last
    EXPECT_EQ(sdo(request(0x2B, 0x2100, 0, 0xBEEF)), bytes({0x60, 0x00, 0x21, 0x00}));
    EXPECT_EQ(m_node->od().valueU32(0x2100, 0), 0xBEEFu);
    // 0x22: four bytes assumed, a 16-bit object keeps the first two.
    EXPECT_EQ(quint8(sdo(request(0x22, 0x2100, 0, 0xAABB0102))[0]), 0x60);
    EXPECT_EQ(m_node->od().valueU32(0x2100, 0), 0x0102u);
}

TEST_F(SimSdo, AbortsWithTheCodeOfTheFault) {
    m_node->od().setWriteHook(0x2000, 0, [](const QByteArray& d) {
        return d.startsWith("bad") ? sim::abort::CannotStore : sim::abort::None;
    });
    struct Case {
        const char* what;
        QByteArray req;
        quint32 code;
    } cases[] = {
        {"no object", request(0x40, 0x3333, 0), sim::abort::NoObject},
        {"no sub-index", request(0x40, 0x1000, 5), sim::abort::NoSubIndex},
        {"write read-only", request(0x23, 0x1000, 0, 1), sim::abort::ReadOnly},
        {"read write-only", request(0x40, 0x2002, 0), sim::abort::WriteOnly},
        {"too long for u16", request(0x23, 0x1017, 0, 1), sim::abort::LengthTooHigh},
        {"too short for u16", request(0x2F, 0x1017, 0, 1), sim::abort::LengthTooLow},
        {"segment without transfer", bytes({0x00, 1, 2, 3}), sim::abort::UnknownCommand},
        {"unknown specifier", request(0xE0, 0x1000, 0), sim::abort::UnknownCommand},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray r = sdo(c.req);
        ASSERT_EQ(r.size(), 8);
        EXPECT_EQ(abortCode(r), c.code);
    }
    EXPECT_EQ(download(0x2000, 0, QByteArray("bad data")), sim::abort::CannotStore);
    EXPECT_EQ(download(0x2000, 0, QByteArray("bad")), sim::abort::CannotStore);
    EXPECT_NE(m_node->od().value(0x2000, 0), QByteArray("bad"));
    // An abort names the object of the transfer.
    EXPECT_EQ(sdo(request(0x40, 0x3333, 7)).left(4), bytes({0x80, 0x33, 0x33, 7}).left(4));
}

TEST_F(SimSdo, ToggleErrorsAbortBothDirections) {
    ASSERT_EQ(quint8(sdo(request(0x21, 0x2000, 0, 14))[0]), 0x60);
    EXPECT_EQ(sdo(bytes({0x00, 1, 2, 3, 4, 5, 6, 7})), bytes({0x20}));
    EXPECT_EQ(abortCode(sdo(bytes({0x00, 1, 2, 3, 4, 5, 6, 7}))), sim::abort::ToggleBit);
    ASSERT_EQ(quint8(sdo(request(0x40, 0x2001, 0))[0]), 0x41);
    EXPECT_EQ(abortCode(sdo(bytes({0x70}))), sim::abort::ToggleBit);
    // After the abort the transfer is gone.
    EXPECT_EQ(abortCode(sdo(bytes({0x60}))), sim::abort::UnknownCommand);
}

TEST_F(SimSdo, LengthBeyondTheAnnouncedSizeIsRefused) {
    ASSERT_EQ(quint8(sdo(request(0x21, 0x2000, 0, 5))[0]), 0x60);
    EXPECT_EQ(abortCode(sdo(bytes({0x00, 1, 2, 3, 4, 5, 6, 7}))), sim::abort::LengthTooHigh);
    ASSERT_EQ(quint8(sdo(request(0x21, 0x2000, 0, 9))[0]), 0x60);
    EXPECT_EQ(abortCode(sdo(bytes({0x01, 1, 2, 3, 4, 5, 6, 7}))), sim::abort::LengthTooLow);
}

TEST_F(SimSdo, ClientAbortEndsTheTransferSilently) {
    ASSERT_EQ(quint8(sdo(request(0x40, 0x2001, 0))[0]), 0x41);
    EXPECT_TRUE(sdo(request(0x80, 0x2001, 0, sim::abort::TimedOut), 150).isEmpty());
    EXPECT_EQ(abortCode(sdo(bytes({0x60}))), sim::abort::UnknownCommand);
}

TEST_F(SimSdo, FramesShorterThanNeededAreIgnored) {
    const QByteArray cases[] = {
        QByteArray("\x40\x00\x10", 3),              // initiate upload without sub-index
        QByteArray("\x23\x00\x20\x00\x01\x02", 6),  // 4 bytes announced, 2 given
        QByteArray("\x21\x00\x20\x00\x05", 5),      // size cut short
        QByteArray("\xA4\x00\x20\x00\x7F", 5),      // block upload without pst
        QByteArray(),
        // Outside a transfer too: short frames are not answered with an abort.
        QByteArray("\x09\x01", 2),  // segment of 4 bytes, 1 given
        QByteArray("\xC1\x00", 2),  // block download end without its CRC
        QByteArray("\xA2\x01", 2),  // block upload acknowledgement without block size
    };
    for (const QByteArray& c : cases) EXPECT_TRUE(sdo(c, 100).isEmpty()) << c.toHex().constData();
    // A short segment inside a transfer is skipped; the full one is served.
    ASSERT_EQ(quint8(sdo(request(0x21, 0x2000, 0, 3))[0]), 0x60);
    EXPECT_TRUE(sdo(QByteArray("\x09\x01", 2), 100).isEmpty());
    EXPECT_EQ(sdo(bytes({0x09, 1, 2, 3})), bytes({0x20}));
    EXPECT_EQ(m_node->od().value(0x2000, 0), QByteArray("\x01\x02\x03", 3));
}

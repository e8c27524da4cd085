// Block download and block upload: sizes, CRC, lost segments, the protocol switch.
#include "lib/crc16.h"
#include "lib/scenario.h"
#include "simbus.h"

using namespace simtest;

class SimBlock : public SimBus {};

TEST_F(SimBlock, DownloadAndUploadEachSizeWithAndWithoutCrc) {
    for (int size : {0, 1, 6, 7, 8, 889, 8193}) {
        for (bool crc : {true, false}) {
            SCOPED_TRACE(testing::Message() << size << (crc ? " crc" : " no crc"));
            const QByteArray data = sim::testPattern(size + 1).mid(1);
            ASSERT_EQ(blockDownload(0x2000, 0, data, crc), 0u);
            EXPECT_EQ(m_node->od().value(0x2000, 0), data);
            QByteArray back;
            bool crcOk = false;
            ASSERT_EQ(blockUpload(0x2000, 0, back, 127, 0, crc, 0, &crcOk), 0u);
            EXPECT_EQ(back, data);
            EXPECT_TRUE(crcOk);
        }
    }
}

TEST_F(SimBlock, InitiateResponsesCarryCrcSupportSizeAndBlockSize) {
    sim::Faults f;
    f.blockSize = 16;
    setFaults(f);
    EXPECT_EQ(sdo(request(0xC6, 0x2000, 0, 100)), bytes({0xA4, 0x00, 0x20, 0x00, 16}));
    send(0x600 + kNode, request(0x80, 0x2000, 0, sim::abort::General));
    QByteArray req = request(0xA4, 0x2001, 0);
    req[4] = 10;
    EXPECT_EQ(sdo(req), bytes({0xC6, 0x01, 0x20, 0x00, 0x01, 0x20}));  // 8193 = 0x2001
    f.blockCrc = false;
    setFaults(f);
    EXPECT_EQ(quint8(sdo(request(0xC6, 0x2000, 0, 100))[0]), 0xA0);
    send(0x600 + kNode, request(0x80, 0x2000, 0, sim::abort::General));
    // Without CRC on the server's side a wrong CRC from the client does not count.
    EXPECT_EQ(blockDownload(0x2000, 0, QByteArray("abcdefghij"), true, 0, true), 0u);
}

TEST_F(SimBlock, SmallBlocksAndALostSegmentAreResent) {
    sim::Faults f;
    f.blockSize = 5;
    setFaults(f);
    const QByteArray data = sim::testPattern(889);
    ASSERT_EQ(blockDownload(0x2000, 0, data, true, 3), 0u);
    EXPECT_EQ(m_node->od().value(0x2000, 0), data);
    QByteArray back;
    ASSERT_EQ(blockUpload(0x2000, 0, back, 4, 0, true, 2), 0u);
    EXPECT_EQ(back, data);
}

TEST_F(SimBlock, LostSegmentIsAcknowledgedWithTheLastInOrder) {
    ASSERT_EQ(quint8(sdo(request(0xC6, 0x2000, 0, 70))[0]), 0xA4);
    for (int seq : {1, 2, 4, 5, 6, 7, 8, 9}) send(0x600 + kNode, bytes({seq, seq}));
    const QByteArray lastSegment = bytes({0x8A, 10});
    EXPECT_EQ(sdo(lastSegment), bytes({0xA2, 2, 127}));
}

TEST_F(SimBlock, WrongCrcAndWrongSizeAbort) {
    EXPECT_EQ(blockDownload(0x2000, 0, sim::testPattern(100), true, 0, true), sim::abort::CrcError);
    // 10 bytes announced, 8 sent.
    ASSERT_EQ(quint8(sdo(request(0xC6, 0x2000, 0, 10))[0]), 0xA4);
    send(0x600 + kNode, bytes({0x01, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(quint8(sdo(bytes({0x82, 8}))[0]), 0xA2);
    EXPECT_EQ(abortCode(sdo(bytes({0xC1 | (6 << 2)}))), sim::abort::LengthTooLow);
}

TEST_F(SimBlock, BadSequenceAndBlockSizeAbort) {
    ASSERT_EQ(quint8(sdo(request(0xC6, 0x2000, 0, 100))[0]), 0xA4);
    EXPECT_EQ(abortCode(sdo(bytes({0x00, 1}))), sim::abort::InvalidSequence);
    QByteArray req = request(0xA4, 0x2001, 0);
    req[4] = 0;
    EXPECT_EQ(abortCode(sdo(req)), sim::abort::InvalidBlockSize);
    req[4] = char(128);
    EXPECT_EQ(abortCode(sdo(req)), sim::abort::InvalidBlockSize);
}

TEST_F(SimBlock, ProtocolSwitchAnswersShortDataWithAPlainUpload) {
    m_node->od().setValue(0x2000, 0, sim::testPattern(20));
    struct Case {
        int size, pst;
        quint8 response;
    } cases[] = {{3, 10, 0x47}, {4, 4, 0x43}, {20, 20, 0x41}, {20, 19, 0xC6}, {3, 0, 0xC6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " pst " << c.pst);
        m_node->od().setValue(0x2000, 0, sim::testPattern(c.size));
        QByteArray req = request(0xA4, 0x2000, 0);
        req[4] = 127;
        req[5] = char(c.pst);
        const QByteArray r = sdo(req);
        ASSERT_EQ(r.size(), 8);
        EXPECT_EQ(quint8(r[0]), c.response);
        if (c.response == 0x41) {  // goes on as a segmented upload
            QByteArray back;
            for (quint8 t = 0; back.size() < c.size; t ^= 1) back += sdo(bytes({0x60 | (t << 4)})).mid(1, 7);
            EXPECT_EQ(back.left(c.size), sim::testPattern(c.size));
        }
        send(0x600 + kNode, request(0x80, 0x2000, 0, sim::abort::General));
    }
}

TEST_F(SimBlock, RefusedWhenBlockTransferIsOff) {
    sim::Faults f;
    f.blockTransfer = false;
    setFaults(f);
    EXPECT_EQ(blockDownload(0x2000, 0, QByteArray("abc")), sim::abort::UnknownCommand);
    QByteArray back;
    EXPECT_EQ(blockUpload(0x2001, 0, back), sim::abort::UnknownCommand);
    EXPECT_EQ(download(0x2000, 0, QByteArray("abcdefgh")), 0u);  // segmented still served
}

// The fault switches that the tool's SDO client must survive, and bus pacing.
#include "desktop/timeservice.h"
#include "lib/scenario.h"
#include "simbus.h"

using namespace simtest;

class SimFaults : public SimBus {};

TEST_F(SimFaults, StopAfterFramesSilencesTheRestOfEachTransfer) {
    sim::Faults f;
    f.stopAfterFrames = 2;
    setFaults(f);
    ASSERT_EQ(quint8(sdo(request(0x40, 0x2001, 0))[0]), 0x41);
    EXPECT_EQ(quint8(sdo(bytes({0x60}))[0]), 0x00);
    EXPECT_TRUE(sdo(bytes({0x70}), 150).isEmpty());
    // Frames of the dead transfer stay unanswered; a new transfer is served again.
    EXPECT_TRUE(sdo(bytes({0x60}), 150).isEmpty());
    EXPECT_EQ(quint8(sdo(request(0x40, 0x1000, 0))[0]), 0x43);
    f.stopAfterFrames = 0;
    setFaults(f);
    EXPECT_TRUE(sdo(request(0x40, 0x1000, 0), 150).isEmpty());
    // A block upload stops in the middle of its sub-block.
    f.stopAfterFrames = 4;
    setFaults(f);
    QByteArray back;
    EXPECT_EQ(blockUpload(0x2001, 0, back), sim::abort::TimedOut);
}

TEST_F(SimFaults, WrongToggleBitInSegmentResponses) {
    sim::Faults f;
    f.wrongToggle = true;
    setFaults(f);
    QByteArray back;
    EXPECT_EQ(upload(0x2001, 0, back), sim::abort::ToggleBit);
    EXPECT_EQ(download(0x2000, 0, QByteArray("0123456789")), sim::abort::ToggleBit);
}

TEST_F(SimFaults, CorruptBlockCrc) {
    sim::Faults f;
    f.corruptBlockCrc = true;
    setFaults(f);
    QByteArray back;
    bool crcOk = true;
    ASSERT_EQ(blockUpload(0x2001, 0, back, 127, 0, true, 0, &crcOk), 0u);
    EXPECT_EQ(back, sim::testPattern(8193));
    EXPECT_FALSE(crcOk);
}

TEST_F(SimFaults, LongSegmentAnnouncesLessThanItSends) {
    sim::Faults f;
    f.longSegment = true;
    setFaults(f);
    const QByteArray seg = sdo(request(0x40, 0x2001, 0));
    EXPECT_EQ(u32At(seg, 4), 8192u);
    send(0x600 + kNode, request(0x80, 0x2001, 0, sim::abort::General));
    QByteArray back;
    ASSERT_EQ(upload(0x2001, 0, back), 0u);
    EXPECT_EQ(back.size(), 8193);
}

TEST_F(SimFaults, NoSizeIndicationForms) {
    sim::Faults f;
    f.noSizeIndication = true;
    setFaults(f);
    EXPECT_EQ(sdo(request(0x40, 0x2001, 0)), bytes({0x40, 0x01, 0x20, 0x00}));
    send(0x600 + kNode, request(0x80, 0x2001, 0, sim::abort::General));
    EXPECT_EQ(quint8(sdo(request(0x40, 0x1000, 0))[0]), 0x42);
    QByteArray back;
    ASSERT_EQ(upload(0x2001, 0, back), 0u);
    EXPECT_EQ(back, sim::testPattern(8193));
}

TEST_F(SimFaults, ShortFramesAndDelayedResponses) {
    sim::Faults f;
    f.shortFrames = 4;
    setFaults(f);
    EXPECT_EQ(sdo(request(0x40, 0x1000, 0)), QByteArray("\x43\x00\x10\x00", 4));
    f.shortFrames = 0;
    f.delayMs = 300;
    setFaults(f);
    send(0x600 + kNode, request(0x40, 0x1000, 0));
    EXPECT_FALSE(next(0x580 + kNode, 100).has_value());
    EXPECT_TRUE(next(0x580 + kNode, 2000).has_value());
}

TEST_F(SimFaults, ALateNodeHoldsBackOnlyItsOwnResponses) {
    sim::Node* other = m_sim->addNode(kNode + 1);
    sim::addTestObjects(*other, 0);
    sim::Faults f;
    f.delayMs = 1000;
    setFaults(f);
    send(0x600 + kNode, request(0x40, 0x1000, 0));
    const QByteArray r = exchange(kNode + 1, request(0x40, 0x1000, 0), 500);
    ASSERT_EQ(r.size(), 8);
    EXPECT_EQ(quint8(r[0]), 0x43);
    EXPECT_TRUE(next(0x580 + kNode, 3000).has_value());
}

TEST_F(SimFaults, PacingSpacesFramesAtTheBitRate) {
    // 889 bytes in one sub-block: 128 frames of at least 111 bits, above 0.28 s at 50 kbit/s.
    m_sim->setBitRate(50000);
    m_node->od().setValue(0x2000, 0, sim::testPattern(889));
    QByteArray back;
    const qint64 start = TimeService::elapsedMs();
    ASSERT_EQ(blockUpload(0x2000, 0, back), 0u);
    EXPECT_EQ(back, sim::testPattern(889));
    EXPECT_GE(TimeService::elapsedMs() - start, 280);
    m_sim->setBitRate(0);
}

// The simulated bus at a bit rate: the frames it receives and the frames it sends share the
// one bus, each for its bit time, and an answer leaves only when the bus is free. A small
// bit rate makes each frame last some 12 ms, so that the bus time stands out from the
// event loop's own delays.
#include "lib/bustiming.h"
#include "lib/scenario.h"
#include "simbus.h"

#include <QElapsedTimer>

using namespace simtest;

namespace {
constexpr int kRate = 10000;

qint64 busMicros(const QList<sim::Frame>& frames) {
    qint64 us = 0;
    for (const sim::Frame& f : frames) us += sim::frameMicros(f.id, f.data, kRate);
    return us;
}
}  // namespace

class SimPacing : public SimBus {
protected:
    void SetUp() override {
        SimBus::SetUp();
        if (HasFatalFailure()) return;
        m_sim->setBitRate(kRate);
        drain();
    }
    void TearDown() override {
        m_sim->setBitRate(0);
        SimBus::TearDown();
    }
    // Sends the frames at once and waits for the node's answer: the microseconds from the
    // first frame sent to the answer's arrival.
    qint64 answerAfter(const QList<sim::Frame>& frames, sim::Frame& answer) {
        QElapsedTimer t;
        t.start();
        for (const sim::Frame& f : frames) send(f.id, f.data);
        const auto got = next(0x580 + kNode, 10000);
        const qint64 us = t.nsecsElapsed() / 1000;
        if (got) answer = *got;
        return got ? us : -1;
    }
};

TEST_F(SimPacing, ABlockIsAcknowledgedOnlyAfterTheBusWouldHaveCarriedIt) {
    const QByteArray data = sim::testPattern(140);  // 20 segments
    const QByteArray init = sdo(request(0xC6, 0x2000, 0, quint32(data.size())));
    ASSERT_EQ(quint8(init[0]) & 0xFB, 0xA0);
    ASSERT_GE(quint8(init[4]), 20);
    QList<sim::Frame> block;
    for (int s = 0; s < 20; ++s) {
        QByteArray seg = bytes({(s == 19 ? 0x80 : 0) | (s + 1)});
        seg.replace(1, 7, data.mid(s * 7, 7));
        block.append({0x600u + kNode, seg});
    }
    sim::Frame ack;
    const qint64 us = answerAfter(block, ack);
    ASSERT_GE(us, 0) << "no acknowledgement";
    ASSERT_EQ(quint8(ack.data[0]), 0xA2);
    EXPECT_EQ(quint8(ack.data[1]), 20);
    EXPECT_GE(us, busMicros(block) + busMicros({ack}));
}

TEST_F(SimPacing, AnAnswerWaitsForTheFramesOfOtherNodesBeforeItAndOnIdleBusForNoneButItsOwn) {
    const sim::Frame request1{0x600u + kNode, request(0x40, 0x1017, 0)};
    sim::Frame answer;
    // On an idle bus: the request and the answer, and no phantom frames before them.
    const qint64 idle = answerAfter({request1}, answer);
    ASSERT_GE(idle, 0);
    EXPECT_EQ(quint8(answer.data[0]), 0x4B);
    EXPECT_GE(idle, busMicros({request1, answer}));
    QList<sim::Frame> others;
    for (int i = 0; i < 10; ++i) others.append({0x123, bytes({i, 0x55, 0xAA, i, 0, 0xFF, 0, i})});
    EXPECT_LT(idle, busMicros(others));
    drain();

    // Behind ten frames of another node that the simulator does not answer.
    const qint64 behind = answerAfter(others + QList<sim::Frame>{request1}, answer);
    ASSERT_GE(behind, 0);
    EXPECT_GE(behind, busMicros(others) + busMicros({request1, answer}));
}

TEST_F(SimPacing, TheSimulatorsOwnFramesFollowOneAnotherAtTheirBitTime) {
    // A block upload's sub-block: the segments follow one another at their bit time.
    m_node->od().setValue(0x2000, 0, sim::testPattern(70));
    QByteArray init = request(0xA4, 0x2000, 0);
    init[4] = 127;
    const QByteArray resp = sdo(init);
    ASSERT_EQ(quint8(resp[0]) & 0xF9, 0xC0);
    QElapsedTimer t;
    t.start();
    send(0x600 + kNode, bytes({0xA3}));
    QList<sim::Frame> segments;
    QList<qint64> arrivals;
    for (int i = 0; i < 10; ++i) {
        const auto f = next(0x580 + kNode, 5000);
        ASSERT_TRUE(f.has_value()) << i;
        segments.append(*f);
        arrivals.append(t.nsecsElapsed() / 1000);
    }
    // Each segment no earlier than the start request and the segments up to it took the bus.
    const qint64 start = busMicros({{0x600u + kNode, bytes({0xA3})}});
    for (int i = 0; i < 10; ++i) EXPECT_GE(arrivals[i], start + busMicros(segments.mid(0, i + 1))) << i;
}

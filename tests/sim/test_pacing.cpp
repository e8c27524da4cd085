// The simulated bus at a bit rate: the frames it receives and the frames it sends share the
// one bus, each for its bit time, and an answer leaves only when the bus is free. A small
// bit rate makes each frame last some 12 ms, so that the bus time stands out from the
// event loop's own delays.
#include "lib/bustiming.h"
#include "lib/scenario.h"
#include "simbus.h"

#include <QElapsedTimer>
#include <QMutex>
#include <chrono>
#include <vector>

using namespace simtest;

namespace {
constexpr int kRate = 10000;

qint64 busMicros(const QList<sim::Frame>& frames) {
    qint64 us = 0;
    for (const sim::Frame& f : frames) us += sim::frameMicros(f.id, f.data, kRate);
    return us;
}

// A block download's sub-block to the test node carrying all of data, 7 bytes a segment.
QList<sim::Frame> subBlock(const QByteArray& data) {
    QList<sim::Frame> block;
    const int segments = int((data.size() + 6) / 7);
    for (int s = 0; s < segments; ++s) {
        QByteArray seg = bytes({(s == segments - 1 ? 0x80 : 0) | (s + 1)});
        seg.replace(1, 7, data.mid(s * 7, 7));
        block.append({0x600u + kNode, seg});
    }
    return block;
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
    const QList<sim::Frame> block = subBlock(data);
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

TEST_F(SimPacing, TheRecorderGivesEachFrameTheMomentItsLastBitWasOnTheBus) {
    // What the download benchmark measures the bus by: a sub-block sent at once lies on the
    // bus back to back, and the acknowledgement follows the last segment without a gap.
    QMutex mutex;
    std::vector<std::pair<sim::Frame, qint64>> recorded;
    m_sim->setBusRecorder([&](const sim::Frame& f, qint64 us) {
        QMutexLocker lock(&mutex);
        recorded.push_back({f, us});
    });
    const QByteArray data = sim::testPattern(35);  // 5 segments
    ASSERT_EQ(quint8(sdo(request(0xC6, 0x2000, 0, quint32(data.size())))[0]) & 0xFB, 0xA0);
    {
        QMutexLocker lock(&mutex);
        recorded.clear();
    }
    const QList<sim::Frame> block = subBlock(data);
    sim::Frame ack;
    ASSERT_GE(answerAfter(block, ack), 0) << "no acknowledgement";
    const qint64 arrived =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    m_sim->setBusRecorder(nullptr);

    ASSERT_EQ(recorded.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(recorded[i].first.data, block[i].data) << i;
    EXPECT_EQ(recorded[5].first.data, ack.data);
    for (size_t i = 1; i < recorded.size(); ++i)
        EXPECT_EQ(recorded[i].second - recorded[i - 1].second, busMicros({recorded[i].first})) << i;
    EXPECT_LE(recorded[5].second, arrived);
}

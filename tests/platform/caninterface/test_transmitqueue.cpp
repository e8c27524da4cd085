// The layer's transmit queue in front of a converter whose own queue fills: order kept,
// refused frames written again on the queue's own timer, and given up only when no frame
// has left for longer than their time-out.
#include "caninterface/transmitqueue.h"
#include "testsupport.h"

#include <QCanBusDevice>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Takes as many frames as it has room for; full, it refuses with a write error, as a
// kernel driver's device does.
class RoomDevice : public QCanBusDevice {
public:
    int room = 0;
    bool connected = true;
    std::vector<quint32> taken;
    RoomDevice() { setState(QCanBusDevice::ConnectedState); }
    bool writeFrame(const QCanBusFrame& f) override {
        if (!connected) {
            setError(QStringLiteral("not connected"), QCanBusDevice::OperationError);
            return false;
        }
        if (room <= 0) {
            setError(QStringLiteral("No buffer space available"), QCanBusDevice::WriteError);
            return false;
        }
        --room;
        taken.push_back(f.frameId());
        return true;
    }
    QString interpretErrorFrame(const QCanBusFrame&) override { return {}; }

protected:
    bool open() override { return true; }
    void close() override {}
};

QCanBusFrame frame(quint32 id) { return QCanBusFrame(id, QByteArray(8, char(id))); }

struct TransmitQueueTest : ::testing::Test {
    RoomDevice device;
    TransmitQueue queue;
    std::vector<std::pair<quint32, bool>> told;  // in the order the frames were told
    int emptied = 0;
    void SetUp() override {
        queue.setDevice(&device);
        QObject::connect(&queue, &TransmitQueue::emptied, [this] { ++emptied; });
    }
    bool push(quint32 id, int timeoutMs, int tag = 1) {
        return queue.push(frame(id), timeoutMs, tag, [this, id](bool left) { told.push_back({id, left}); });
    }
};

}  // namespace

TEST_F(TransmitQueueTest, RefusedFramesLeaveInOrderOnTheQueuesOwnTimerAsRoomComes) {
    device.room = 2;
    for (quint32 id = 1; id <= 20; ++id) ASSERT_TRUE(push(id, 5000));
    EXPECT_EQ(device.taken.size(), 2u);
    EXPECT_FALSE(queue.empty());
    // Room comes by itself, three frames at a time: nothing is pushed again.
    ASSERT_TRUE(testsupport::waitFor([&] { return queue.empty(); }, 5000, [&] { device.room += 3; }));
    std::vector<quint32> expected;
    for (quint32 id = 1; id <= 20; ++id) expected.push_back(id);
    EXPECT_EQ(device.taken, expected);
    ASSERT_EQ(told.size(), 20u);
    for (quint32 id = 1; id <= 20; ++id) EXPECT_EQ(told[id - 1], std::make_pair(id, true));
    EXPECT_EQ(emptied, 1);
    EXPECT_EQ(queue.refusal(), QStringLiteral("No buffer space available"));
}

TEST_F(TransmitQueueTest, AFrameBehindWaitingOnesWaitsItsTurnEvenWhenThereIsRoom) {
    device.room = 0;
    ASSERT_TRUE(push(1, 5000));
    device.room = 5;
    ASSERT_TRUE(push(2, 5000));
    EXPECT_TRUE(device.taken.empty());  // 2 does not overtake 1
    ASSERT_TRUE(testsupport::waitFor([&] { return queue.empty(); }, 5000));
    EXPECT_EQ(device.taken, (std::vector<quint32>{1, 2}));
}

TEST_F(TransmitQueueTest, NoFrameLeavingForLongerThanTheTimeOutGivesUpTheWaitingFrames) {
    device.room = 1;
    ASSERT_TRUE(push(1, 200));
    ASSERT_TRUE(push(2, 200));
    ASSERT_TRUE(push(3, 200));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(testsupport::waitFor([&] { return queue.empty(); }, 5000));
    EXPECT_GE(t.elapsed(), 200);
    EXPECT_EQ(device.taken, std::vector<quint32>{1});
    EXPECT_EQ(told, (std::vector<std::pair<quint32, bool>>{{1, true}, {2, false}, {3, false}}));
    // The converter takes frames again: the next one leaves at once.
    device.room = 1;
    EXPECT_TRUE(push(4, 200));
    EXPECT_EQ(device.taken.back(), 4u);
}

TEST_F(TransmitQueueTest, ASlowTrickleIsNoStallTheTimeOutCountsFromTheLastFrameThatLeft) {
    device.room = 0;
    for (quint32 id = 1; id <= 8; ++id) ASSERT_TRUE(push(id, 1000));
    // One frame of room every 250 ms: the whole queue waits 2 s, no frame 1 s.
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(testsupport::waitFor([&] { return queue.empty(); }, 10000, [&] {
        if (t.elapsed() >= 250) {
            device.room = 1;
            t.restart();
        }
    }));
    EXPECT_EQ(device.taken.size(), 8u);
    for (const auto& [id, left] : told) EXPECT_TRUE(left) << id;
}

TEST_F(TransmitQueueTest, AFrameRefusedForAnotherReasonIsNotKept) {
    device.connected = false;
    EXPECT_FALSE(push(1, 1000));
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(told.empty());
}

TEST_F(TransmitQueueTest, DiscardDropsTheWaitingFramesOfOneTagAndANewDeviceGivesUpTheRest) {
    device.room = 0;
    ASSERT_TRUE(push(1, 5000, 1));
    ASSERT_TRUE(push(2, 5000, 2));
    ASSERT_TRUE(push(3, 5000, 1));
    queue.discard(1);
    queue.setDevice(nullptr);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(told, (std::vector<std::pair<quint32, bool>>{{2, false}}));
}

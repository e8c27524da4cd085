// The receive queue when the caller does not read it for a long time.
#include "caninterface/receivequeue.h"

#include <gtest/gtest.h>

namespace {

CanMessage frame(quint32 cobId, char tag) { return {cobId, QByteArray(8, tag)}; }

std::vector<CanMessage> takeAll(ReceiveQueue& q, int& overruns) {
    std::vector<CanMessage> out;
    overruns = 0;
    for (;;) {
        CanMessage m;
        int left = 0;
        const ReceiveQueue::Take t = q.take(m, left);
        if (t == ReceiveQueue::Take::Empty) break;
        if (t == ReceiveQueue::Take::Overrun) ++overruns;
        else out.push_back(m);
    }
    return out;
}

TEST(ReceiveQueue, OtherNodesSdoTrafficBeyondTheCapacityCostsNoPublishedValue) {
    ReceiveQueue q;
    int values = 0;
    // Module 0 loading a cylinder: requests and responses, with a value published now and then.
    for (int i = 0; i < 5 * ReceiveQueue::Capacity; ++i) {
        q.push(frame(i % 2 ? 0x582 : 0x602, 's'));
        if (i % 1000 == 0) {
            q.push(frame(0x411, char('a' + values % 26)));
            ++values;
        }
    }
    int overruns = 0;
    const std::vector<CanMessage> got = takeAll(q, overruns);
    EXPECT_EQ(overruns, 0);
    EXPECT_EQ(int(got.size()), ReceiveQueue::Capacity);
    int seen = 0;
    for (const CanMessage& m : got) {
        if (m.cobId != 0x411) continue;
        EXPECT_EQ(m.data[0], char('a' + seen % 26));
        ++seen;
    }
    EXPECT_EQ(seen, values);
}

TEST(ReceiveQueue, WithoutSuchFramesTheOldestGoesAndTheLossIsReportedOnce) {
    ReceiveQueue q;
    for (int i = 0; i < ReceiveQueue::Capacity + 3; ++i) q.push({0x701, QByteArray(1, char(i & 0x7F))});
    int overruns = 0;
    const std::vector<CanMessage> got = takeAll(q, overruns);
    EXPECT_EQ(overruns, 1);
    ASSERT_EQ(int(got.size()), ReceiveQueue::Capacity);
    EXPECT_EQ(got.front().data[0], char(3));
}

}  // namespace

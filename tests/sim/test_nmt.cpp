// NMT state machine, boot-up and heartbeat of a simulated node.
#include "lib/node.h"
#include "simbus.h"
#include "testsupport.h"

using namespace simtest;

namespace {
QByteArray nmt(int cmd, int node) {
    QByteArray b;
    b += char(cmd);
    b += char(node);
    return b;
}
}  // namespace

class SimNmt : public SimBus {
protected:
    // The state in the next heartbeat.
    int heartbeatState() {
        auto f = next(0x700 + kNode, 1000);
        return f && f->data.size() == 1 ? quint8(f->data[0]) : -1;
    }
};

TEST_F(SimNmt, HeartbeatFollowsTheProducerTimeAndState) {
    EXPECT_TRUE(silent(0x700 + kNode, 150));  // 0x1017 = 0: no heartbeat
    m_node->od().setU32(0x1017, 0, 30);
    EXPECT_EQ(heartbeatState(), 0x7F);
    send(0x000, nmt(0x01, 0));
    waitFor([&] { return m_node->state() == sim::Node::Operational; }, 1000);
    clearInbox();
    EXPECT_EQ(heartbeatState(), 0x05);
    send(0x000, nmt(0x02, kNode));
    waitFor([&] { return m_node->state() == sim::Node::Stopped; }, 1000);
    clearInbox();
    EXPECT_EQ(heartbeatState(), 0x04);
    send(0x000, nmt(0x80, kNode));
    waitFor([&] { return m_node->state() == sim::Node::PreOperational; }, 1000);
    clearInbox();
    EXPECT_EQ(heartbeatState(), 0x7F);
    // A command for another node changes nothing.
    send(0x000, nmt(0x01, kNode + 1));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(m_node->state(), sim::Node::PreOperational);
}

TEST_F(SimNmt, ProducerTimeWrittenBySdoTakesEffect) {
    EXPECT_EQ(download(0x1017, 0, QByteArray("\x14\x00", 2)), 0u);
    EXPECT_EQ(heartbeatState(), 0x7F);
    EXPECT_EQ(download(0x1017, 0, QByteArray("\x00\x00", 2)), 0u);
    clearInbox();
    EXPECT_TRUE(silent(0x700 + kNode, 150));
}

TEST_F(SimNmt, ResetsSendBootUpAndCallTheHandler) {
    std::vector<sim::Node::Reset> resets;
    m_sim->invoke([&] { m_node->setResetHandler([&](sim::Node::Reset r) { resets.push_back(r); }); });
    for (int cmd : {0x81, 0x82}) {
        send(0x000, nmt(0x01, 0));
        waitFor([&] { return m_node->state() == sim::Node::Operational; }, 1000);
        send(0x000, nmt(cmd, cmd == 0x81 ? 0 : kNode));
        auto f = next(0x700 + kNode);
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(f->data, QByteArray(1, '\0'));
        EXPECT_EQ(m_node->state(), sim::Node::PreOperational);
    }
    m_sim->invoke([&] { m_node->setResetHandler({}); });
    EXPECT_EQ(resets, (std::vector<sim::Node::Reset>{sim::Node::Reset::Node, sim::Node::Reset::Communication}));
}

TEST_F(SimNmt, StoppedNodeServesNoSdo) {
    send(0x000, nmt(0x02, kNode));
    waitFor([&] { return m_node->state() == sim::Node::Stopped; }, 1000);
    EXPECT_TRUE(sdo(request(0x40, 0x1000, 0), 200).isEmpty());
    send(0x000, nmt(0x01, kNode));
    EXPECT_EQ(quint8(sdo(request(0x40, 0x1000, 0))[0]), 0x43);
}

TEST_F(SimNmt, NodesAddedBeforeTheBusBootWhenItComes) {
    sim::Simulator other;
    sim::Node* n = other.addNode(0x21);
    EXPECT_TRUE(silent(0x721, 100));
    ASSERT_TRUE(other.start(testsupport::busUrl(busPort())));
    ASSERT_TRUE(other.waitConnected());
    auto f = next(0x721);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->data, QByteArray(1, '\0'));
    EXPECT_EQ(n->state(), sim::Node::PreOperational);
}

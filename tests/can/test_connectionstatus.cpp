// The module-state query: heartbeats on the S-Bus, module 0's auto-download status on the
// M-Bus, and the one login to it.
#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "desktop/timeservice.h"
#include "masterfixture.h"
#include "services/modglobal.h"

using namespace mastertest;
using namespace modConnectionStatus;
using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;

namespace {
class ConnectionStatus : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        bus(0);
    }
    // A heartbeat onto the bus; returns once the master has taken it in and ticked once.
    void heartbeatAndTick(quint32 cobId) {
        deliver({{cobId, bytes({0x05})}});
        clock->advance(200);
    }
    void moduleStates(const QByteArray& value) { deliver({{0x411, symbolFrame(symModuleStateRO, value)}}); }
    size_t logins() { return log(0).withId(0x482).size(); }
};
}  // namespace

TEST_F(ConnectionStatus, OnTheSBusTheHeartbeatsAnswer) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    heartbeatAndTick(0x723);
    heartbeatAndTick(0x775);
    const moduleProtocol::ModuleStates s = g_getConnectionStatus();
    ASSERT_EQ(s.size(), moduleCount);
    for (int m = 0; m < moduleCount; ++m)
        EXPECT_EQ(s[m], m == 3 ? ModuleState::application : m == 5 ? ModuleState::bootloader : ModuleState::none) << m;
    EXPECT_EQ(g_getModuleStatus(3), ModuleState::application);
    EXPECT_EQ(g_getModuleStatus(5), ModuleState::bootloader);
    settle(100);
    EXPECT_EQ(logins(), 0u);
}

TEST_F(ConnectionStatus, SpareModuleInItsBootloaderResetsTheAutoDownloadStatesWithoutLogin) {
    ASSERT_TRUE(initialise("M-Bus"));
    moduleStates(bytes({0x06, 0x00, 0x00, 0x00}));
    ASSERT_EQ(modAutoDownload::g_getModuleStatusADL(1), ModuleState::application);
    heartbeatAndTick(0x77F);
    const moduleProtocol::ModuleStates s = g_getConnectionStatus();
    ASSERT_EQ(s.size(), moduleCount);
    EXPECT_EQ(s[0], ModuleState::bootloader);
    for (int m = 1; m < moduleCount; ++m) EXPECT_EQ(s[m], ModuleState::none) << m;
    settle(100);
    EXPECT_EQ(logins(), 0u);
    EXPECT_FALSE(isAutoDownloadConnected());
}

TEST_F(ConnectionStatus, SpareModuleRunningLogsInOnceAndAgainAfterItWasGone) {
    ASSERT_TRUE(initialise("M-Bus"));
    heartbeatAndTick(0x711);
    moduleProtocol::ModuleStates s = g_getConnectionStatus();
    s = g_getConnectionStatus();
    ASSERT_TRUE(waitFor([&] { return logins() == 1; }));
    EXPECT_EQ(log(0).withId(0x482)[0].data, bytes({0x8B, 0, 0, 0, 0, 0, 0, 0}));
    // The auto-download states answer for the cylinders; module 0 keeps its heartbeat state.
    moduleStates(bytes({0x06, 0x00, 0x01, 0x00}));
    s = g_getConnectionStatus();
    EXPECT_EQ(s[0], ModuleState::application);
    EXPECT_EQ(s[1], ModuleState::application);
    EXPECT_EQ(s[2], ModuleState::application);
    EXPECT_EQ(s[3], ModuleState::none);
    settle(100);
    EXPECT_EQ(logins(), 1u);

    clock->advance(16 * 200);  // module 0 falls silent
    s = g_getConnectionStatus();
    EXPECT_EQ(s[0], ModuleState::none);
    EXPECT_EQ(s[1], ModuleState::none) << "reset with the spare module gone";
    EXPECT_FALSE(isAutoDownloadConnected());
    heartbeatAndTick(0x711);
    g_getConnectionStatus();
    ASSERT_TRUE(waitFor([&] { return logins() == 2; }));
}

TEST_F(ConnectionStatus, ModuleStatusOnTheMBusTakesModuleZeroFromItsHeartbeat) {
    ASSERT_TRUE(initialise("M-Bus"));
    moduleStates(bytes({0x02, 0x00, 0x01, 0x00}));  // the register says module 0 is in its bootloader
    heartbeatAndTick(0x711);
    EXPECT_EQ(g_getModuleStatus(0), ModuleState::application);
    EXPECT_EQ(g_getModuleStatus(1), ModuleState::application);
    EXPECT_EQ(g_getModuleStatus(2), ModuleState::none);
    settle(100);
    EXPECT_EQ(logins(), 0u) << "the single query never logs in";
    qint32 status = 0;
    EXPECT_TRUE(master().g_searchNode(1, 0x11, true, status)) << "the node search reads the same sources";
    EXPECT_TRUE(master().g_searchNode(0, 0x11, true, status));
    EXPECT_FALSE(master().g_searchNode(0, 0x7F, true, status));
}

// Module 0 in its bootloader reports nothing: the rows keep the cylinders it reported last,
// in their bootloaders, while the query itself stays as it was. They are asked at their
// bootloader nodes only outside a command's wait and only every few seconds; the silent
// one goes, the answering one stays, and module 0 back in its application reports again.
TEST_F(ConnectionStatus, CylindersModuleZeroCannotReportStayShownWhileTheyAnswerBetweenCommands) {
    ASSERT_TRUE(initialise("M-Bus"));
    ASSERT_EQ(modGlobal::g_cobIdBootloaderSBus, 0x70);
    sim::Node* cylinder1 = bus(0).addNode(0x71, false);
    cylinder1->od().addDomain(0x100A, 0, QByteArray("3.10"), sim::Access::ReadOnly);
    // Upload requests only: a question that times out is followed by the client's abort.
    auto asked = [&](quint32 node) {
        size_t n = 0;
        for (const sim::Frame& f : log(0).withId(0x600 + node)) n += !f.data.isEmpty() && quint8(f.data[0]) == 0x40;
        return n;
    };
    heartbeatAndTick(0x711);
    g_getConnectionStatus();
    ASSERT_TRUE(waitFor([&] { return logins() == 1; }));
    moduleStates(bytes({0x06, 0x00, 0x01, 0x00}));  // cylinders 1 and 2 run
    ASSERT_EQ(g_getShownStatus()[2], ModuleState::application);

    heartbeatAndTick(0x77F);  // module 0 goes into its bootloader
    moduleProtocol::ModuleStates s = g_getShownStatus();
    EXPECT_EQ(s[0], ModuleState::bootloader);
    EXPECT_EQ(s[1], ModuleState::bootloader);
    EXPECT_EQ(s[2], ModuleState::bootloader);
    EXPECT_EQ(s[3], ModuleState::none) << "never reported, never shown";
    EXPECT_EQ(g_getConnectionStatus()[1], ModuleState::none) << "the module-state query answers as before";
    EXPECT_EQ(g_getModuleStatus(1), ModuleState::none);
    EXPECT_FALSE(isAutoDownloadConnected());

    {
        const TimeService::WaitScope command;  // a command waits: its ticks ask nothing
        for (int tick = 0; tick < 20; ++tick) heartbeatAndTick(0x77F);
    }
    settle(50);
    EXPECT_EQ(asked(0x71) + asked(0x72), 0u);
    EXPECT_EQ(g_getShownStatus()[2], ModuleState::bootloader);

    heartbeatAndTick(0x77F);  // between commands
    EXPECT_TRUE(waitFor([&] { return asked(0x71) == 1 && asked(0x72) == 1; }));
    s = g_getShownStatus();
    EXPECT_EQ(s[1], ModuleState::bootloader);
    EXPECT_EQ(s[2], ModuleState::none) << "no answer at its bootloader node";
    heartbeatAndTick(0x77F);
    settle(50);
    EXPECT_EQ(asked(0x71), 1u) << "not asked on every tick";
    for (int tick = 0; tick < 15; ++tick) heartbeatAndTick(0x77F);
    EXPECT_TRUE(waitFor([&] { return asked(0x71) == 2; }));
    EXPECT_EQ(asked(0x72), 1u) << "once gone, never asked again";
    EXPECT_EQ(g_getShownStatus()[1], ModuleState::bootloader);

    heartbeatAndTick(0x711);  // module 0 runs its application and reports again
    s = g_getShownStatus();
    EXPECT_EQ(s[0], ModuleState::application);
    EXPECT_EQ(s[1], ModuleState::none) << "its report, not the kept row";
    for (int tick = 0; tick < 20; ++tick) heartbeatAndTick(0x711);
    settle(50);
    EXPECT_EQ(asked(0x71), 2u);
}

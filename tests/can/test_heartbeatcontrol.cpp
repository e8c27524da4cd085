// Heartbeat supervision: module states from heartbeats, ageing on the tick.
#include "can/frmcanopen.h"
#include "can/modheartbeatcontrol.h"
#include "masterfixture.h"
#include "services/modglobal.h"

using namespace mastertest;
using namespace modHeartBeatControl;
using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;

namespace {
class HeartBeat : public MasterTest {
protected:
    void bases(qint16 application, qint16 bootloader, bool mBus) {
        modGlobal::g_cobIdApplication = application;
        modGlobal::g_cobIdBootloader = bootloader;
        modGlobal::g_isMBusConnection = mBus;
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) g_heartBeatControl_Update();
    }
};
}  // namespace

TEST_F(HeartBeat, SBusNodesMapToModulesByBase) {
    bases(0x20, 0x70, false);
    g_receiveHeartBeat(0x700 + 0x21);
    g_receiveHeartBeat(0x700 + 0x7E);  // module 14 in the bootloader
    g_receiveHeartBeat(0x700 + 0x20 + moduleCount);  // neither range
    EXPECT_EQ(g_getModuleStatusHB(1), ModuleState::none) << "states change only on the tick";
    ticks(1);
    const moduleProtocol::ModuleStates s = g_getHeartBeatStatus();
    ASSERT_EQ(s.size(), moduleCount);
    for (int m = 0; m < moduleCount; ++m)
        EXPECT_EQ(s[m], m == 1 ? ModuleState::application : m == 14 ? ModuleState::bootloader : ModuleState::none) << m;
}

TEST_F(HeartBeat, OnTheMBusOnlyModuleZeroIsSupervised) {
    bases(0x11, 0x7F, true);
    g_receiveHeartBeat(0x700 + 0x11);
    // The cylinder modules answer on 0x20 + m and 0x70 + m: outside both ranges.
    for (int m = 1; m < moduleCount; ++m) {
        g_receiveHeartBeat(0x700 + 0x20 + m);
        g_receiveHeartBeat(0x700 + 0x70 + m);
    }
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(0), ModuleState::application);
    for (int m = 1; m < moduleCount; ++m) EXPECT_EQ(g_getModuleStatusHB(m), ModuleState::none) << m;
}

TEST_F(HeartBeat, Node113OnTheMBusMarksAnOldBootloader) {
    bases(0x11, 0x7F, true);
    g_receiveHeartBeat(0x771);
    ticks(1);
    EXPECT_TRUE(g_oldBootloaderDetectedOnMBus());
    for (int m = 0; m < moduleCount; ++m) EXPECT_EQ(g_getModuleStatusHB(m), ModuleState::none);
    g_initialise();
    EXPECT_FALSE(g_oldBootloaderDetectedOnMBus());
    bases(0x11, 0x7F, false);
    g_receiveHeartBeat(0x771);
    EXPECT_FALSE(g_oldBootloaderDetectedOnMBus()) << "only on the M-Bus";
}

TEST_F(HeartBeat, ApplicationToBootloaderAtTheNextTick) {
    bases(0x20, 0x70, false);
    g_receiveHeartBeat(0x700 + 0x23);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(3), ModuleState::application);
    g_receiveHeartBeat(0x700 + 0x73);
    EXPECT_EQ(g_getModuleStatusHB(3), ModuleState::application);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(3), ModuleState::bootloader);
}

TEST_F(HeartBeat, SilentModuleKeepsItsStateFor15TicksAndIsDroppedOnThe16th) {
    bases(0x20, 0x70, false);
    g_receiveHeartBeat(0x700 + 0x25);
    ticks(15);
    EXPECT_EQ(g_getModuleStatusHB(5), ModuleState::application);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(5), ModuleState::none);
    g_receiveHeartBeat(0x700 + 0x25);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(5), ModuleState::application) << "a long silence does not stop a later heartbeat";
}

TEST_F(HeartBeat, InitialiseClearsAndTheTickRefreshesTheDisplayWhileAsked) {
    bases(0x20, 0x70, false);
    g_receiveHeartBeat(0x700 + 0x20);
    ticks(1);
    EXPECT_EQ(display.refreshes, 1);
    g_heartBeatRefresh = false;
    ticks(1);
    EXPECT_EQ(display.refreshes, 1);
    g_initialise();
    EXPECT_TRUE(g_heartBeatRefresh);
    EXPECT_EQ(g_getModuleStatusHB(0), ModuleState::none);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(0), ModuleState::none);
}

TEST_F(HeartBeat, QueriesOutsideTheModulesAnswerNone) {
    EXPECT_EQ(g_getModuleStatusHB(-1), ModuleState::none);
    EXPECT_EQ(g_getModuleStatusHB(moduleCount), ModuleState::none);
}

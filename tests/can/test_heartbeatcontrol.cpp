// Heartbeat supervision: module states from heartbeats, ageing on the tick.
#include "can/frmcanopen.h"
#include "can/modheartbeatcontrol.h"
#include "masterfixture.h"
#include "services/modglobal.h"

using namespace mastertest;
using namespace modHeartBeatControl;

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
    g_receiveHeartBeat(0x700 + 0x20 + 15);  // neither range
    EXPECT_EQ(g_getModuleStatusHB(1), stateNone) << "states change only on the tick";
    ticks(1);
    const QVector<qint32> s = g_getHeartBeatStatus();
    ASSERT_EQ(s.size(), 15);
    for (int m = 0; m < 15; ++m) EXPECT_EQ(s[m], m == 1 ? 1 : m == 14 ? 2 : 0) << m;
}

TEST_F(HeartBeat, OnTheMBusOnlyModuleZeroIsSupervised) {
    bases(0x11, 0x7F, true);
    g_receiveHeartBeat(0x700 + 0x11);
    // The cylinder modules answer on 0x20 + m and 0x70 + m: outside both ranges.
    for (int m = 1; m < 15; ++m) {
        g_receiveHeartBeat(0x700 + 0x20 + m);
        g_receiveHeartBeat(0x700 + 0x70 + m);
    }
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(0), stateApplication);
    for (int m = 1; m < 15; ++m) EXPECT_EQ(g_getModuleStatusHB(m), stateNone) << m;
}

TEST_F(HeartBeat, Node113OnTheMBusMarksAnOldBootloader) {
    bases(0x11, 0x7F, true);
    g_receiveHeartBeat(0x771);
    ticks(1);
    EXPECT_TRUE(g_oldBootloaderDetectedOnMBus());
    for (int m = 0; m < 15; ++m) EXPECT_EQ(g_getModuleStatusHB(m), stateNone);
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
    EXPECT_EQ(g_getModuleStatusHB(3), stateApplication);
    g_receiveHeartBeat(0x700 + 0x73);
    EXPECT_EQ(g_getModuleStatusHB(3), stateApplication);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(3), stateBootloader);
}

TEST_F(HeartBeat, SilentModuleKeepsItsStateFor15TicksAndIsDroppedOnThe16th) {
    bases(0x20, 0x70, false);
    g_receiveHeartBeat(0x700 + 0x25);
    ticks(15);
    EXPECT_EQ(g_getModuleStatusHB(5), stateApplication);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(5), stateNone);
    g_receiveHeartBeat(0x700 + 0x25);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(5), stateApplication) << "a long silence does not stop a later heartbeat";
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
    EXPECT_EQ(g_getModuleStatusHB(0), stateNone);
    ticks(1);
    EXPECT_EQ(g_getModuleStatusHB(0), stateNone);
}

TEST_F(HeartBeat, QueriesOutsideTheModulesAnswerNone) {
    EXPECT_EQ(g_getModuleStatusHB(-1), stateNone);
    EXPECT_EQ(g_getModuleStatusHB(15), stateNone);
}

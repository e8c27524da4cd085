#include "can/modheartbeatcontrol.h"

#include "can/frmcanopen.h"
#include "can/links.h"
#include "can/moduleprotocol.h"
#include "caninterface/canopenids.h"
#include "services/modglobal.h"

#include <array>

namespace modHeartBeatControl {

bool g_heartBeatRefresh = false;

namespace {
using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;

// Zeroed until the first g_initialise: nothing is alive before a bus is set up.
struct Modules {
    moduleProtocol::Selection applicationAlive{};
    moduleProtocol::Selection bootloaderAlive{};
    std::array<qint32, moduleCount> applicationMisses{};
    std::array<qint32, moduleCount> bootloaderMisses{};
    std::array<ModuleState, moduleCount> state{};
};
Modules m;
bool m_oldBootloader = false;

bool isModule(qint32 n) { return n >= 0 && n < moduleCount; }
// The counters only grow until the next heartbeat; kept from wrapping round on a long run.
void miss(qint32& counter) { if (counter <= missLimit) ++counter; }
}  // namespace

void g_initialise() {
    g_heartBeatRefresh = true;
    m_oldBootloader = false;
    m = Modules{};
}

void g_heartBeatControl_Update() {
    frmCANopen::instance().g_forceHeartBeatCheck();
    for (int i = 0; i < moduleCount; ++i) {
        miss(m.bootloaderMisses[i]);
        miss(m.applicationMisses[i]);
        if (m.bootloaderMisses[i] > missLimit) m.bootloaderAlive[i] = false;
        if (m.applicationMisses[i] > missLimit) m.applicationAlive[i] = false;
        if (m.applicationAlive[i]) m.state[i] = ModuleState::application;
        if (m.bootloaderAlive[i]) m.state[i] = ModuleState::bootloader;
        if (!m.applicationAlive[i] && !m.bootloaderAlive[i]) m.state[i] = ModuleState::none;
    }
    if (g_heartBeatRefresh) connectionDisplayLink::get().g_updateConnectionStatus();
}

void g_receiveHeartBeat(qint32 cobId) {
    const qint32 node = CanOpen::heartbeatNode(cobId);
    if (node == moduleProtocol::oldMBusBootloaderNode && modGlobal::g_isMBusConnection) m_oldBootloader = true;
    qint32 module = node - modGlobal::g_cobIdApplication;
    if (!isModule(module)) module = node - modGlobal::g_cobIdBootloader;
    if (!isModule(module)) return;
    const qint32 base = node - module;
    if (base == modGlobal::g_cobIdBootloader) {
        m.bootloaderMisses[module] = 0;
        m.bootloaderAlive[module] = true;
        m.applicationAlive[module] = false;
    }
    if (base == modGlobal::g_cobIdApplication) {
        m.applicationMisses[module] = 0;
        m.applicationAlive[module] = true;
        m.bootloaderAlive[module] = false;
    }
}

moduleProtocol::ModuleStates g_getHeartBeatStatus() { return m.state; }

ModuleState g_getModuleStatusHB(qint16 module) { return isModule(module) ? m.state[module] : ModuleState::none; }

bool g_oldBootloaderDetectedOnMBus() { return m_oldBootloader; }

}  // namespace modHeartBeatControl

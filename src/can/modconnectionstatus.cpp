#include "can/modconnectionstatus.h"

#include "can/canmaster.h"
#include "can/links.h"
#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "can/moduleprotocol.h"
#include "desktop/timeservice.h"
#include "services/modglobal.h"

#include <array>

namespace modConnectionStatus {

namespace {
using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;
// About as long as a silent module keeps its heartbeat state.
constexpr qint64 kCheckEveryMs = 3000;

bool m_autoDownloadConnected = false;
// The cylinders module 0 reported present when it left its application. Their bootloaders
// send no heartbeats on the M-Bus: only a question at their nodes tells they are still there.
moduleProtocol::Selection m_kept{};
qint64 m_checkedAt = -1;  // the last check of the kept cylinders; -1 none since kept

bool spareRuns(ModuleState spare) { return spare == ModuleState::application; }
bool anyKept() {
    for (bool k : m_kept)
        if (k) return true;
    return false;
}
void forgetKept() {
    m_kept.fill(false);
    m_checkedAt = -1;
}
// Module 0 has just left its application: what it reported last is all that is known.
void keepLastReported() {
    const moduleProtocol::ModuleStates last = modAutoDownload::g_getAutoDwnlConnStatus();
    for (int m = 1; m < moduleCount; ++m) m_kept[m] = last[m] != ModuleState::none;
    m_checkedAt = -1;
}
bool answersInBootloader(int module) {
    if (modGlobal::g_cobIdBootloaderSBus < 1) return false;
    QByteArray version;
    return canMasterLink::get().readQuiet(module + modGlobal::g_cobIdBootloaderSBus, moduleProtocol::idxSoftwareVersion, 0,
                                                 version);
}
}  // namespace

moduleProtocol::ModuleStates g_getConnectionStatus() {
    if (!modGlobal::g_isMBusConnection) {
        forgetKept();
        return modHeartBeatControl::g_getHeartBeatStatus();
    }
    const ModuleState spare = modHeartBeatControl::g_getModuleStatusHB(0);
    if (!spareRuns(spare)) {
        if (m_autoDownloadConnected) keepLastReported();
        m_autoDownloadConnected = false;
        modAutoDownload::g_resetConnectionStatus();
    } else {
        forgetKept();
        if (!m_autoDownloadConnected) {
            m_autoDownloadConnected = true;
            modAutoDownload::g_login();
        }
    }
    moduleProtocol::ModuleStates states = modAutoDownload::g_getAutoDwnlConnStatus();
    states[0] = spare;
    return states;
}

ModuleState g_getModuleStatus(qint16 module) {
    if (modGlobal::g_isMBusConnection && module != 0) return modAutoDownload::g_getModuleStatusADL(module);
    return modHeartBeatControl::g_getModuleStatusHB(module);
}

moduleProtocol::ModuleStates g_getShownStatus() {
    moduleProtocol::ModuleStates states = g_getConnectionStatus();
    if (!modGlobal::g_isMBusConnection || spareRuns(states[0])) return states;
    for (int m = 1; m < moduleCount; ++m)
        if (m_kept[m]) states[m] = ModuleState::bootloader;
    return states;
}

void g_checkKeptCylinders() {
    if (!modGlobal::g_isMBusConnection || !anyKept() || TimeService::insideWait()) return;
    if (spareRuns(modHeartBeatControl::g_getModuleStatusHB(0))) return;
    const qint64 now = TimeService::elapsedMs();
    if (m_checkedAt >= 0 && now - m_checkedAt < kCheckEveryMs) return;
    for (int m = 1; m < moduleCount; ++m)
        if (m_kept[m]) m_kept[m] = answersInBootloader(m);
    m_checkedAt = TimeService::elapsedMs();
}

bool isAutoDownloadConnected() { return m_autoDownloadConnected; }
void resetConnectedFlag() {
    m_autoDownloadConnected = false;
    forgetKept();
}

}  // namespace modConnectionStatus

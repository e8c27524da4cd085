#include "can/modconnectionstatus.h"

#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "services/modglobal.h"

namespace modConnectionStatus {

namespace {
bool m_autoDownloadConnected = false;
}  // namespace

QVector<qint32> g_getConnectionStatus() {
    if (!modGlobal::g_isMBusConnection) return modHeartBeatControl::g_getHeartBeatStatus();
    const qint32 spare = modHeartBeatControl::g_getModuleStatusHB(0);
    if (spare == modHeartBeatControl::stateNone || spare == modHeartBeatControl::stateBootloader) {
        m_autoDownloadConnected = false;
        modAutoDownload::g_resetConnectionStatus();
    } else if (!m_autoDownloadConnected) {
        m_autoDownloadConnected = true;
        modAutoDownload::g_login();
    }
    QVector<qint32> states = modAutoDownload::g_getAutoDwnlConnStatus();
    states.resize(15);
    states[0] = spare;
    return states;
}

qint32 g_getModuleStatus(qint16 module) {
    if (modGlobal::g_isMBusConnection && module != 0) return modAutoDownload::g_getModuleStatusADL(module);
    return modHeartBeatControl::g_getModuleStatusHB(module);
}

bool isAutoDownloadConnected() { return m_autoDownloadConnected; }
void resetConnectedFlag() { m_autoDownloadConnected = false; }

}  // namespace modConnectionStatus

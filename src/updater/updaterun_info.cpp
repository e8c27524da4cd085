// The system-information setters fed by the receive drain, the requests that make the
// modules publish, and the two symbol writes of the run.
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include "bytes/bytes.h"
#include "can/canmaster.h"
#include "services/modglobal.h"

using namespace modGlobal;

void UpdateRun::setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32 key) {
    // A cylinder's answer to the run's question for its own CRC is not the system's.
    if (row.symbol != &g_symCrcValueApplication || !keepCylinderCrc(moduleProtocol::moduleOfKey(key), value))
        keepSystemValue(m_info, row, key, value);
    canMasterLink::get().g_setServiceBit(key, 0);
}

void UpdateRun::setServiceBit(int value, int part) {
    CanMaster& master = canMasterLink::get();
    if (value == 1 && part <= 1) m_info.reset(g_symSwInfoEngineType != 0);
    if (part == 0 || part == 1)
        for (int i = 0; i < 4; ++i) master.g_setServiceBit(g_symSwInfoHullNo + i, quint8(value));
    if ((part == 0 || part == 2) && g_symSwInfoEngineType > 0)
        for (int i = 0; i < m_info.engineTypeSymbols && i < 8; ++i) master.g_setServiceBit(g_symSwInfoEngineType + i, quint8(value));
    if (part == 0 || part == 3)
        for (int place = 1; place <= int(systemSymbols.size()); ++place)
            for (const SystemSymbol& row : systemSymbols) {
                // The CRCs are asked of the module through which the bus is reached.
                const int module = row.ofBusModule ? m_mBusModuleNo : 0;
                if (row.asked == place) master.g_setServiceBit(moduleProtocol::symbolKey(*row.symbol, module), quint8(value));
            }
}

void UpdateRun::writeApplicationCrc(qint32 crc) {
    QByteArray value;
    bytes::put(value, 0, crc, 4, bytes::Order::LittleEndian);
    canMasterLink::get().g_writeSymbol(g_symCrcFirstApplication, 0, value);
}

void UpdateRun::writeAutoDownload(int value) {
    QByteArray bytes(4, '\0');
    bytes[0] = char(std::abs(value) & 0xFF);
    canMasterLink::get().g_writeSymbol(g_symAutoDownloadActivate, 0, bytes);
}

void UpdateRun::initialise() {
    for (int i = 11; i >= 1; --i) m_w.setText(i, m_w.stepName(i), UpdateWindow::buttonFace);
    m_updateNotNecessary = m_bootloaderModulesFound = m_updateFailed = m_updateCanceled = m_askingCylinders = false;
}

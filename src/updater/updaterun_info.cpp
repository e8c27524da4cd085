// The system-information setters fed by the receive drain, the requests that make the
// modules publish, and the two symbol writes of the run.
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include "bytes/bytes.h"
#include "services/modglobal.h"

using namespace modGlobal;

namespace {
// The symbol number of a received key: the top four bits name a module, not the symbol.
int symbolOf(qint32 key) { return key & 0xFFF; }
}  // namespace

void UpdateRun::withdraw(qint32 key) { updateModulesLink::get().setServiceBit(key, 0); }

void UpdateRun::keep(qint32& member, qint32 value, qint32 key) {
    member = value;
    withdraw(key);
}

void UpdateRun::g_setFirstApplicationCrc(const QByteArray& v, qint32 key) { keep(m_firstApplCrc, SystemInfo::value32(v), key); }
void UpdateRun::g_setNoOfCyl(const QByteArray& v, qint32 key) { keep(m_info.noOfCyl, SystemInfo::value8(v), key); }
void UpdateRun::g_setDeveloper(const QByteArray& v, qint32 key) { keep(m_info.developerNo, SystemInfo::value32(v), key); }
void UpdateRun::g_setBuild(const QByteArray& v, qint32 key) { keep(m_info.buildNo, SystemInfo::value32(v), key); }
void UpdateRun::g_setAutoDownload(const QByteArray& v, qint32 key) { keep(m_info.autoDownload, SystemInfo::value8(v), key); }
void UpdateRun::g_setCrcValueImo(const QByteArray& v, qint32 key) { keep(m_info.crcValueImo, SystemInfo::value32(v), key); }
void UpdateRun::g_setCrcLenImo(const QByteArray& v, qint32 key) { keep(m_info.crcLenImo, SystemInfo::value32(v), key); }
void UpdateRun::g_setCrcValueApplication(const QByteArray& v, qint32 key) { keep(m_info.crcValueAppl, SystemInfo::value32(v), key); }
void UpdateRun::g_setCrcLenApplication(const QByteArray& v, qint32 key) { keep(m_info.crcLenAppl, SystemInfo::value32(v), key); }

void UpdateRun::g_setHullNumber(const QByteArray& v, qint32 key) {
    m_info.setHullPart(symbolOf(key) - g_symSwInfoHullNo, v);
    withdraw(key);
}
void UpdateRun::g_setEngineType(const QByteArray& v, qint32 key) {
    m_info.setEngineTypePart(symbolOf(key) - g_symSwInfoEngineType, v);
    withdraw(key);
}

void UpdateRun::setServiceBit(int value, int part) {
    UpdateModulesLink& link = updateModulesLink::get();
    if (value == 1 && part <= 1) m_info.reset(g_symSwInfoEngineType != 0);
    if (part == 0 || part == 1)
        for (int i = 0; i < 4; ++i) link.setServiceBit(g_symSwInfoHullNo + i, value);
    if ((part == 0 || part == 2) && g_symSwInfoEngineType > 0)
        for (int i = 0; i < m_info.engineTypeSymbols && i < 8; ++i) link.setServiceBit(g_symSwInfoEngineType + i, value);
    if (part == 0 || part == 3) {
        for (qint32 sym : {g_symSwInfoBuild, g_symSwInfoDeveloperNo, g_symAutoDownloadActivate, g_symTotNoOfCyl})
            link.setServiceBit(sym, value);
        // The CRCs are asked of the module through which the bus is reached.
        for (qint32 sym : {g_symCrcValueImo, g_symCrcLenImo, g_symCrcValueApplication, g_symCrcLenApplication})
            link.setServiceBit(sym + 4096 * m_mBusModuleNo, value);
    }
}

void UpdateRun::writeApplicationCrc(qint32 crc) {
    QByteArray value;
    bytes::put(value, 0, crc, 4, bytes::Order::LittleEndian);
    updateModulesLink::get().writeSymbol(g_symCrcFirstApplication, 0, value);
}

void UpdateRun::writeAutoDownload(int value) {
    QByteArray bytes(4, '\0');
    bytes[0] = char(std::abs(value) & 0xFF);
    updateModulesLink::get().writeSymbol(g_symAutoDownloadActivate, 0, bytes);
}

void UpdateRun::initialise() {
    for (int i = 11; i >= 1; --i) m_w.setText(i, m_w.stepName(i), UpdateWindow::buttonFace);
    m_updateNotNecessary = m_bootloaderModulesFound = m_updateFailed = m_updateCanceled = false;
}

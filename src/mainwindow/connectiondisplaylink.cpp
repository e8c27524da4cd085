#include "mainwindow/connectiondisplaylink.h"

#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "can/modmodechange.h"

bool ConnectionDisplayBus::oldBootloaderDetectedOnMBus() { return modHeartBeatControl::g_oldBootloaderDetectedOnMBus(); }

QVector<qint32> ConnectionDisplayBus::getConnectionStatus() { return modConnectionStatus::g_getShownStatus(); }

void ConnectionDisplayBus::checkMBusModuleID(bool inBootloader) { modAutoDownload::g_checkMBusModuleID(inBootloader); }

qint32 ConnectionDisplayBus::getEngineStandStillStatus() { return modAutoDownload::g_getEngineStandStillStatus(); }

bool ConnectionDisplayBus::enoughCylindersToRunEngine() { return modModeChange::g_enoughCylindersToRunEngine(); }

QString ConnectionDisplayBus::getHardwareVersion(qint16 module, bool isInBootloader) {
    return frmCANopen::instance().g_getHardwareVersion(module, isInBootloader);
}

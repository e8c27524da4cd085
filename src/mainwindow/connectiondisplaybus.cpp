#include "mainwindow/connectiondisplaybus.h"

#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "can/modmodechange.h"

namespace connectionDisplayBus {

namespace {
const Fake* s_fake = nullptr;
}

void setFake(const Fake* fake) { s_fake = fake; }

bool oldBootloaderDetectedOnMBus() {
    if (s_fake && s_fake->oldBootloaderDetectedOnMBus) return s_fake->oldBootloaderDetectedOnMBus();
    return modHeartBeatControl::g_oldBootloaderDetectedOnMBus();
}

QVector<qint32> getConnectionStatus() {
    if (s_fake && s_fake->getConnectionStatus) return s_fake->getConnectionStatus();
    return modConnectionStatus::g_getConnectionStatus();
}

void checkMBusModuleID(bool inBootloader) {
    if (s_fake && s_fake->checkMBusModuleID) return s_fake->checkMBusModuleID(inBootloader);
    modAutoDownload::g_checkMBusModuleID(inBootloader);
}

qint32 getEngineStandStillStatus() {
    if (s_fake && s_fake->getEngineStandStillStatus) return s_fake->getEngineStandStillStatus();
    return modAutoDownload::g_getEngineStandStillStatus();
}

bool enoughCylindersToRunEngine() {
    if (s_fake && s_fake->enoughCylindersToRunEngine) return s_fake->enoughCylindersToRunEngine();
    return modModeChange::g_enoughCylindersToRunEngine();
}

QString getHardwareVersion(qint16 module, bool isInBootloader) {
    if (s_fake && s_fake->getHardwareVersion) return s_fake->getHardwareVersion(module, isInBootloader);
    return frmCANopen::instance().g_getHardwareVersion(module, isInBootloader);
}

}  // namespace connectionDisplayBus

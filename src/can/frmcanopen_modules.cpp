// What the CAN part knows of the modules, as the CAN master answers it for the other parts.
#include "can/frmcanopen.h"

#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "can/modmodechange.h"
#include "services/modglobal.h"

using moduleProtocol::ModuleState;
using moduleProtocol::ModuleStates;

namespace {

template <class Vector>
ModuleStates toStates(const Vector& states) {
    ModuleStates out{};
    for (int m = 0; m < moduleProtocol::moduleCount && m < int(states.size()); ++m) out[size_t(m)] = ModuleState(states[m]);
    return out;
}

}  // namespace

CanMaster& TheCanMaster::instance() { return frmCANopen::instance(); }

bool frmCANopen::g_bootupReceived() const { return modGlobal::g_bootupReceived; }
void frmCANopen::set_g_bootupReceived(bool on) { modGlobal::g_bootupReceived = on; }
bool frmCANopen::g_heartBeatRefresh() const { return modHeartBeatControl::g_heartBeatRefresh; }
void frmCANopen::set_g_heartBeatRefresh(bool on) { modHeartBeatControl::g_heartBeatRefresh = on; }

ModuleStates frmCANopen::heartBeatStates() { return toStates(modHeartBeatControl::g_getHeartBeatStatus()); }
ModuleStates frmCANopen::connectionStates() { return toStates(modConnectionStatus::g_getConnectionStatus()); }
ModuleState frmCANopen::moduleState(int module) { return ModuleState(modConnectionStatus::g_getModuleStatus(qint16(module))); }
ModuleStates frmCANopen::shownStates() { return toStates(modConnectionStatus::g_getShownStatus()); }
bool frmCANopen::oldBootloaderDetectedOnMBus() { return modHeartBeatControl::g_oldBootloaderDetectedOnMBus(); }
void frmCANopen::checkMBusModuleID(bool inBootloader) { modAutoDownload::g_checkMBusModuleID(inBootloader); }
qint32 frmCANopen::engineStandStillStatus() { return modAutoDownload::g_getEngineStandStillStatus(); }
bool frmCANopen::enoughCylindersToRunEngine() { return modModeChange::g_enoughCylindersToRunEngine(); }

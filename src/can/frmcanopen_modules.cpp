// What the CAN part knows of the modules, as the CAN master answers it for the other parts.
#include "can/frmcanopen.h"

#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modheartbeatcontrol.h"
#include "can/modmodechange.h"
#include "services/modglobal.h"

using moduleProtocol::ModuleState;
using moduleProtocol::ModuleStates;

CanMaster& TheCanMaster::instance() { return frmCANopen::instance(); }

bool frmCANopen::g_bootupReceived() const { return modGlobal::g_bootupReceived; }
void frmCANopen::set_g_bootupReceived(bool on) { modGlobal::g_bootupReceived = on; }
bool frmCANopen::g_heartBeatRefresh() const { return modHeartBeatControl::g_heartBeatRefresh; }
void frmCANopen::set_g_heartBeatRefresh(bool on) { modHeartBeatControl::g_heartBeatRefresh = on; }

ModuleStates frmCANopen::heartBeatStates() { return modHeartBeatControl::g_getHeartBeatStatus(); }
ModuleStates frmCANopen::connectionStates() { return modConnectionStatus::g_getConnectionStatus(); }
ModuleState frmCANopen::moduleState(int module) { return modConnectionStatus::g_getModuleStatus(qint16(module)); }
ModuleStates frmCANopen::shownStates() { return modConnectionStatus::g_getShownStatus(); }
bool frmCANopen::oldBootloaderDetectedOnMBus() { return modHeartBeatControl::g_oldBootloaderDetectedOnMBus(); }
void frmCANopen::checkMBusModuleID(bool inBootloader) { modAutoDownload::g_checkMBusModuleID(inBootloader); }
qint32 frmCANopen::engineStandStillStatus() { return modAutoDownload::g_getEngineStandStillStatus(); }
bool frmCANopen::enoughCylindersToRunEngine() { return modModeChange::g_enoughCylindersToRunEngine(); }

#pragma once
// The PC's side of module 0's auto-download on the M-Bus: the module states, update progress
// and failures that module 0 publishes for the cylinder modules behind it, the engine
// standstill signal, and module 0's command register.
#include "can/moduleprotocol.h"

#include <QByteArray>
#include <QtGlobal>
#include <functional>

namespace modAutoDownload {

// Commands of g_sendCommand.
constexpr qint16 cmdStartBootloader = 0;
constexpr qint16 cmdStartApplication = 1;
constexpr qint16 cmdDownload = 2;         // the section chooses the command word
constexpr qint16 cmdAbort = 3;
constexpr qint16 cmdReserved = 4;
constexpr qint16 cmdClearFailure = 5;

// Engine standstill status: 0 no news or expired, 1 standstill, 2 engine running.

void g_initialise();
void g_resetConnectionStatus();

moduleProtocol::ModuleStates g_getAutoDwnlConnStatus();  // the states of modules 0 to 14
moduleProtocol::ModuleState g_getModuleStatusADL(qint16 module);
// The last update-state fields; the result is the command-pending flag.
bool g_getAutoDownloadStatus(qint16& currentModule, qint16& field3, double& progress, qint16& attempt);
bool g_getAutoDownloadFailure(qint16 module);

void g_login();
void g_logoff();

// Receivers of the published symbols, called by the CAN master's receive drain with the
// four value bytes of the symbol message (missing bytes read as 0).
void g_setModuleStatus(const QByteArray& value);    // GLB_CAN_MODULE_STATE_RO
void g_setCommandStatus(const QByteArray& value);   // GLB_CAN_MODULE_STATE_RW
void g_setUpdateStatus(const QByteArray& value);    // GLB_CAN_SW_UPDATE_STATE_RO
void g_setUpdateFailure(const QByteArray& value);   // GLB_CAN_SW_UPDATE_FAILURE_RO
void g_setEngineStandStill(const QByteArray& value); // GLB_ENG_STSTILL

// Bit `module` of a 2-byte little-endian mask.
bool readSingleModule(const QByteArray& mask, qint16 module);

// Writes module 0's command register. False when refused (a command pending, an unknown
// command or section) or when the write failed.
bool g_sendCommand(qint16 command, qint32 value, qint16 section);

qint32 g_getEngineStandStillStatus();
// Every heartbeat-control tick, with the tick's interval in ms.
void g_checkEngineStandStillTimeout(qint32 intervalMs);

// Checks that the module answering as module 0 on the M-Bus is module 0.
void g_checkMBusModuleID(bool inBootloader);

}  // namespace modAutoDownload

#pragma once
// The module-state query: every part asks here whether a module runs its application,
// its bootloader or nothing. On the S-Bus the heartbeats answer; on the M-Bus module 0's
// heartbeat answers for module 0 and its auto-download status for the modules behind it.
#include "can/moduleprotocol.h"

#include <QtGlobal>

namespace modConnectionStatus {

// The states of modules 0 to 14. On the M-Bus it logs in to module 0's auto-download
// status once module 0 runs its application, and resets that status whenever module 0
// does not.
moduleProtocol::ModuleStates g_getConnectionStatus();
// One module's state; never logs in.
moduleProtocol::ModuleState g_getModuleStatus(qint16 module);

// The states the main window's rows show: those of g_getConnectionStatus, except that on
// the M-Bus, while module 0 runs no application and so reports nothing, the cylinders it
// reported last stay, in their bootloaders, until a check finds one silent.
moduleProtocol::ModuleStates g_getShownStatus();
// The CAN master's tick: only between commands (outside every wait with events), and at
// most every few seconds, asks each cylinder kept above at its bootloader node; one that
// does not answer is dropped. Nothing is sent while a command holds the bus.
void g_checkKeptCylinders();

// Whether the auto-download status is logged in by this query (for diagnostics).
bool isAutoDownloadConnected();
// Forgets the login and the cylinders kept, as at program start.
void resetConnectedFlag();

}  // namespace modConnectionStatus

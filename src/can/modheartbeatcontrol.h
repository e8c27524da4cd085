#pragma once
// Heartbeat supervision: for each module 0 to 14, whether it runs its application, its
// bootloader or nothing, from the CANopen heartbeats the receive drain hands over. The
// CAN master's 200 ms tick ages them: a module stays alive for 15 ticks after its last
// heartbeat and is dropped on the 16th.
#include "can/moduleprotocol.h"

#include <QtGlobal>

namespace modHeartBeatControl {

// Ticks without a heartbeat after which a program counts as gone.
constexpr qint32 missLimit = 15;

// The tick refreshes the main window's connection display.
extern bool g_heartBeatRefresh;

// Refresh on, old-bootloader flag off, every module's data cleared.
void g_initialise();
// The 200 ms tick: drains the received messages, ages the modules, refreshes the display.
void g_heartBeatControl_Update();
// A heartbeat or boot-up frame (COB-ID 0x700 + node).
void g_receiveHeartBeat(qint32 cobId);
moduleProtocol::ModuleStates g_getHeartBeatStatus();  // the states of modules 0 to 14
moduleProtocol::ModuleState g_getModuleStatusHB(qint16 module);
// A heartbeat of node 113 arrived while connected to the M-Bus.
bool g_oldBootloaderDetectedOnMBus();

}  // namespace modHeartBeatControl

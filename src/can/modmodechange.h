#pragma once
// The switch of modules between their application and their bootloader through the
// program-control object 0x1F51, and the waits until each module shows up in its new mode.
// On the M-Bus the cylinder modules 1 to 14 are switched through module 0's auto-download
// command register. Before bootloaders are started the engine must stand still.
//
// The waits hand control to the event loop each round: the heartbeat tick, the received
// messages (which change the module states read here) and the Abort button run meanwhile.
#include "can/links.h"

#include <QtGlobal>

namespace modModeChange {

// Starts the application on the selected modules; force also starts those whose last
// download did not succeed. True when every attempted module runs.
bool g_startApplication(const moduleProtocol::Selection& selection, bool force);
// One module; true when it was found running its application within waitUnits × 10 + 1
// rounds of 20 ms (always false with noWait).
bool startApplication(qint16 module, bool noWait, qint32 waitUnits);
// Starts the bootloader on the selected modules; warn asks before module 0 is switched on
// the M-Bus while others are connected. True when every module was started.
bool g_startBootloader(const moduleProtocol::Selection& selection, bool warn);
// One module; true when it was found in its bootloader.
bool startBootloader(qint16 module, bool isInBootloader, bool noWait, bool skipWrite);
// At least the configured number of cylinder modules run their application.
bool g_enoughCylindersToRunEngine();
// A selection with only that module.
moduleProtocol::Selection g_singeTargetSelection(qint16 module);
// True when the engine allows the bootloader to be started.
bool engineStandStill();

}  // namespace modModeChange

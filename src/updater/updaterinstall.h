#pragma once
// Makes the program's one update run and its window inside the main window, and
// registers the links through which the main window, the CAN side and the run reach
// each other. Called once by main() before the main window loads.
class frmMain;
class UpdateRun;

namespace updater {
UpdateRun& install(frmMain& mainWindow);
// The run made by install (nullptr before).
UpdateRun* run();
// Takes the links back (before the main window goes away, as tests do).
void uninstall();
}  // namespace updater

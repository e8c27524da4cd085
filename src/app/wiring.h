#pragma once
// Wires the program: registers the main window and installs, in one place, every answer
// to a call that a part makes up into a part above it (the slots whose default does
// nothing), the error form, and the update run. main() calls it, and so does every test
// that runs the program's parts together.
class frmMain;
class UpdateRun;

namespace wiring {
UpdateRun& install(frmMain& mainWindow);
// Every slot back to its default, the run gone and no main window registered.
void uninstall();
}  // namespace wiring

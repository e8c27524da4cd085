#pragma once
// Registers the main window's own procedures behind the interfaces through which the
// start-up, the update run and the CAN side call them: the bus set-up, the load-file
// look-up and the connection display. They act on frmMain::instance().
namespace frmMainLinks {
void install();
}

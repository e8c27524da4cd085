#pragma once
// Ends the event loop of the application on SIGTERM and SIGINT, through a pipe, so that
// the program leaves the bus and exits normally.
void quitOnSignals();

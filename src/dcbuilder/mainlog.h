#pragma once
// The main window's log, which the template creation writes into. The main window
// registers it at start-up (a test registers a recorder); until then the lines go nowhere.
#include "dcdatabase/builderlog.h"
#include "mainwindow/link.h"

using frmMainLogLink = Link<LogWindow, NoLogWindow, struct frmMainLogTag>;

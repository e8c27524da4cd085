#pragma once
// The main window's log, which the template creation writes into. The program's wiring
// installs it (a test a recorder); until then the lines go nowhere.
#include "dcdatabase/builderlog.h"
#include "services/link.h"

using frmMainLogLink = Link<LogWindow, NoLogWindow, struct frmMainLogTag>;

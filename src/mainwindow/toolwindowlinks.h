#pragma once
// The main window's module tools, which the exit procedure closes when they are loaded.
#include "mainwindow/link.h"
#include "mainwindow/windowlink.h"

using frmModuleOverviewLink = Link<WindowLink, NoWindow, struct frmModuleOverviewTag>;
using frmInfoBlockDetailsLink = Link<WindowLink, NoWindow, struct frmInfoBlockDetailsTag>;
using frmHWInfoBlockRepairLink = Link<WindowLink, NoWindow, struct frmHWInfoBlockRepairTag>;

namespace toolWindowLinks {
// Registers the overview, the details and the repair window with the exit procedure.
void install();
}  // namespace toolWindowLinks

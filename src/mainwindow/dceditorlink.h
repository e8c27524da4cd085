#pragma once
// What the main window uses of the data-container editor frmEditDC: the exit procedure
// closes it third, after the CAN master and the builder, when it is loaded.
#include "services/link.h"
#include "mainwindow/windowlink.h"

using frmEditDCLink = Link<WindowLink, NoWindow, struct frmEditDCTag>;

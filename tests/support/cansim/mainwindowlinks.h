#pragma once
// Every seam slot that the main window uses or provides, and those of the CAN part, back
// to its default: how a fixture's tear-down leaves them.
#include "cansim.h"
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/bussetuplink.h"
#include "mainwindow/canmasterlink.h"
#include "mainwindow/commandlocklink.h"
#include "mainwindow/connectiondisplaylink.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/dceditorlink.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/modulestatuslink.h"
#include "mainwindow/targetconnectionlink.h"
#include "mainwindow/toolwindowlinks.h"
#include "mainwindow/updaterlink.h"

namespace cansim {

inline void resetMainWindowLinks() {
    resetCanLinks();
    applicationTypeLink::install(nullptr);
    autoDownloadLink::install(nullptr);
    busSetupLink::install(nullptr);
    canMasterLink::install(nullptr);
    commandLockLink::install(nullptr);
    connectionDisplayBusLink::install(nullptr);
    frmDcBuilderLink::install(nullptr);
    frmDcReconstructionLink::install(nullptr);
    frmEditDCLink::install(nullptr);
    loadFilesLink::install(nullptr);
    moduleStatusLink::install(nullptr);
    targetConnectionLink::install(nullptr);
    frmModuleOverviewLink::install(nullptr);
    frmInfoBlockDetailsLink::install(nullptr);
    frmHWInfoBlockRepairLink::install(nullptr);
    updaterLink::install(nullptr);
}

}  // namespace cansim

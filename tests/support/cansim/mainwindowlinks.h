#pragma once
// Every seam slot that the main window uses or provides, and those of the CAN part, back
// to its default: how a fixture's tear-down leaves them.
#include "cansim.h"
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/dceditorlink.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/toolwindowlinks.h"
#include "mainwindow/updaterlink.h"

namespace cansim {

inline void resetMainWindowLinks() {
    resetCanLinks();
    uninstallAll<applicationTypeLink, autoDownloadLink, frmDcBuilderLink, frmDcReconstructionLink, frmEditDCLink,
                 loadFilesLink, frmModuleOverviewLink, frmInfoBlockDetailsLink, frmHWInfoBlockRepairLink, updaterLink>();
}

}  // namespace cansim

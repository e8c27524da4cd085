#include "app/wiring.h"

#include "dcbuilder/mainlog.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/upcalls.h"
#include "services/errtrap.h"
#include "updater/updaterinstall.h"

namespace {

SymbolSettersOfMainWindow s_symbolSetters;
ConnectionDisplayOfMainWindow s_connectionDisplay;
ModeChangeOfMainWindow s_modeChange;
AutoDownloadOfMainWindow s_autoDownload;
LoadFilesOfMainWindow s_loadFiles;
LogOfMainWindow s_mainLog;
RunOfMainWindow s_run;
ReportAtProgramEnd s_reportAtEnd;

}  // namespace

namespace wiring {

UpdateRun& install(frmMain& mainWindow) {
    frmMain::setInstance(&mainWindow);
    // From here on every trapped run-time error is shown in the error dialog.
    ErrPtnr::g_installErrorForm();
    symbolSettersLink::install(&s_symbolSetters);
    connectionDisplayLink::install(&s_connectionDisplay);
    modeChangeMainWindowLink::install(&s_modeChange);
    autoDownloadMainWindowLink::install(&s_autoDownload);
    loadFilesLink::install(&s_loadFiles);
    frmMainLogLink::install(&s_mainLog);
    updaterLink::install(&s_run);
    programEndLink::install(&s_reportAtEnd);
    return updater::create(mainWindow);
}

void uninstall() {
    uninstallAll<programEndLink, updaterLink, frmMainLogLink, loadFilesLink, autoDownloadMainWindowLink,
                 modeChangeMainWindowLink, connectionDisplayLink, symbolSettersLink, ErrPtnr::errorHandlerLink>();
    updater::destroy();
    frmMain::setInstance(nullptr);
}

}  // namespace wiring

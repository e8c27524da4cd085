// The log-off and the exit procedure: the one orderly way out of the program.
#include "mainwindow/autodownloadlink.h"
#include "can/canmaster.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/dceditorlink.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/toolwindowlinks.h"

#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QCloseEvent>
#include <QCoreApplication>

void frmMain::g_logOffApplication(bool endApplication_) {
    trap("frmMain", "g_logOffApplication", [] { autoDownloadLink::get().g_logoff(); });
    trap("frmMain", "g_logOffApplication", [] { canMasterLink::get().g_releaseCanOpen(true); });
    if (endApplication_) ErrPtnr::endProgram();
}

void frmMain::mnuExit_Click() {
    // The builder's scan or report serves the event loop: ending beneath it would delete
    // the working copy it reads. Exit waits for its end.
    if (m_exiting || frmDcBuilderLink::get().commandRunning()) return;
    m_exiting = true;
    g_logOffApplication(false);
    // Each window on its own: the error handler's choice decides whether the rest close.
    auto unloadWindow = [](auto& w) {
        trap("frmMain", "mnuExit_Click", [&] {
            if (w.isLoaded()) w.unload();
        });
    };
    unloadWindow(canMasterLink::get());
    unloadWindow(frmDcBuilderLink::get());
    unloadWindow(frmDcReconstructionLink::get());
    unloadWindow(frmEditDCLink::get());
    unloadWindow(frmModuleOverviewLink::get());
    unloadWindow(frmInfoBlockDetailsLink::get());
    trap("frmMain", "mnuExit_Click", [] {
        if (frmMessage2* box = frmMessage2::existing(); box && box->isLoaded()) box->unload();
    });
    unloadWindow(frmHWInfoBlockRepairLink::get());
    // Closing the main window runs its unload, which finds the procedure already running.
    trap("frmMain", "mnuExit_Click", [&] { QMainWindow::close(); });
    // The program ends here, also while a window outside this list is still up (the
    // start-up's about box): hidden later, it would leave the process without a window.
    QCoreApplication::quit();
}

void frmMain::cmdExit_Click() { mnuExit_Click(); }

void frmMain::Form_Unload() {
    trap("frmMain", "Form_Unload", [&] { mnuExit_Click(); });
    trap("frmMain", "Form_Unload", [&] {
        m_loaded = false;
        modGlobal::g_unregisterWindow(this);
    });
}

void frmMain::closeEvent(QCloseEvent* e) {
    // A close request inside a command's wait would end the program under the command and
    // leave its modules in their bootloader: it is ignored, and the command goes on. The
    // exit procedure's own closing always passes.
    if ((m_commandRunning || frmDcBuilderLink::get().commandRunning()) && !m_exiting) {
        e->ignore();
        return;
    }
    Form_Unload();
    e->accept();
}

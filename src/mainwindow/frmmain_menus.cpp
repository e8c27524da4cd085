// The menu bar's commands: the start of application or bootloader on the selected
// modules, and the menu items that open the other windows.
#include "can/canmaster.h"
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/frmmain.h"

#include "can/frmcanopen.h"
#include "can/modmodechange.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmabout.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr char kObject[] = "frmMain";
}  // namespace

void frmMain::connectMenuCommands() {
    connect(mnuSelectFileDir, &QAction::triggered, this, &frmMain::mnuSelectFileDir_Click);
    connect(mnuStartBootloader, &QAction::triggered, this, &frmMain::mnuStartBootloader_Click);
    connect(mnuStartApplication, &QAction::triggered, this, &frmMain::mnuStartApplication_Click);
    connect(mnuUploadFromSpare, &QAction::triggered, this, &frmMain::mnuUploadFromSpare_Click);
    connect(mnuShowCanOpen, &QAction::triggered, this, &frmMain::mnuShowCanOpen_Click);
    connect(mnuBuildDC, &QAction::triggered, this, &frmMain::mnuBuildDC_Click);
    connect(mnuCreateTemplate, &QAction::triggered, this, &frmMain::mnuCreateTemplate_Click);
    connect(mnuReconstructDC, &QAction::triggered, this, &frmMain::mnuReconstructDC_Click);
    connect(mnuRepairHWInfoBlock, &QAction::triggered, this, &frmMain::mnuRepairHWInfoBlock_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(cmdModuleState, &QPushButton::clicked, this, &frmMain::cmdModuleState_Click);
    // "Show Detailed Modul-Infos" has no command.
}

QString frmMain::separatorLine() {
    return QString(82, QLatin1Char('-')) + QLatin1Char(' ') + modStringFct::sprintf(QStringLiteral("{*}"), TimeService::now());
}

bool frmMain::busMissing(const QString& command) {
    if (canMasterLink::get().busUp()) return false;
    addMessage(modStringFct::sprintf(QStringLiteral("   CAN bus is not set up --> {*} aborted!"), command));
    return true;
}

namespace {
// One mode change on the modules the user selected, under the command lock. A run-time
// error on the way must not leave the window locked.
template <class Change>
void modeChangeCommand(frmMain& w, const char* procedure, const QString& command, const QString& title, bool abortEnabled,
                       Change change) {
    if (w.busMissing(command)) return;
    const bool ran = trap(kObject, procedure, [&] {
        w.resetStatus(false);
        w.addMessage(frmMain::separatorLine());
        w.addMessage(title);
        w.disableOtherControls(2);
        w.cmdAbort->setEnabled(abortEnabled);
        change(w.g_getUserSelection());
        w.enableAllControls();
        w.addMessage(frmMain::separatorLine());
    });
    if (!ran) w.enableAllControls();
}
}  // namespace

void frmMain::mnuStartApplication_Click() {
    modeChangeCommand(*this, "mnuStartApplication_Click", QStringLiteral("Start Application"),
                      QStringLiteral("Start application on all PXM's"), true,
                      [](const moduleProtocol::Selection& s) { modModeChange::g_startApplication(s, false); });
}

void frmMain::mnuStartBootloader_Click() {
    modeChangeCommand(*this, "mnuStartBootloader_Click", QStringLiteral("Start Bootloader"),
                      QStringLiteral("Start bootloader on all PXM's"), false,
                      [](const moduleProtocol::Selection& s) { modModeChange::g_startBootloader(s, !modGlobal::g_updateMode); });
}

void frmMain::mnuUploadFromSpare_Click() {
    trap(kObject, "mnuUploadFromSpare_Click", [&] { uploadDataFromSpare(); });
}

void frmMain::mnuAbout_Click() {
    trap(kObject, "mnuAbout_Click", [] { frmAbout::instance().g_showAbout(false); });
}

void frmMain::mnuBuildDC_Click() {
    trap(kObject, "mnuBuildDC_Click", [&] { frmDcBuilderLink::get().g_show(txtFileDirectory->text()); });
}

void frmMain::mnuShowCanOpen_Click() {
    trap(kObject, "mnuShowCanOpen_Click", [] { canMasterLink::get().g_show(); });
}

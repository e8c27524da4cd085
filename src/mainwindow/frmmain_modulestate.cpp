// The module-state command, which reads the section info blocks of every answering module
// for the module overview, and the small commands: the report button, the program-file
// directory and the tool menus that open other windows.
#include "mainwindow/dcbuilderlink.h"
#include "mainwindow/frmhwinfoblockrepair.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmmoduleoverview.h"
#include "can/canmaster.h"

#include "can/modmodechange.h"
#include "can/modrestart.h"
#include "can/modupload.h"
#include "desktop/desktopservices.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmselectdir.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/programinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

using moduleProtocol::ModuleState;

namespace {
constexpr char kObject[] = "frmMain";
constexpr int kSpareRestartRounds = 8;
constexpr int kSpareRestartRoundMs = 200;

ModuleState moduleState(int module) { return canMasterLink::get().moduleState(module); }

// The overview's rows in display order, with the names its first column shows.
const char* const kSectionNames[modUpload::infoTableRows] = {"Application", "Data Container", "FPGA",
                                                             "Bootloader 2", "Bootloader 1",  "Hardware"};

void copyModuleTable(const modUpload::InfoTable& table, std::array<ModuleInfoRow, 6>& rows) {
    for (int r = 0; r < modUpload::infoTableRows; ++r) {
        rows[r][0] = QString::fromLatin1(kSectionNames[r]);
        for (int c = 1; c < modUpload::infoTableColumns; ++c)
            rows[r][c] = r < table.size() && c < table[r].size() ? table[r][c] : QString();
    }
}
}  // namespace

void frmMain::cmdModuleState_Click() {
    using namespace modGlobal;
    moduleProtocol::Selection application{};  // modules whose application ran at the start
    bool anyApplication = false;
    bool locked = false;
    if (busMissing(QStringLiteral("Overview"))) return;
    trap(kObject, "cmdModuleState_Click", [&] {
        updateProgress(0, false);
        if (moduleState(0) != ModuleState::application && g_isMBusConnection)
            modMsgBox::g_warningMsgBox(QStringLiteral("PXM Loader is connected to the M-Bus and application is not \r"
                                                      "running on module 0. Therefore overview information is only \r"
                                                      "available of module 0."),
                                       QStringLiteral("Warning"), true, Dialogs::vbOKOnly);
        moduleProtocol::Selection present{};
        int presentCount = 0;
        for (int m = 0; m < moduleCount; ++m) {
            const ModuleState state = moduleState(m);
            application[m] = state == ModuleState::application;
            anyApplication = anyApplication || application[m];
            present[m] = state == ModuleState::application || state == ModuleState::bootloader;
            if (present[m]) ++presentCount;
        }
        if (anyApplication && !modModeChange::g_startBootloader(application, false)) {
            addMessage(QStringLiteral("Error: Could not start Bootloader."));
            return;
        }
        if (presentCount == 0) {
            modMsgBox::g_errorMsgBox(QStringLiteral("No Modules Connected."), QString(), true);
            return;
        }
        disableOtherControls(4);
        locked = true;
        addMessage(QStringLiteral("Reading InfoBlocks of all Modules "));

        ModuleInfoTable info{};
        bool anyTableRead = false;
        for (int i = 0; i < moduleCount; ++i) {
            if (present[i] && moduleState(i) != ModuleState::bootloader) {
                Dialogs::msgBox(QStringLiteral("Overview cancelled because module ") + QString::number(i) +
                                    QStringLiteral(" is not in Bootloader state.\r"
                                                   "Please set all modules into bootloader state using the menu item\r"
                                                   "Module Control - Start Bootloader."),
                                Dialogs::vbOKOnly, QStringLiteral("Overview Error"));
            } else if (present[i]) {
                modUpload::InfoTable table;
                if (modUpload::g_uploadInfoBlocks(qint16(i), table)) {
                    copyModuleTable(table, info[i]);
                    anyTableRead = true;
                } else {
                    addMessage(QStringLiteral("Error: Could not read info block. Module: ") + QString::number(i));
                }
            }
            updateProgress(double(i) / presentCount, false);
            if (i == 0 && application[0] && g_isMBusConnection) {
                // The spare serves the M-Bus again while the cylinder modules are read.
                modModeChange::g_startApplication(modModeChange::g_singeTargetSelection(0), true);
                for (int round = 0; round < kSpareRestartRounds; ++round) {
                    TimeService::sleep(kSpareRestartRoundMs);
                    TimeService::doEvents();
                }
            }
        }
        updateProgress(0, false);
        if (anyTableRead) {
            addMessage(QStringLiteral("Reading InfoBlocks finished."));
            if (m_overviewShown) m_overviewShown(present, info);
            frmModuleOverview::instance().g_show(present, info);
        }
    });
    // The applications this command stopped run again, also after a failure on the way;
    // they ran before, so the last download's lamps do not hold them back.
    if (locked || anyApplication)
        trap(kObject, "cmdModuleState_Click", [&] {
            modRestart::Record record;
            record.stopped = application;
            modRestart::g_restart(record);
        });
    if (locked) enableAllControls();
}

void frmMain::cmdOpenReport_Click() {
    trap(kObject, "cmdOpenReport_Click", [&] {
        const QString caption = cmdOpenReport ? cmdOpenReport->text() : QStringLiteral("Open Report");
        if (caption == QLatin1String("Open Report")) {
            writeReport();
            desktop::openInTextEditor(m_reportFile);
            return;
        }
        // Before any report was written the instruction file is the program folder's.
        QString folder = modFileFct::g_filePath(m_reportFile);
        if (folder.isEmpty())
            folder = m_programFile.isEmpty() ? programInfo::exeDir() : QFileInfo(m_programFile).absolutePath();
        const QString instruction = QDir(folder).filePath(QStringLiteral("Instruction.txt"));
        // Without the file the editor shows nothing: the log says why.
        const bool opened = desktop::openInTextEditor(instruction);
        QString problem;
        if (!QFileInfo::exists(instruction))
            problem = QStringLiteral("Instruction file not found: ");
        else if (!opened)
            problem = QStringLiteral("Instruction file could not be opened: ");
        if (problem.isEmpty()) return;
        // The button is the update window's: its log is the one the engineer reads.
        addMessageUpdater(problem + QDir::toNativeSeparators(instruction), -1);
    });
}

void frmMain::mnuSelectFileDir_Click() {
    trap(kObject, "mnuSelectFileDir_Click", [&] {
        frmSelectDir picker(this);
        picker.InitDir = txtFileDirectory->text();
        if (picker.showSelect() != 1) return;
        txtFileDirectory->setText(picker.path);
        modGlobal::g_setMiscItem(QStringLiteral("programFilePath"), picker.path);
        g_checkFileExist(modGlobal::g_moduleKind, false);
    });
}

void frmMain::mnuCreateTemplate_Click() {
    trap(kObject, "mnuCreateTemplate_Click", [&] {
        QString directory = txtFileDirectory->text();
        frmDcReconstructionLink::get().g_createDCTemplate(directory);
    });
}

void frmMain::mnuReconstructDC_Click() {
    trap(kObject, "mnuReconstructDC_Click", [] { frmDcReconstructionLink::get().g_show(); });
}

void frmMain::mnuRepairHWInfoBlock_Click() {
    trap(kObject, "mnuRepairHWInfoBlock_Click", [] { frmHWInfoBlockRepair::instance().g_show(); });
}

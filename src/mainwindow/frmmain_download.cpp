// The manual download command: its checks and questions, the preparation and the ending
// of the download proper, and the command lock that every command of the window takes.
#include "mainwindow/frmmain.h"
#include "can/canmaster.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"

#include "can/modmodechange.h"
#include "can/modupload.h"
#include "desktop/desktopservices.h"
#include "desktop/dialogs.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>

using namespace moduleProtocol;

namespace {
constexpr char kObject[] = "frmMain";

// Bootloader 2 below this version is loaded anew before anything else.
constexpr double kMinBootloader2 = 4.0;

bool isChecked(const QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }
void setValue(QCheckBox* c, bool on) { vbCheck::setValue(c, on ? vbCheck::vbChecked : vbCheck::vbUnchecked); }

QString nowText() {
    const QDateTime t = TimeService::now();
    return QLocale::system().toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           t.time().toString(QStringLiteral("hh:mm:ss"));
}
QString headerLine() { return QStringLiteral("DOWNLOAD ") + QString(73, QLatin1Char('-')) + QLatin1Char(' ') + nowText(); }
QString footerLine() { return QString(82, QLatin1Char('-')) + QLatin1Char(' ') + nowText(); }

void setHourglass(bool on) {
    if (!on) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    } else if (QApplication::overrideCursor()) {
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void enableMenu(QMenu* m, bool on) {
    m->setEnabled(on);
    m->menuAction()->setEnabled(on);
}

// The leading number of a text ("7", "6.5 rev B"); 0 when it starts with none.
double leadingNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}

// The whole text as a number, with the point as decimal sign whatever the PC's language.
double wholeNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok) throw RuntimeError(13, QStringLiteral("Type mismatch"));
    return v;
}

QCheckBox* sectionRow(frmMain& w, qint32 section) { return w.chkLoadSection[modUpload::getDisplayIndex(section)]; }

// Every module of the boot set must carry hardware version 7 or higher.
bool hardwareFits(frmMain& w, const Selection& boot) {
    bool below = false;
    for (int i = 0; i < frmMain::moduleCount; ++i) {
        if (!boot[i]) continue;
        const QString version = modUpload::g_uploadVersionInfo(qint16(i), sectionHwInfoBlock);
        if (leadingNumber(version) >= 7.0) continue;
        if (!below) w.addMessage(QStringLiteral("   All PXM-HW-Versions must be 7 or higher!"));
        below = true;
        w.addMessage(modStringFct::sprintf(QStringLiteral("      PXM#{00} is version {*}"), i, version));
    }
    if (below) w.addMessage(QStringLiteral("   Download aborted!"));
    return !below;
}

// A module whose Bootloader 2 is too old gets Bootloader 2 alone first. False when there
// is no Bootloader 2 file to load.
bool selectBootloader2(frmMain& w, const Selection& boot, bool& bl2) {
    const int pos = modUpload::getDisplayIndex(sectionBootloader2);
    for (int i = 0; i < frmMain::moduleCount; ++i) {
        if (!boot[i]) continue;
        if (wholeNumber(modUpload::g_uploadVersionInfo(qint16(i), sectionBootloader2)) >= kMinBootloader2) continue;
        if (!bl2) {
            w.addMessage(QStringLiteral("   Bootloader 2 - version must be 4.00 or higher."));
            if (w.txtEmh[pos]->text() == QLatin1String("---")) {
                w.addMessage(QStringLiteral("      There is no bootloader 2 available --> Download aborted!"));
                return false;
            }
            // Its click handler clears and locks the other sections.
            setValue(w.chkLoadSection[pos], true);
            bl2 = true;
        }
        w.addMessage(modStringFct::sprintf(QStringLiteral("      Download of BL2 to PXM#{00} selected!"), i));
        setValue(w.chkProgram[i], true);
    }
    return true;
}

// A section that some module holds at another address than the base is loaded as well.
void selectMovedSections(frmMain& w, const Selection& boot) {
    using namespace modGlobal;
    auto check = [&](qint32 section, qint32 base, const char* wrong, const char* selected) {
        for (int i = 0; i < frmMain::moduleCount; ++i) {
            if (!boot[i] || modUpload::g_uploadStartAdr(qint16(i), section) == base) continue;
            w.addMessage(QString::fromLatin1(wrong));
            w.addMessage(QString::fromLatin1(selected));
            setValue(sectionRow(w, section), true);
            return;
        }
    };
    if (!isChecked(sectionRow(w, sectionApplication)))
        check(sectionApplication, g_baseAdrAppl, "   Application is at wrong start-address!",
              "      Download of appication is selected!");
    QCheckBox* fpga = sectionRow(w, sectionFpga);
    if (vbCheck::visible(fpga) && vbCheck::enabled(fpga) && !isChecked(fpga) && !isChecked(w.chkSectionNew))
        check(sectionFpga, g_baseAdrFPGA, "   FPGA-Code is at wrong start-address!",
              "      Download of FPGA-Code is selected!");
    if (!isChecked(sectionRow(w, sectionDataContainer)))
        check(sectionDataContainer, g_baseAdrDC, "   DC is at wrong start-address!",
              "      Download of DC is selected!");
}
}  // namespace

void frmMain::cmdDownload_Click() {
    using namespace modGlobal;
    bool begun = false;
    const bool ran = trap(kObject, "cmdDownload_Click", [&] {
        cmdDownload->setEnabled(false);
        setHourglass(true);
        resetStatus(false);
        disableOtherControls(1);
        addMessage(headerLine());
        addMessage(modStringFct::sprintf(QStringLiteral("Programming {*}'s"), g_moduleKind));
        auto refuse = [&](const QString& line) {
            addMessage(line);
            addMessage(footerLine());
            enableAllControls();
        };

        bool anyModule = false;
        for (QCheckBox* c : chkProgram) anyModule = anyModule || isChecked(c);
        if (!anyModule) return refuse(QStringLiteral("   no module selected!"));
        // Without a bus every step would end in an error box of its own.
        if (!canMasterLink::get().busUp()) return refuse(QStringLiteral("   CAN bus is not set up --> Download aborted!"));
        for (int i = 0; i < moduleCount; ++i)
            if (isChecked(chkProgram[i]) && vbControls::backColor(lblHW[i]) != vbControls::vbButtonFace)
                return refuse(QStringLiteral("   Not all modules are compatible with SW-version!"));

        bool anySection = false;
        for (int pos = 0; pos < sectionRows; ++pos) {
            if (!sectionSelected(chkLoadSection[pos])) continue;
            if (txtEmh[pos]->text() == QLatin1String("---"))
                return refuse(modStringFct::sprintf(QStringLiteral("   S19 file for section {*} not found!"),
                                                    chkLoadSection[pos]->text()));
            anySection = true;
        }
        if (!anySection) return refuse(QStringLiteral("   no section selected!"));
        // Every road stops the modules before the first file is read: a damaged file is
        // refused while the modules still run as they did.
        if (const QStringList fault = sectionFilesFault(); !fault.isEmpty()) {
            for (qsizetype i = 0; i + 1 < fault.size(); ++i) addMessage(fault[i]);
            return refuse(fault.last());
        }

        if (sectionSelected(sectionRow(*this, sectionBootloader2)) &&
            !modMsgBox::g_warningMsgBox(
                QStringLiteral("Downloading of the bootloader will remove the application from the PXM!\r\n"
                               "Ater bootloader-downloading you must also download the application."),
                QString(), true, Dialogs::vbOKCancel))
            return refuse(QStringLiteral("   BL-download canceled!"));

        canMasterLink::get().g_setOperational(0, false);

        if (isChecked(chkProgram[0])) {
            bool cylinderLeftOut = false;
            for (int i = 1; i < moduleCount; ++i)
                cylinderLeftOut = cylinderLeftOut || (vbCheck::enabled(chkProgram[i]) && !isChecked(chkProgram[i]));
            if (cylinderLeftOut && !frmMessage2::instance().questionMsgBox(g_getUserMessage(4), QString(), QStringLiteral("Yes"),
                                                                           QStringLiteral("No"), false)) {
                addMessage(QStringLiteral("Download to spare only aborted."));
                enableAllControls();
                return;
            }
        }

        // From here on every way out passes the ending, which starts again what was stopped.
        begun = true;
        m_stopped.clear();
        m_restartDeclined = false;
        for (int i = 0; i < moduleCount; ++i)
            m_stopped.stopped[i] = canMasterLink::get().moduleState(i) == ModuleState::application;
        if (isChecked(chkProgram[0]) && g_isMBusConnection) {
            downloadThroughSpare();
        } else {
            bool ok = false;
            downloadSelectedModules(false, ok);
        }
    });
    if (begun) endDownload();
    if (begun && ran) trap(kObject, "cmdDownload_Click", [&] { downloadFinished(); });
    // A command that stopped on a run-time error must not leave the window locked.
    if (begun || !ran) enableAllControls();
}

void frmMain::endDownload() {
    trap(kObject, "endDownload", [&] {
        cmdAbort->setEnabled(true);
        m_abort = false;
        const Selection left = m_restartDeclined ? modRestart::g_nameLeft(m_stopped) : modRestart::g_restart(m_stopped);
        // The update log, and with it the report of a failed run, names every module the
        // download stopped: its "is updated" lines name those loaded, these the rest.
        if (modGlobal::g_updateMode) {
            const QString running = modRestart::g_names(modRestart::g_running(m_stopped));
            if (!running.isEmpty()) addMessageUpdater(QStringLiteral("   Restarted: ") + running, -1);
            const QString names = modRestart::g_names(left);
            if (!names.isEmpty()) addMessageUpdater(QStringLiteral("   Left in bootloader: ") + names, -1);
        }
        canMasterLink::get().g_setOperational(0, false);
        addMessage(footerLine());
    });
}

void frmMain::downloadSelectedModules(bool spareStage, bool& ok) {
    using namespace modGlobal;
    ok = false;
    // The window stays locked: the command's ending unlocks it after the restart.
    const bool ran = trap(kObject, "downloadSelectedModules", [&] {
        cmdDownload->setEnabled(false);
        setHourglass(true);

        // Modules running their application go into the bootloader too, so that they are
        // started again at the end.
        addMessage(QStringLiteral("   Starting bootloader on all modules"));
        Selection boot{};
        for (int i = 0; i < moduleCount; ++i)
            boot[i] = canMasterLink::get().moduleState(i) == ModuleState::application || isChecked(chkProgram[i]);
        if (g_isMBusConnection && !isChecked(chkProgram[0])) boot[0] = false;
        if (!modModeChange::g_startBootloader(boot, false)) {
            addMessage(QStringLiteral("   Download aborted!"));
            return;
        }

        bool bl2 = sectionSelected(sectionRow(*this, sectionBootloader2));
        if (!(g_qtmMode || g_bzmMode)) {
            if (g_bigMem && !hardwareFits(*this, boot)) return;
            if (g_bigMem && !bl2 && !selectBootloader2(*this, boot, bl2)) return;
            if (!bl2 && !g_updateMode) selectMovedSections(*this, boot);
        }
        if (sectionSelected(sectionRow(*this, sectionDataContainer))) {
            bool upToDate = false;
            checkS19FileDate(upToDate);
            if (!upToDate) {
                addMessage(QStringLiteral("   DC-S19-File not up to date --> Download aborted!"));
                return;
            }
        }

        if (!downloadSections()) return;

        for (int n = 0; n < 3; ++n) {
            QApplication::beep();
            TimeService::sleep(200);
        }
        if (bl2) {
            // The new Bootloader 2 runs only after a restart of the bootloader.
            for (int i = 0; i < moduleCount; ++i)
                if (isChecked(chkProgram[i]) && g_downloadStatusOk(i)) modModeChange::startBootloader(qint16(i), true, false, false);
        }
        if (g_canInterfaceVersion <= 1.0) {
            modMsgBox::g_warningMsgBox(QStringLiteral("Please restart application manually by exiting\r"
                                                      "loader and resetting power (off-on) of all PXM-20 modules."),
                                       QStringLiteral("Start Application"), false, Dialogs::vbOKOnly);
            m_restartDeclined = true;
            ok = true;
        } else if (bl2) {
            bool anyLoaded = false;
            for (int i = 0; i < moduleCount; ++i) anyLoaded = anyLoaded || (isChecked(chkProgram[i]) && g_downloadStatusOk(i));
            if (!anyLoaded) {
                modMsgBox::g_errorMsgBox(QStringLiteral("Download of Bootloader failed."));
            } else {
                modMsgBox::g_informationMsgBox(QStringLiteral("Download of Bootloader finished.\r\n"
                                                              "As next you need to download the application."));
                // Ready for the application: clearing Bootloader 2 unlocks the other rows.
                // A hidden row is never chosen.
                setValue(sectionRow(*this, sectionBootloader2), false);
                for (qint32 section : {sectionApplication, sectionDataContainer}) {
                    QCheckBox* row = sectionRow(*this, section);
                    if (vbCheck::visible(row)) setValue(row, true);
                }
            }
        } else if (!spareStage) {
            // The ending of the command starts the modules, or names them when declined.
            m_restartDeclined = !(g_updateMode || modMsgBox::g_questionMsgBox(QStringLiteral("Restart application?"), QString(), true));
            ok = true;
        } else if (g_downloadStatusOk(0)) {
            // Module 0 must run its application to serve the cylinders' stage.
            cmdAbort->setEnabled(true);
            ok = modModeChange::g_startApplication(modModeChange::g_singeTargetSelection(0), false);
        }
        canMasterLink::get().g_setOperational(0, false);
    });
    if (!ran) ok = false;
}

// ---- The command lock ----

void frmMain::disableOtherControls(int mode) {
    trap(kObject, "disableOtherControls", [&] {
        cmdDownload->setEnabled(false);
        cmdModuleState->setEnabled(false);
        enableMenu(mnuModuleControl, false);
        enableMenu(mnuTools, false);
        enableMenu(mnuDcBuilder, false);
        if (mode != 3) {
            setHourglass(true);
            enableMenu(mnuFile, false);
        }
        cmdAbort->setEnabled(mode == 0 || mode == 1);
        if (mode == 0 || mode == 1 || mode == 4) {
            cmdExit->setEnabled(false);
            mnuExit->setEnabled(false);
        }
        disableCloseButton(this);
        // The engine-running lock of the connection display is no command: nothing waits in it.
        if (mode != 3) m_commandRunning = true;
    });
}

void frmMain::enableAllControls() {
    trap(kObject, "enableAllControls", [&] {
        cmdDownload->setEnabled(true);
        cmdModuleState->setEnabled(true);
        mnuUploadFromSpare->setEnabled(true);
        enableMenu(mnuModuleControl, true);
        enableMenu(mnuTools, true);
        enableMenu(mnuFile, true);
        enableMenu(mnuDcBuilder, true);
        setHourglass(false);
        mnuStartApplication->setEnabled(true);
        mnuStartBootloader->setEnabled(true);
        cmdExit->setEnabled(true);
        mnuExit->setEnabled(true);
        cmdAbort->setEnabled(false);
        m_abort = false;
        m_commandRunning = false;
        // An old CAN component cannot start applications nor upload.
        if (modGlobal::g_canInterfaceVersion < 1.1 && !modGlobal::g_debugMode) {
            mnuStartApplication->setEnabled(false);
            mnuUploadFromSpare->setEnabled(false);
        }
    });
}

bool frmMain::disableCloseButton(QWidget* hwnd_) {
    bool removed = false;
    trap(kObject, "disableCloseButton", [&] {
        QWidget* window = hwnd_ ? hwnd_->window() : nullptr;
        if (!window) return;
        const Qt::WindowFlags f = window->windowFlags();
        // Once taken, the item stays away: a second removal finds nothing.
        if (f.testFlag(Qt::CustomizeWindowHint) && !f.testFlag(Qt::WindowCloseButtonHint)) return;
        desktop::removeCloseItem(window);
        removed = true;
    });
    return removed;
}

// The download on the M-Bus, where the PC reaches only the spare module directly: first
// module 0 alone, then the cylinder modules, which module 0 loads itself, one section at a
// time, driven through its auto-download command register.
#include "mainwindow/frmmain.h"
#include "mainwindow/vbcheckbox.h"
#include "can/canmaster.h"

#include "can/modautodownload.h"
#include "can/modmodechange.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QCheckBox>
#include <QLabel>

using moduleProtocol::ModuleState;
using moduleProtocol::Selection;

namespace {
constexpr char kObject[] = "frmMain";

// The register must come free within this time.
constexpr int kRegisterWaitMs = 8000;
// A running auto-download whose reported state has not moved for this long has lost its
// spare module; the wait gives up rather than hang the window.
constexpr qint64 kStalledMs = 60000;

bool isChecked(const QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }
void setValue(QCheckBox* c, bool on) { vbCheck::setValue(c, on ? vbCheck::vbChecked : vbCheck::vbUnchecked); }

bool commandPending() {
    qint16 module = 0, field3 = 0, attempt = 0;
    double progress = 0;
    return modAutoDownload::g_getAutoDownloadStatus(module, field3, progress, attempt);
}

// Polls until done() holds, pauseMs apart, counting pauseMs per poll up to the limit.
template <class Done>
bool pollUntil(Done done, int pauseMs, int limitMs) {
    for (int waited = 0; !done(); waited += pauseMs) {
        if (waited >= limitMs) return false;
        TimeService::sleep(pauseMs);
        TimeService::doEvents();
    }
    return true;
}
}  // namespace

void frmMain::downloadThroughSpare() {
    using namespace modGlobal;
    trap(kObject, "cmdDownload_Click", [&] {
        Selection cylinders{}, present{};
        present[0] = true;
        bool anyCylinder = false;
        for (int i = 1; i < moduleCount; ++i) {
            cylinders[i] = isChecked(chkProgram[i]);
            anyCylinder = anyCylinder || cylinders[i];
            present[i] = canMasterLink::get().moduleState(i) != ModuleState::none;
        }
        bool ok = false;
        if (!anyCylinder) return downloadSelectedModules(false, ok);
        if (g_canInterfaceVersion <= 1.0) {
            modMsgBox::g_warningMsgBox(g_getUserMessage(5), QStringLiteral("Error"), false, Dialogs::vbOKOnly);
            return;
        }
        if (!modModeChange::g_startBootloader(present, false)) {
            addMessage(QStringLiteral("M-Bus Download aborted because bootloader could not be started."));
            return;
        }

        for (int i = 1; i < moduleCount; ++i) setValue(chkProgram[i], false);
        addMessage(QStringLiteral("M-Bus download: starting download to spare."));
        downloadSelectedModules(true, ok);
        if (!ok) {
            addMessage(QStringLiteral("M-Bus Download aborted because download to spare has failed."));
            return;
        }

        addMessage(QStringLiteral("M-Bus download: starting download to cylinders."));
        // Module 0 settles in its application; the window stays alive meanwhile.
        for (int n = 0; n < 501; ++n) {
            TimeService::sleep(5);
            TimeService::doEvents();
        }
        setValue(chkProgram[0], false);
        for (int i = 1; i < moduleCount; ++i)
            if (cylinders[i]) setValue(chkProgram[i], true);
        downloadSelectedModules(false, ok);
        setValue(chkProgram[0], true);
        lblDownloadOk[0]->setVisible(true);
    });
}

void frmMain::autoDownloadSingleModule(int module, qint32 section, bool& ok) {
    ok = false;
    trap(kObject, "autoDownloadSingleModule", [&] {
        const qint16 m = qint16(module);
        const qint32 mask = qint32(1) << module;

        if (!pollUntil([] { return !commandPending(); }, 10, kRegisterWaitMs)) {
            addMessage(QStringLiteral("      Autodownload error: could not reset command register!"));
            return;
        }
        if (!modAutoDownload::g_sendCommand(modAutoDownload::cmdClearFailure, 0, 0))
            modMsgBox::g_errorMsgBox(QStringLiteral("could not send clear command"), QString(), true);
        if (!pollUntil([&] { return !commandPending() && !modAutoDownload::g_getAutoDownloadFailure(m); }, 10,
                       kRegisterWaitMs)) {
            addMessage(QStringLiteral("      Autodownload error: could not reset auto-download failure status!"));
            return;
        }

        ok = true;
        // From the command on, the cylinder's section may be written in part.
        m_stopped.sectionBegun(module);
        if (!modAutoDownload::g_sendCommand(modAutoDownload::cmdDownload, mask, qint16(section))) {
            ok = false;
            addMessage(QStringLiteral("      initialization of auto-download failed!"));
        } else {
            qint16 lastCount = 1;
            TimeService::sleep(150);
            qint16 current = 0, field3 = 0, attempt = 0;
            double progress = 0;
            qint16 seenModule = -1, seenAttempt = -1;
            double seenProgress = -1;
            qint64 movedAt = TimeService::elapsedMs();
            while (modAutoDownload::g_getAutoDownloadStatus(current, field3, progress, attempt)) {
                if (current == m) {
                    // Each rise of the attempt counter is a failed attempt of this module.
                    if (attempt > lastCount) {
                        lastCount = attempt;
                        downloadFailure(QStringLiteral("      failure in auto-download of program/data!"), module);
                    }
                    updateProgress(progress, false);
                }
                if (current != seenModule || attempt != seenAttempt || progress != seenProgress) {
                    seenModule = current;
                    seenAttempt = attempt;
                    seenProgress = progress;
                    movedAt = TimeService::elapsedMs();
                } else if (TimeService::elapsedMs() - movedAt >= kStalledMs) {
                    addMessage(QStringLiteral("      Autodownload error: no progress reported by the spare module!"));
                    ok = false;
                    // Left running, the command would keep the register busy for every
                    // later module.
                    stopAutoDownload();
                    break;
                }
                TimeService::doEvents();
                TimeService::sleep(10);
            }
            TimeService::sleep(1000);
            TimeService::doEvents();
            // Module 0 reports the cylinder's section complete: it holds a whole program,
            // whatever became of module 0 afterwards.
            ok = ok && !modAutoDownload::g_getAutoDownloadFailure(m);
            if (ok) m_stopped.sectionEnded(module);
            // The spare module, not the cylinder served, must be back in its application.
            ok = ok && canMasterLink::get().moduleState(0) == ModuleState::application;
        }
        updateProgress(0, false);
    });
}

void frmMain::stopAutoDownload() {
    trap(kObject, "stopAutoDownload", [&] {
        modAutoDownload::g_sendCommand(modAutoDownload::cmdAbort, 0, 0);
        if (!pollUntil([] { return !commandPending(); }, 20, kRegisterWaitMs))
            modMsgBox::g_errorMsgBox(QStringLiteral("      AutoDownload error: abort command not executed!"), QString(), true);
    });
}

#include "can/modmodechange.h"

#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/canmaster.h"
#include "can/links.h"
#include "can/modheartbeatcontrol.h"
#include "can/moduleprotocol.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"

namespace modModeChange {

using moduleProtocol::ModuleState;
using moduleProtocol::Selection;

namespace {
constexpr const char* kObject = "modModeChange";
using moduleProtocol::moduleCount;
constexpr qint32 kStartApplicationRoundMs = 20;
constexpr qint32 kQtmSdoTimeoutMs = 2000;
constexpr int kBootloaderAttempts = 3;
constexpr int kBootloaderRounds = 41;
constexpr qint32 kBootloaderRoundMs = 25;
constexpr qint32 kProbeSdoTimeoutMs = 100;
constexpr qint32 kStandStillPollMs = 30;
constexpr qint32 kStandStillLimitMs = 20000;
constexpr qint32 kFirstWaitUnits = 150;
constexpr qint32 kLaterWaitUnits = 15;
constexpr qint32 kBootloaderEndPauseMs = 200;

ModeChangeMainWindow& mainWindow() { return modeChangeMainWindowLink::get(); }
void log(const QString& text) { mainWindow().addMessage(text); }

bool qtmOrBzm() { return modGlobal::g_qtmMode || modGlobal::g_bzmMode; }
// On the M-Bus the cylinder modules are reached through module 0 only.
bool behindSpare(qint16 module) { return modGlobal::g_isMBusConnection && module >= 1 && module < moduleCount; }
ModuleState state(int module) { return modConnectionStatus::g_getModuleStatus(qint16(module)); }

QString okLine(int module) { return modStringFct::sprintf("      {*} {*}: ok", modGlobal::g_moduleKind, module); }

// Below 1.1 the component cannot start applications; in debug mode it is tried anyway.
bool componentTooOld() {
    if (!(modGlobal::g_canInterfaceVersion < 1.1)) return false;
    if (modGlobal::g_debugMode) {
        log(QStringLiteral(" Start application is executed with old DLL because debug mode is active"));
        return false;
    }
    log(QStringLiteral("   Start application cancelled, because CANInterface DLL version is less than 1.1"));
    modMsgBox::g_warningMsgBox(QStringLiteral("Please restart application manually by exiting\r"
                                              "loader and resetting power (off-on) of all PXM-20 modules."),
                               QStringLiteral("Start Application"), false, Dialogs::vbOKOnly);
    return true;
}

// M-Bus: the selected cylinder modules go to their bootloader through module 0's command
// register. False when the user declines the switch of module 0 or the command fails.
bool switchCylindersThroughSpare(const Selection& selection, const Selection& inBootloader, bool warn) {
    const bool spareCandidate = selection[0] && !inBootloader[0];
    qint32 mask = 0;
    bool anyPresent = false;
    for (int m = 1; m < moduleCount; ++m) {
        if (selection[m]) mask |= 1 << m;
        if (state(m) != ModuleState::none) anyPresent = true;
    }
    if (warn && spareCandidate && anyPresent &&
        !modMsgBox::g_questionMsgBox(QStringLiteral("PXM-Loader is connected to M-Bus (auto-download mode). The connection "
                                                    "to all other modules will be lost if bootloader is started on PXM#0. "
                                                    "Do you still want to start bootloader on PXM#0?")))
        return false;
    if (mask != 0 && !modAutoDownload::g_sendCommand(modAutoDownload::cmdStartBootloader, mask, 0)) {
        modMsgBox::g_errorMsgBox(QStringLiteral("Error: could not start bootloader on autodownload modules."));
        return false;
    }
    return true;
}
}  // namespace

Selection g_singeTargetSelection(qint16 module) {
    Selection s{};
    trap(kObject, "g_singeTargetSelection", [&] {
        if (module >= 0 && module < moduleCount) s[module] = true;
    });
    return s;
}

bool g_enoughCylindersToRunEngine() {
    bool enough = false;
    trap(kObject, "g_enoughCylindersToRunEngine", [&] {
        int running = 0;
        for (int m = 1; m < moduleCount; ++m)
            if (state(m) == ModuleState::application) ++running;
        enough = running >= modGlobal::g_numRequiredCylinders;
    });
    return enough;
}

bool startApplication(qint16 module, bool noWait, qint32 waitUnits) {
    bool found = false;
    trap(kObject, "startApplication", [&] {
        using namespace modGlobal;
        canMasterLink::get().set_g_heartBeatRefresh(false);
        mainWindow().set_m_abort(false);
        if (!behindSpare(module)) {
            using namespace moduleProtocol;
            const quint8 sub = qtmOrBzm() ? programApplicationQtmBzm : programApplication;
            canMasterLink::get().writeQuiet(quint8(module + g_cobIdBootloader), idxProgramControl, sub,
                                    QByteArray(1, char(programStartApplication)), qtmOrBzm() ? kQtmSdoTimeoutMs : 0);
        }
        if (!noWait) {
            for (qint32 round = 0; round <= waitUnits * 10; ++round) {
                TimeService::sleep(kStartApplicationRoundMs);
                TimeService::doEvents();
                if (mainWindow().m_abort() || canMasterLink::get().busLost()) break;
                if (canMasterLink::get().searchQuiet(module, quint8(g_cobIdApplication))) {
                    found = true;
                    break;
                }
            }
        }
    });
    // The display refresh comes back even after a failure, or the lamps would freeze.
    canMasterLink::get().set_g_heartBeatRefresh(true);
    return found;
}

bool g_startApplication(const Selection& selection, bool force) {
    bool result = false;
    trap(kObject, "g_startApplication", [&] {
        using namespace modGlobal;
        Selection wasRunning{};
        for (int m = 0; m < moduleCount; ++m) wasRunning[m] = state(m) == ModuleState::application;
        const Selection saved = mainWindow().g_getUserSelection();
        result = true;
        log(QStringLiteral("   Start application"));
        if (componentTooOld()) {
            result = false;
            return;
        }
        auto attempted = [&](int m) { return selection[m] && (force || mainWindow().g_downloadStatusOk(qint16(m))); };

        qint32 mask = 0;
        for (int m = 0; m < moduleCount; ++m) {
            if (!attempted(m) || state(m) == ModuleState::application) continue;
            if (!g_isMBusConnection) {
                startApplication(qint16(m), true, kFirstWaitUnits);
            } else if (m == 0) {
                if (startApplication(0, false, kFirstWaitUnits)) modAutoDownload::g_login();
            } else {
                mask |= 1 << m;
            }
        }
        // The cylinders hear the start only through module 0's application: from its
        // bootloader the command would be lost, and them with it.
        const bool spareServes = !g_isMBusConnection || state(0) == ModuleState::application;
        if (g_isMBusConnection && spareServes) modAutoDownload::g_sendCommand(modAutoDownload::cmdStartApplication, mask, 0);

        qint32 waitUnits = kFirstWaitUnits;
        for (int m = 0; m < moduleCount; ++m) {
            if (!attempted(m) || wasRunning[m]) continue;
            bool ok = false;
            if (state(m) == ModuleState::application) {
                ok = true;
            } else if (!mainWindow().m_abort() && !canMasterLink::get().busLost() && (spareServes || !behindSpare(qint16(m)))) {
                ok = startApplication(qint16(m), false, waitUnits);
                waitUnits = kLaterWaitUnits;
            }
            if (!ok) result = false;
            // A module that does not start loses whatever lamp its download gave it.
            if (ok) log(okLine(m));
            else mainWindow().downloadFailure(QStringLiteral("      not started!"), qint16(m));
        }
        mainWindow().g_restoreUserSelection(saved);
    });
    return result;
}

bool startBootloader(qint16 module, bool isInBootloader, bool noWait, bool skipWrite) {
    bool found = false;
    trap(kObject, "startBootloader", [&] {
        using namespace modGlobal;
        using namespace moduleProtocol;
        const quint8 sub = qtmOrBzm() ? programBootloaderQtmBzm : programBootloader;
        for (int attempt = 0; attempt < kBootloaderAttempts && !found; ++attempt) {
            const quint8 value = isInBootloader ? programRestartBootloader : programStartBootloaderFromApplication;
            const quint8 node = quint8(module + (isInBootloader ? g_cobIdBootloader : g_cobIdApplication));
            if (!behindSpare(module) && !skipWrite)
                canMasterLink::get().writeQuiet(node, idxProgramControl, sub, QByteArray(1, char(value)));
            for (int round = 0; round < kBootloaderRounds; ++round) {
                TimeService::sleep(kBootloaderRoundMs);
                TimeService::doEvents();
                if (canMasterLink::get().busLost()) return;
                canMasterLink::get().writeQuiet(0, 0, 0, QByteArray(1, '\0'), kProbeSdoTimeoutMs);
                canMasterLink::get().g_setOperational(0, true);
                found = canMasterLink::get().searchQuiet(module, quint8(g_cobIdBootloader));
                if (noWait) return;
                if (found) break;
            }
        }
        if (found && mainWindow().g_getBootloaderVersionChange(module)) {
            canMasterLink::get().g_resetSDOTransferMode(module);
            mainWindow().g_resetBootloaderVersionChange(module);
        }
    });
    return found;
}

bool engineStandStill() {
    bool standStill = false;
    trap(kObject, "engineStandStill", [&] {
        if (!modGlobal::g_isMBusConnection || !g_enoughCylindersToRunEngine()) {
            standStill = true;
            return;
        }
        if (modAutoDownload::g_getEngineStandStillStatus() == 0) {
            log(QStringLiteral("Waiting for Engine StandStill signal."));
            // The limit counts the pauses only: 667 of them.
            for (qint32 waited = 0; modAutoDownload::g_getEngineStandStillStatus() == 0; waited += kStandStillPollMs) {
                if (waited >= kStandStillLimitMs) {
                    modMsgBox::g_errorMsgBox(QStringLiteral("Engine standstill signal was not received."), QString(),
                                             true);
                    return;
                }
                TimeService::sleep(kStandStillPollMs);
                TimeService::doEvents();
            }
        }
        standStill = modAutoDownload::g_getEngineStandStillStatus() == 1;
    });
    return standStill;
}

bool g_startBootloader(const Selection& selection, bool warn) {
    bool result = false;
    trap(kObject, "g_startBootloader", [&] {
        using namespace modGlobal;
        const Selection saved = mainWindow().g_getUserSelection();
        Selection inBootloader{};
        bool allThere = true;
        for (int m = 0; m < moduleCount; ++m) {
            inBootloader[m] = state(m) == ModuleState::bootloader;
            if (selection[m] && !inBootloader[m]) allThere = false;
        }
        log(QStringLiteral("   Start bootloader"));
        if (allThere) {
            log(QStringLiteral("      All selected modules are already in bootloader"));
            result = true;
            return;
        }
        if (!qtmOrBzm()) {
            bool standStill = engineStandStill();
            if (standStill && !g_updateMode)
                standStill = frmMessage2::instance().questionMsgBox(g_getUserMessage(7), QStringLiteral("Start Bootloader"),
                                                                    QStringLiteral("Continue"), QStringLiteral("Abort"), true);
            if (!standStill) {
                log(QStringLiteral("   Bootloader cannot be started because engine is running."));
                return;
            }
        }
        if (g_isMBusConnection && !switchCylindersThroughSpare(selection, inBootloader, warn)) return;

        // On the M-Bus module 0 comes last: its switch cuts the others off.
        const int first = g_isMBusConnection ? moduleCount - 1 : 0;
        const int step = g_isMBusConnection ? -1 : 1;
        auto wanted = [&](int m) { return selection[m] && !inBootloader[m]; };
        if (!g_isMBusConnection) {
            // Every module gets its command before any is waited for.
            for (int m = first; m >= 0 && m < moduleCount; m += step)
                if (wanted(m)) startBootloader(qint16(m), false, true, false);
        }
        bool failed = false;
        for (int m = first; m >= 0 && m < moduleCount; m += step) {
            if (!wanted(m)) {
                if (g_debugMode) {
                    log(modStringFct::sprintf("      DEBUG: not starting Bootloader on PXM#{00}", m));
                    log(modStringFct::sprintf("      DEBUG: selected: {*} alreadyRunning: {*}", qint16(selection[m] ? -1 : 0),
                                              inBootloader[m]));
                }
                continue;
            }
            if (startBootloader(qint16(m), false, false, !g_isMBusConnection)) {
                log(okLine(m));
                continue;
            }
            failed = true;
            if (state(m) != ModuleState::none)
                mainWindow().downloadFailure(QStringLiteral("      failed!"), qint16(m));
            else
                mainWindow().downloadFailure(QStringLiteral("      failed! Could not start Bootloader  because heartbeat "
                                                            "was not received. \r      Please check the connection to "
                                                            "the PXM and try again."),
                                             qint16(m));
            break;
        }
        result = !failed;
        mainWindow().g_restoreUserSelection(saved);
        TimeService::sleep(kBootloaderEndPauseMs);
    });
    return result;
}

}  // namespace modModeChange

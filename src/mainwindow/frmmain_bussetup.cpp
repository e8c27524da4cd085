// The bus set-up before any module work, and the check that the modules run an
// application of the type the load files were made for.
#include "mainwindow/frmmain.h"
#include "mainwindow/updaterlink.h"

#include "can/canmessageform.h"
#include "can/canmaster.h"
#include "can/modapplicationmode.h"
#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "desktop/dialogs.h"
#include "services/errtrap.h"
#include "services/frmabout.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/programinfo.h"

using namespace modGlobal;

namespace {
// Below this the CAN component lacks what the mode change and the download need.
constexpr double kFullFeatureVersion = 1.1;

// The set-ups log into the message window, which the CAN master also reports on.
CanMessageForm messageWindow() { return messageFormOf(frmMessage2::instance()); }

void checkInterfaceVersion(double dllVersion) {
    if (dllVersion < kFullFeatureVersion)
        modMsgBox::g_warningMsgBox(
            QStringLiteral("Old version of CANInterface.dll detected: some features are deactivated.\r"
                           "To avoid this and related failure messages at next use, please perform\r"
                           "pD base setup with Install-polyDesk version 11."),
            QStringLiteral("Warning"), false, Dialogs::vbOKOnly);
    g_canInterfaceVersion = dllVersion;
}

QString connectedName(qint32 type) { return modApplicationMode::typeName(type); }

QString fileName(qint32 type) { return type == modApplicationMode::appNone ? QString() : connectedName(type); }

bool handledType(qint32 type) { return (type >= 0 && type <= 4) || type == 6 || type == 7; }
}  // namespace

void frmMain::initConnection(bool mBusOnly, bool darvo, bool& ok) {
    bool result = false;
    // Each step on its own: the controls must be unlocked whatever the set-up did.
    trap("frmMain", "initConnection", [] { modHeartBeatControl::g_initialise(); });
    trap("frmMain", "initConnection", [] { modAutoDownload::g_initialise(); });
    trap("frmMain", "initConnection", [&] {
        if (darvo || g_qtmMode || g_bzmMode)
            initDarvoConnection();
        else
            initConnectionBothBusses(mBusOnly, result);
    });
    trap("frmMain", "initConnection", [&] { enableAllControls(); });
    ok = result;
}

void frmMain::initDarvoConnection() {
    double dllVersion = 0;
    bool found = false;
    CanMaster& master = canMasterLink::get();
    for (quint8 converter = 0; converter <= 1 && !found; ++converter) {
        trap("frmMain", "initDarvoConnection", [&] {
            frmMessage2& box = frmMessage2::instance();
            const bool up = master.g_initialise(messageWindow(), dllVersion, QStringLiteral("S-Bus for DARVO"), true, converter);
            if (up && !box.errorSignal(false)) {
                box.addMessage(QStringLiteral("   Set net operational"));
                master.g_setOperational(0, false);
                const qint32 type = modApplicationMode::g_checkAppConnectionType();
                found = type == modApplicationMode::appDARVO || type == modApplicationMode::appQTM ||
                        type == modApplicationMode::appBZM;
            }
        });
        if (!found) trap("frmMain", "initDarvoConnection", [&] { master.g_releaseCanOpen(false); });
    }
    if (!found) {
        trap("frmMain", "initDarvoConnection", [&] {
            modMsgBox::g_errorMsgBox(QStringLiteral("CAN initialisation Error: Please make sure that the USB-to-CAN\r"
                                                    "Converter is correctly connected."),
                                     QString(), true);
            frmMessage2::instance().hideButtons(false);
            // The rest of the run works without CAN: file and database work stay usable.
            master.set_g_noCAN(true);
        });
    }
    trap("frmMain", "initDarvoConnection", [&] { checkInterfaceVersion(dllVersion); });
}

void frmMain::initConnectionBothBusses(bool, bool& ok) {
    ok = true;
    double dllVersion = 0;
    trap("frmMain", "initConnectionBothBusses", [&] {
        CanMaster& master = canMasterLink::get();
        frmMessage2& box = frmMessage2::instance();
        box.addMessage(QStringLiteral("Initialising M-Bus for Operator access."));
        const bool up = master.g_initialise(messageWindow(), dllVersion, QStringLiteral("M-Bus"), false, 255);
        if (up && !box.errorSignal(false)) master.g_setOperational(0, false);
        // A bus that did not come up is never reported as set up, flagged or not.
        if (!up || box.errorSignal(false)) {
            ok = false;
            return;
        }
        bool found = false;
        checkTargetConnection(true, found);
        if (found) master.set_g_bootupReceived(true);
    });
    trap("frmMain", "initConnectionBothBusses", [&] { checkInterfaceVersion(dllVersion); });
}

void frmMain::setUserRights() {
    trap("frmMain", "setUserRights", [&] {
        const qint32 connected = modApplicationMode::g_checkAppConnectionType();
        const qint32 file = g_applicationType;
        if (!handledType(connected)) {
            Dialogs::msgBox(QStringLiteral("PXM Loader Tool internal error: Application Type not handled."),
                            Dialogs::vbOKOnly, programInfo::title());
            g_logOffApplication(true);
            return;
        }
        if (connected != modApplicationMode::appNone && connected != modApplicationMode::appNotDetermined &&
            connected != g_applicationType)
            g_applicationType = modApplicationMode::appMismatch;
        if (g_applicationType == modApplicationMode::appMismatch) {
            const QString text = QStringLiteral("The connected PXM application does not fit to the S19 application file!\r"
                                                "PXM-20\t\t : ") +
                                 connectedName(connected) + QStringLiteral("\rApplication.S19 \t : ") + fileName(file) +
                                 QStringLiteral("\r");
            // In update mode the run's report, not only this box, tells why the program ended.
            if (g_updateMode) updaterLink::get().addMessageUpdater(text, -1);
            if (g_develop) {
                if (!modMsgBox::g_warningMsgBox(text + QStringLiteral("Run Loader anyway?"), QString(), true,
                                                Dialogs::vbOKCancel)) {
                    g_logOffApplication(true);
                    return;
                }
                g_applicationType = file;
            } else {
                modMsgBox::g_errorMsgBox(text + QStringLiteral("The Loader will Terminate!"), QString(), true);
                g_logOffApplication(true);
                return;
            }
        }
        if (!g_updateMode) frmAbout::instance().g_showAbout(true);
    });
}

// The wait for a module's heartbeat after the bus set-up.
#include "mainwindow/frmmain.h"

#include "can/canmaster.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modmsgbox.h"

void frmMain::checkTargetConnection(bool quiet, bool& ok) {
    ok = false;
    trap("frmMain", "checkTargetConnection", [&] {
        for (int round = 0; round <= 3000 / 5 && !ok; ++round) {
            TimeService::sleep(5);
            TimeService::doEvents();
            const moduleProtocol::ModuleStates states = canMasterLink::get().heartBeatStates();
            g_updateConnectionStatus();
            for (moduleProtocol::ModuleState s : states)
                if (s != moduleProtocol::ModuleState::none) ok = true;
        }
        if (!ok && !quiet)
            modMsgBox::g_errorMsgBox(QStringLiteral("No communication to the modules!\rPlease check connection."),
                                     QStringLiteral("Error"), true);
    });
}

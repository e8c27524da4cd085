#include "mainwindow/targetconnectionlink.h"

#include "can/links.h"
#include "can/modheartbeatcontrol.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/modmsgbox.h"

void TargetConnectionWait::checkTargetConnection(bool quiet, bool& ok) {
    ok = false;
    trap("frmMain", "checkTargetConnection", [&] {
        for (int round = 0; round <= 3000 / 5 && !ok; ++round) {
            TimeService::sleep(5);
            TimeService::doEvents();
            const QVector<qint32> states = modHeartBeatControl::g_getHeartBeatStatus();
            connectionDisplayLink::get().g_updateConnectionStatus();
            for (qint32 s : states)
                if (s != 0) ok = true;
        }
        if (!ok && !quiet)
            modMsgBox::g_errorMsgBox(QStringLiteral("No communication to the modules!\rPlease check connection."),
                                     QStringLiteral("Error"), true);
    });
}

#include "can/modrestart.h"

#include "can/canmaster.h"
#include "can/links.h"
#include "can/modconnectionstatus.h"
#include "can/moduleprotocol.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"
#include "desktop/timeservice.h"

#include <QStringList>

namespace modRestart {

using moduleProtocol::Selection;

namespace {
constexpr char kObject[] = "modRestart";
using moduleProtocol::moduleCount;

// A lost bus may come back (the converter is opened again once a second meanwhile) within
// the wait the first module's application start would have.
constexpr int kBusBackWaitMs = 30000;
constexpr int kBusBackPollMs = 100;

ModeChangeMainWindow& mainWindow() { return modeChangeMainWindowLink::get(); }
bool busBackInTime() {
    for (int waited = 0; canMasterLink::get().busLost(); waited += kBusBackPollMs) {
        if (waited >= kBusBackWaitMs) return false;
        TimeService::sleep(kBusBackPollMs);
        TimeService::doEvents();
    }
    return true;
}
bool runs(int module) {
    return modConnectionStatus::g_getModuleStatus(qint16(module)) == moduleProtocol::ModuleState::application;
}
bool concerned(const Record& r, int m) { return r.stopped[m] || r.written[m] || r.halfWritten[m] || r.removed[m]; }

// Every module of the record that does not run its application now, named in one line.
Selection nameLeftInBootloader(const Record& r) {
    Selection left{};
    for (int m = 0; m < moduleCount; ++m) left[m] = concerned(r, m) && !runs(m);
    const QString names = g_names(left);
    if (!names.isEmpty()) mainWindow().addMessage(QStringLiteral("   Left in bootloader: ") + names);
    return left;
}
}  // namespace

QString g_names(const Selection& modules) {
    QStringList names;
    for (int m = 0; m < moduleCount; ++m)
        if (modules[m]) names << modStringFct::sprintf(QStringLiteral("{*} {*}"), modGlobal::g_moduleKind, m);
    return names.join(QStringLiteral(", "));
}

Selection g_running(const Record& r) {
    Selection running{};
    for (int m = 0; m < moduleCount; ++m) running[m] = concerned(r, m) && runs(m);
    return running;
}

Selection g_restart(const Record& r) {
    Selection left{};
    trap(kObject, "g_restart", [&] {
        Selection start{};
        bool any = false;
        for (int m = 0; m < moduleCount; ++m) {
            // Its program may be half old, half new: only a complete download starts it.
            if (r.halfWritten[m])
                mainWindow().downloadFailure(QStringLiteral("      section written only in part, left in bootloader!"),
                                             qint16(m));
            start[m] = (r.stopped[m] || r.written[m]) && !r.halfWritten[m] && !r.removed[m] && !runs(m);
            any = any || start[m];
        }
        if (any && !busBackInTime())
            mainWindow().addMessage(QStringLiteral("   CAN bus lost: the applications cannot be started."));
        else if (any)
            modModeChange::g_startApplication(start, true);
        left = nameLeftInBootloader(r);
    });
    return left;
}

Selection g_nameLeft(const Record& r) {
    Selection left{};
    trap(kObject, "g_nameLeft", [&] {
        left = nameLeftInBootloader(r);
        // A QTM or BZM says "0" for data taken as for flash programmed: only its running
        // application proves the flash.
        if (!(modGlobal::g_qtmMode || modGlobal::g_bzmMode)) return;
        Selection unproven{};
        for (int m = 0; m < moduleCount; ++m) unproven[m] = left[m] && r.written[m];
        const QString names = g_names(unproven);
        if (!names.isEmpty())
            mainWindow().addMessage(QStringLiteral("   Flash not proven until the application runs: ") + names);
    });
    return left;
}

}  // namespace modRestart

#pragma once
// The main window's bus set-up and application-type check, as the start-up and the update
// run call them.
#include "services/link.h"

class BusSetupLink {
public:
    virtual ~BusSetupLink() = default;
    // initConnection(mBusOnly, darvo, ok): prepares the heartbeat supervision and the
    // auto-download state, then sets the bus up: the S-Bus search on converter 0, then 1
    // (darvo, or QTM and BZM mode; ok is then False, and no converter means no-CAN mode
    // for the rest of the run), else one M-Bus set-up (ok tells whether it came up).
    // Enables the window's controls afterwards.
    virtual void initConnection(bool mBusOnly, bool darvo, bool& ok) = 0;
    // setUserRights: compares the connected modules' application type with the load
    // files'; a mismatch ends the program through the log-off unless "/develop" lets the
    // engineer go on. In manual mode it then shows the about box for 5 seconds.
    virtual void setUserRights() = 0;
};

// Until the bus set-up is built: no bus comes up, and there is nothing to compare.
class BusSetupStub : public BusSetupLink {
public:
    void initConnection(bool, bool, bool& ok) override { ok = false; }
    void setUserRights() override {}
};

using busSetupLink = Link<BusSetupLink, BusSetupStub>;

#pragma once
// The communication check that the bus set-up waits with, as the main window's commands
// part provides it.
#include "services/link.h"

class TargetConnectionLink {
public:
    virtual ~TargetConnectionLink() = default;
    // checkTargetConnection(quiet, ok): up to 601 rounds of a 5 ms pause and one hand-over
    // to the event loop, each reading the heartbeat states and refreshing the connection
    // display; ok := a module answered. Without an answer and not quiet: the error box
    // "No communication to the modules!" / "Please check connection.".
    virtual void checkTargetConnection(bool quiet, bool& ok) = 0;
};

// Until the commands part registers its own: the wait as described above.
class TargetConnectionWait : public TargetConnectionLink {
public:
    void checkTargetConnection(bool quiet, bool& ok) override;
};

using targetConnectionLink = Link<TargetConnectionLink, TargetConnectionWait>;

#pragma once
// The main window's command lock, as the start-up uses it.
#include "services/link.h"

class CommandLockLink {
public:
    virtual ~CommandLockLink() = default;
    // enableAllControls: unlocks the window at the end of a command (buttons and menus
    // enabled, Abort disabled, m_abort cleared); without "/debug" an old CAN component
    // (below 1.1) keeps Start Application and Upload From Spare disabled.
    virtual void enableAllControls() = 0;
};

// Until the command lock is built: the window stays as it was laid out.
class CommandLockStub : public CommandLockLink {
public:
    void enableAllControls() override {}
};

using commandLockLink = Link<CommandLockLink, CommandLockStub>;

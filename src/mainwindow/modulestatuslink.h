#pragma once
// What the main window uses of the module-state query (modConnectionStatus).
#include "services/link.h"

class ModuleStatusLink {
public:
    virtual ~ModuleStatusLink() = default;
    // g_getModuleStatus(module): 0 no answer, 1 application running, 2 bootloader running;
    // on the M-Bus modules 1 to 14 from the auto-download status, else from the heartbeats.
    virtual int g_getModuleStatus(int module) = 0;
};

// Until the query registers itself: no module answers.
class ModuleStatusStub : public ModuleStatusLink {
public:
    int g_getModuleStatus(int) override { return 0; }
};

using moduleStatusLink = Link<ModuleStatusLink, ModuleStatusStub>;

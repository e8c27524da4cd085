#pragma once
// What the main window uses of the auto-download state of module 0 (modAutoDownload).
#include "services/link.h"

class AutoDownloadLink {
public:
    virtual ~AutoDownloadLink() = default;
    // g_logoff: when logged in, switches the service bits of the four login symbols off
    // (200 ms after each), then the engine-standstill bit of every answering cylinder
    // module; the first failure is shown in an error box. Nothing when not logged in.
    virtual void g_logoff() = 0;
};

// The program's own: modAutoDownload.
class AutoDownloadLogoff : public AutoDownloadLink {
public:
    void g_logoff() override;
};

using autoDownloadLink = Link<AutoDownloadLink, AutoDownloadLogoff>;

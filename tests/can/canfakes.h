#pragma once
// Stand-ins for the CAN part's calls up into the main window (can/links.h). The CAN master
// itself has one stand-in for every test, tests/support's FakeCanMaster.
#include "can/links.h"

namespace cantest {

// Counts the auto-download state's calls up into the main window.
struct FakeAutoDownloadMainWindow : AutoDownloadMainWindow {
    int spareReplacedBy = 0, logOffs = 0;
    void notConnectedToSpare(int module) override { spareReplacedBy = module; }
    void logOffApplication() override { ++logOffs; }
};

}  // namespace cantest

#pragma once
// The main window's module tools, which the exit procedure closes when they are loaded.
#include "services/link.h"
#include "mainwindow/windowlink.h"

class frmModuleOverview;
class frmInfoBlockDetails;
class frmHWInfoBlockRepair;

// The program's own: the tool window, when it was made (the exit procedure makes none).
template <class Form>
class ToolWindow : public WindowLink {
public:
    bool isLoaded() const override;
    void unload() override;
};

using frmModuleOverviewLink = Link<WindowLink, ToolWindow<frmModuleOverview>, struct frmModuleOverviewTag>;
using frmInfoBlockDetailsLink = Link<WindowLink, ToolWindow<frmInfoBlockDetails>, struct frmInfoBlockDetailsTag>;
using frmHWInfoBlockRepairLink = Link<WindowLink, ToolWindow<frmHWInfoBlockRepair>, struct frmHWInfoBlockRepairTag>;

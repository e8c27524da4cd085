#include "mainwindow/toolwindowlinks.h"

#include "mainwindow/frmhwinfoblockrepair.h"
#include "mainwindow/frminfoblockdetails.h"
#include "mainwindow/frmmoduleoverview.h"

namespace {

// A window that was never made is not loaded, and the exit procedure does not make it.
template <class Form>
struct ToolWindow : WindowLink {
    bool isLoaded() const override { return Form::existing() && Form::existing()->isLoaded(); }
    void unload() override {
        if (Form* f = Form::existing()) f->cmdExit_Click();
    }
};

}  // namespace

namespace toolWindowLinks {

void install() {
    static ToolWindow<frmModuleOverview> overview;
    static ToolWindow<frmInfoBlockDetails> details;
    static ToolWindow<frmHWInfoBlockRepair> repair;
    frmModuleOverviewLink::install(&overview);
    frmInfoBlockDetailsLink::install(&details);
    frmHWInfoBlockRepairLink::install(&repair);
}

}  // namespace toolWindowLinks

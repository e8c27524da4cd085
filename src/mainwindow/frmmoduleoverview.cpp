#include "mainwindow/frmmoduleoverview.h"

frmModuleOverview& frmModuleOverview::instance() {
    static frmModuleOverview w;
    return w;
}

frmModuleOverview::frmModuleOverview() = default;

void frmModuleOverview::g_show(const ModulePresence&, const ModuleInfoTable&) {}

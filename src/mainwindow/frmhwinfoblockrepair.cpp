#include "mainwindow/frmhwinfoblockrepair.h"

frmHWInfoBlockRepair& frmHWInfoBlockRepair::instance() {
    static frmHWInfoBlockRepair w;
    return w;
}

frmHWInfoBlockRepair::frmHWInfoBlockRepair() = default;

void frmHWInfoBlockRepair::g_show() {}

#pragma once
// The hardware info-block repair: reads a module's hardware block, lets the engineer
// correct serial number, date and version, builds the block from a template and writes it.
#include <QWidget>

class frmHWInfoBlockRepair : public QWidget {
    Q_OBJECT
public:
    static frmHWInfoBlockRepair& instance();

    // Loads the window if needed and shows it.
    void g_show();

private:
    frmHWInfoBlockRepair();
};

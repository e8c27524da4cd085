#pragma once
// The module overview: one row per section, one column per info-block field, the values
// of a reference module, and every field that differs between the modules marked.
#include "mainwindow/moduleinfotable.h"

#include <QWidget>

class frmModuleOverview : public QWidget {
    Q_OBJECT
public:
    static frmModuleOverview& instance();

    // Copies the table, fills the grid, writes the table to the main log and shows the window.
    void g_show(const ModulePresence& present, const ModuleInfoTable& info);

private:
    frmModuleOverview();
};

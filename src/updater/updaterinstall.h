#pragma once
// The program's one update run and its window inside the main window, and the run's
// answers to the main window's update members and to the program's end, which the
// program's wiring (app/wiring.h) installs.
#include "mainwindow/updaterlink.h"
#include "services/errtrap.h"

class frmMain;
class UpdateRun;

// The main window's update members, served by the run (nothing before it is made).
class RunOfMainWindow : public UpdaterLink {
public:
    void showUpdater() override;
    void notConnectedToSpare(int module) override;
    void downloadFinished() override;
    void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key) override;
    void addMessageUpdater(const QString& text, int reportLine) override;
    void setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown) override;
    bool errorSignal(bool flag) override;
    void writeReport() override;
    void setProgressLoad(double value) override;
};

// The report of a started run, written before the program ends on an error.
class ReportAtProgramEnd : public ProgramEnd {
public:
    void beforeEnd() override;
};

namespace updater {
// Makes the run and its window inside the main window; whatever way that window closes,
// the run's report is written first.
UpdateRun& create(frmMain& mainWindow);
// The run made by create (nullptr before).
UpdateRun* run();
// The run goes (before the main window goes away, as tests do).
void destroy();
}  // namespace updater

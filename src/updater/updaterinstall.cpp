#include "updater/updaterinstall.h"
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include "can/infoblock.h"
#include "can/modautodownload.h"
#include "can/modrestart.h"
#include "desktop/twips.h"
#include "desktop/windowfit.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/updaterlink.h"
#include "mainwindow/vbcheckbox.h"
#include "mainwindow/vbcontrols.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

using moduleProtocol::Selection;

namespace {

std::unique_ptr<UpdateRun> s_run;
// The window that create made has been placed beside the manual part. Kept with the run, not
// in the slot's default, which outlives it: a new main window is placed again.
bool s_placed = false;

frmMain* mainWindow() { return frmMain::instance(); }
bool on(QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }

}  // namespace

// ---- The main window's update members, served by the run ----

void RunOfMainWindow::showUpdater() {
    if (s_run) s_run->showUpdater();
}
void RunOfMainWindow::notConnectedToSpare(int module) {
    if (s_run) s_run->notConnectedToSpare(module);
}
void RunOfMainWindow::downloadFinished() {
    if (s_run) s_run->downloadFinished();
}
void RunOfMainWindow::setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32& key) {
    if (s_run) s_run->setSystemValue(row, v, key);
}
void RunOfMainWindow::addMessageUpdater(const QString& text, int reportLine) {
    if (s_run) s_run->addMessageUpdater(text, reportLine);
}
void RunOfMainWindow::setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown) {
    shown = s_run && s_run->setUserInfo(text, delay, okButton, exitButton != 0);
}
bool RunOfMainWindow::errorSignal(bool flag) { return s_run && s_run->window().errorSignal(flag); }
// The report button of the main window opens the file that this names.
void RunOfMainWindow::writeReport() {
    if (!s_run) return;
    if (s_run->started()) s_run->writeReport();
    if (frmMain* w = mainWindow()) w->m_reportFile = s_run->reportFile();
}
void RunOfMainWindow::setProgressLoad(double value) {
    if (s_run) s_run->window().prgProgressLoad->setFraction(value);
}

// A program ended on an error still leaves the report of its run.
void ReportAtProgramEnd::beforeEnd() {
    if (s_run && s_run->started()) s_run->programEnds();
}

// ---- The main window's commands and the module procedures, as the run uses them ----

void MainWindowOfRun::initConnection(bool mBusOnly, bool darvo, bool& ok) {
    ok = false;
    if (frmMain* w = mainWindow()) w->initConnection(mBusOnly, darvo, ok);
}
void MainWindowOfRun::setUserRights() {
    if (frmMain* w = mainWindow()) w->setUserRights();
}
bool MainWindowOfRun::applicationRunning(int m) { return mainWindow() && on(mainWindow()->chkApplicationRunning.at(m)); }
bool MainWindowOfRun::bootloaderRunning(int m) { return mainWindow() && on(mainWindow()->chkBootLoaderRunning.at(m)); }
// As the "All" box of the module column selects: a module seen in either program.
bool MainWindowOfRun::moduleSelectable(int m) {
    return (applicationRunning(m) || bootloaderRunning(m)) && vbCheck::enabled(mainWindow()->chkProgram.at(m));
}
void MainWindowOfRun::setApplicationFile(const QString& path) {
    frmMain* w = mainWindow();
    if (!w) return;
    w->txtEmh[0]->setText(modFileFct::g_fileName(path));
    vbControls::setTag(w->txtEmh[0], path);
}
QString MainWindowOfRun::sentFile(const QString& path) { return mainWindow() ? mainWindow()->sentFile(path) : path; }
namespace {
void select(frmMain& w, const Selection& modules) {
    for (int i = 0; i < moduleProtocol::moduleCount; ++i)
        vbCheck::setValue(w.chkProgram[i], modules[i] ? vbCheck::vbChecked : vbCheck::vbUnchecked);
}
}  // namespace
void MainWindowOfRun::download(const Selection& modules, Selection& done) {
    frmMain* w = mainWindow();
    if (!w) return;
    vbCheck::setValue(w->chkLoadSection[0], vbCheck::vbChecked);
    select(*w, modules);
    w->m_moduleDone = done;
    w->cmdDownload_Click();
    done = w->m_moduleDone;
}
void MainWindowOfRun::startApplication(const Selection& modules) {
    frmMain* w = mainWindow();
    if (!w) return;
    select(*w, modules);
    w->mnuStartApplication_Click();
}
void MainWindowOfRun::login() { modAutoDownload::g_login(); }
bool MainWindowOfRun::writeInfoBlock(int module, qint32 section, const QString& file, const QByteArray& image,
                                     qint32 startAddress) {
    return modDownload::writeInfoBlock(qint16(module), section, file, image, startAddress);
}
int MainWindowOfRun::loadingStatus(int module) { return modDownload::g_getLoadingStatus(qint16(module), true); }
bool MainWindowOfRun::restartAfterDownload(int module) {
    modRestart::Record record;
    record.written[module] = true;
    return !modRestart::g_restart(record)[module];
}
bool MainWindowOfRun::writeSection(int module, qint32 section, const QByteArray& image) {
    bool ok = false;
    if (frmMain* w = mainWindow()) w->writeSection(module, section, image, ok);
    return ok;
}
void MainWindowOfRun::showMainWindow() {
    frmMain* w = mainWindow();
    if (!w || !s_run) return;
    UpdateWindow& view = s_run->window();
    // The update window takes the right-hand side of the main window.
    QWidget* client = w->clientArea();
    if (!s_placed) {
        s_placed = true;
        const QSize size = client->size();
        view.move(size.width(), 0);
        client->setFixedSize(size.width() + view.width(), std::max(size.height(), view.height()));
        windowFit::fitToContent(w);
    }
    view.show();
    w->show();
}
QString MainWindowOfRun::programDir() { return mainWindow() ? QFileInfo(mainWindow()->programFile()).absolutePath() : QString(); }
void MainWindowOfRun::exitProgram() {
    if (frmMain* w = mainWindow()) w->cmdExit_Click();
}
void MainWindowOfRun::runEnded() {
    if (frmMain* w = mainWindow()) w->updateRunEnded();
}

namespace {

// Whatever way the main window closes, the run's report is written first.
struct ReportOnClose : QObject {
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Close && s_run && s_run->started()) s_run->writeReport();
        return QObject::eventFilter(o, e);
    }
};

}  // namespace

namespace updater {

UpdateRun& create(frmMain& mainWindow) {
    auto* view = new UpdateWindow(mainWindow.clientArea());
    view->hide();
    s_run = std::make_unique<UpdateRun>(*view);
    s_placed = false;
    mainWindow.installEventFilter(new ReportOnClose(&mainWindow));
    // The report button belongs to the update window; the main window's handler serves it.
    mainWindow.cmdOpenReport = view->cmdOpenReport;
    QObject::connect(view->cmdOpenReport, &QPushButton::clicked, &mainWindow, &frmMain::cmdOpenReport_Click);
    return *s_run;
}

UpdateRun* run() { return s_run.get(); }

void destroy() { s_run.reset(); }

}  // namespace updater

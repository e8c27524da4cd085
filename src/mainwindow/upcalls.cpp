#include "mainwindow/upcalls.h"

#include "mainwindow/frmmain.h"

namespace {
frmMain* mainWindow() { return frmMain::instance(); }
}  // namespace

// The received-message drain hands the modules' published values to the main window.
void SymbolSettersOfMainWindow::setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32& key) {
    if (frmMain* m = mainWindow()) m->setSystemValue(row, v, key);
}

void ConnectionDisplayOfMainWindow::g_updateConnectionStatus() {
    if (frmMain* m = mainWindow()) m->g_updateConnectionStatus();
}
void ConnectionDisplayOfMainWindow::busLost(const QString& text) {
    if (frmMain* m = mainWindow()) m->addMessage(text);
}
void ConnectionDisplayOfMainWindow::busBack(const QString& text) { busLost(text); }

bool ModeChangeOfMainWindow::m_abort() const { return mainWindow() && mainWindow()->m_abort; }
void ModeChangeOfMainWindow::set_m_abort(bool on) {
    if (frmMain* m = mainWindow()) m->m_abort = on;
}
void ModeChangeOfMainWindow::addMessage(const QString& text) {
    if (frmMain* m = mainWindow()) m->addMessage(text);
}
void ModeChangeOfMainWindow::downloadFailure(const QString& msg, qint16 module) {
    if (frmMain* m = mainWindow()) m->downloadFailure(msg, module);
}
bool ModeChangeOfMainWindow::g_downloadStatusOk(qint16 module) {
    return mainWindow() && mainWindow()->g_downloadStatusOk(module);
}
moduleProtocol::Selection ModeChangeOfMainWindow::g_getUserSelection() {
    return mainWindow() ? mainWindow()->g_getUserSelection() : moduleProtocol::Selection{};
}
void ModeChangeOfMainWindow::g_restoreUserSelection(const moduleProtocol::Selection& s) {
    if (frmMain* m = mainWindow()) m->g_restoreUserSelection(s);
}
bool ModeChangeOfMainWindow::g_getBootloaderVersionChange(qint16 module) {
    return mainWindow() && mainWindow()->g_getBootloaderVersionChange(module);
}
void ModeChangeOfMainWindow::g_resetBootloaderVersionChange(qint16 module) {
    if (frmMain* m = mainWindow()) m->g_resetBootloaderVersionChange(module);
}

// The auto-download state's calls when module 0 is not the spare.
void AutoDownloadOfMainWindow::notConnectedToSpare(int module) {
    if (frmMain* m = mainWindow()) m->notConnectedToSpare(module);
}
void AutoDownloadOfMainWindow::logOffApplication() {
    if (frmMain* m = mainWindow()) m->g_logOffApplication(true);
}

void LoadFilesOfMainWindow::g_checkFileExist(const QString& kind, bool quiet) {
    if (frmMain* m = mainWindow()) m->lookUpLoadFiles(kind, quiet);
}

// The template creation logs into the main window.
void LogOfMainWindow::addMessage(const QString& text) {
    if (frmMain* m = mainWindow()) m->addMessage(text);
}
void LogOfMainWindow::updateProgress(float value, bool relative) {
    if (frmMain* m = mainWindow()) m->updateProgress(value, relative);
}

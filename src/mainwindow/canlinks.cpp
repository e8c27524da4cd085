#include "mainwindow/canlinks.h"

#include "can/frmcanopen.h"
#include "can/modapplicationmode.h"
#include "can/modautodownload.h"
#include "can/links.h"
#include "can/modconnectionstatus.h"
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/canmasterlink.h"
#include "mainwindow/commandlocklink.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmmainlinks.h"
#include "mainwindow/modulestatuslink.h"

namespace {

struct CanMasterAdapter : CanMasterLink {
    bool g_noCAN() const override { return frmCANopen::instance().g_noCAN; }
    void set_g_noCAN(bool on) override { frmCANopen::instance().g_noCAN = on; }
    bool g_blockTransferEnable() const override { return frmCANopen::instance().g_blockTransferEnable; }
    void set_g_blockTransferEnable(bool on) override { frmCANopen::instance().g_blockTransferEnable = on; }
    void g_releaseCanOpen(bool onlyHW) override { frmCANopen::instance().g_releaseCanOpen(onlyHW); }
    bool busUp() const override { return !frmCANopen::instance().g_noCAN && frmCANopen::instance().busUp(); }
    bool g_setOperational(quint8 node, bool noMessage) override {
        return frmCANopen::instance().g_setOperational(node, noMessage);
    }
    bool isLoaded() const override { return frmCANopen::instance().isLoaded(); }
    void unload() override { frmCANopen::instance().unload(); }
};

struct ModuleStatusAdapter : ModuleStatusLink {
    int g_getModuleStatus(int m) override { return modConnectionStatus::g_getModuleStatus(qint16(m)); }
};

struct AutoDownloadAdapter : AutoDownloadLink {
    void g_logoff() override { modAutoDownload::g_logoff(); }
};

struct ApplicationTypeAdapter : ApplicationTypeLink {
    qint32 g_checkAppFileType(const QString& f) override { return modApplicationMode::g_checkAppFileType(f); }
    qint32 g_getApplStartAddr(const QString& f) override { return modApplicationMode::g_getApplStartAddr(f); }
    qint32 g_checkAppConnectionType() override { return modApplicationMode::g_checkAppConnectionType(); }
};

frmMain* mainWindow() { return frmMain::instance(); }

// The received-message drain hands the modules' published values to the main window.
struct SymbolSettersAdapter : MainWindowSymbolSetters {
    void setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32& key) override {
        if (frmMain* m = mainWindow()) m->setSystemValue(row, v, key);
    }
};

// What the mode change reads and writes of the main window.
struct ModeChangeAdapter : ModeChangeMainWindow {
    bool m_abort() const override { return mainWindow() && mainWindow()->m_abort; }
    void set_m_abort(bool on) override { if (frmMain* m = mainWindow()) m->m_abort = on; }
    void addMessage(const QString& text) override { if (frmMain* m = mainWindow()) m->addMessage(text); }
    void downloadFailure(const QString& msg, qint16 module) override {
        if (frmMain* m = mainWindow()) m->downloadFailure(msg, module);
    }
    bool g_downloadStatusOk(qint16 module) override { return mainWindow() && mainWindow()->g_downloadStatusOk(module); }
    Selection g_getUserSelection() override { return mainWindow() ? mainWindow()->g_getUserSelection() : Selection{}; }
    void g_restoreUserSelection(const Selection& s) override { if (frmMain* m = mainWindow()) m->g_restoreUserSelection(s); }
    bool g_getBootloaderVersionChange(qint16 module) override {
        return mainWindow() && mainWindow()->g_getBootloaderVersionChange(module);
    }
    void g_resetBootloaderVersionChange(qint16 module) override {
        if (frmMain* m = mainWindow()) m->g_resetBootloaderVersionChange(module);
    }
};

// The start-up unlocks the window through the command lock.
struct CommandLockAdapter : CommandLockLink {
    void enableAllControls() override {
        if (frmMain* m = mainWindow()) m->enableAllControls();
    }
};

// The auto-download state's calls when module 0 is not the spare.
struct AutoDownloadMainWindowAdapter : AutoDownloadMainWindow {
    void notConnectedToSpare(int module) override {
        if (frmMain* m = mainWindow()) m->notConnectedToSpare(module);
    }
    void logOffApplication() override {
        if (frmMain* m = mainWindow()) m->g_logOffApplication(true);
    }
};

}  // namespace

namespace canLinks {

void install() {
    static CanMasterAdapter master;
    static ModuleStatusAdapter status;
    static AutoDownloadAdapter autoDownload;
    static ApplicationTypeAdapter appType;
    static SymbolSettersAdapter setters;
    static ModeChangeAdapter modeChange;
    static CommandLockAdapter commandLock;
    static AutoDownloadMainWindowAdapter autoDownloadMain;
    // The main window's own procedures behind the start-up's and the CAN side's calls.
    frmMainLinks::install();
    canMasterLink::install(&master);
    moduleStatusLink::install(&status);
    autoDownloadLink::install(&autoDownload);
    applicationTypeLink::install(&appType);
    symbolSettersLink::install(&setters);
    modeChangeMainWindowLink::install(&modeChange);
    commandLockLink::install(&commandLock);
    autoDownloadMainWindowLink::install(&autoDownloadMain);
}

}  // namespace canLinks

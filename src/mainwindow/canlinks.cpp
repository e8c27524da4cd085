#include "mainwindow/canlinks.h"

#include "can/frmcanopen.h"
#include "can/modapplicationmode.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "mainwindow/applicationtypelink.h"
#include "mainwindow/autodownloadlink.h"
#include "mainwindow/canmasterlink.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/modulestatuslink.h"

namespace {

struct CanMasterAdapter : CanMasterLink {
    bool g_noCAN() const override { return frmCANopen::instance().g_noCAN; }
    void set_g_noCAN(bool on) override { frmCANopen::instance().g_noCAN = on; }
    bool g_blockTransferEnable() const override { return frmCANopen::instance().g_blockTransferEnable; }
    void set_g_blockTransferEnable(bool on) override { frmCANopen::instance().g_blockTransferEnable = on; }
    void g_releaseCanOpen(bool onlyHW) override { frmCANopen::instance().g_releaseCanOpen(onlyHW); }
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
};

}  // namespace

namespace canLinks {

void install() {
    static CanMasterAdapter master;
    static ModuleStatusAdapter status;
    static AutoDownloadAdapter autoDownload;
    static ApplicationTypeAdapter appType;
    canMasterLink::install(&master);
    moduleStatusLink::install(&status);
    autoDownloadLink::install(&autoDownload);
    applicationTypeLink::install(&appType);
    modAutoDownload::g_notConnectedToSpare = [](int module) {
        if (frmMain* m = frmMain::instance()) m->notConnectedToSpare(module);
    };
    modAutoDownload::g_logOffApplication = [] {
        if (frmMain* m = frmMain::instance()) m->g_logOffApplication(true);
    };
}

}  // namespace canLinks

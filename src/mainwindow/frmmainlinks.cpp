#include "mainwindow/frmmainlinks.h"

#include "can/links.h"
#include "dcbuilder/loadfileslink.h"
#include "mainwindow/bussetuplink.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/toolwindowlinks.h"

namespace {

struct BusSetupOfMainWindow : BusSetupLink {
    void initConnection(bool mBusOnly, bool darvo, bool& ok) override {
        ok = false;
        if (frmMain* m = frmMain::instance()) m->initConnection(mBusOnly, darvo, ok);
    }
    void setUserRights() override {
        if (frmMain* m = frmMain::instance()) m->setUserRights();
    }
};

struct LoadFilesOfMainWindow : LoadFilesLink {
    void g_checkFileExist(const QString& kind, bool quiet) override {
        if (frmMain* m = frmMain::instance()) m->lookUpLoadFiles(kind, quiet);
    }
};

struct ConnectionDisplayOfMainWindow : MainWindowConnectionDisplay {
    void g_updateConnectionStatus() override {
        if (frmMain* m = frmMain::instance()) m->g_updateConnectionStatus();
    }
    void busLost(const QString& text) override {
        if (frmMain* m = frmMain::instance()) m->addMessage(text);
    }
    void busBack(const QString& text) override { busLost(text); }
};

}  // namespace

namespace frmMainLinks {

void install() {
    static BusSetupOfMainWindow busSetup;
    static LoadFilesOfMainWindow loadFiles;
    static ConnectionDisplayOfMainWindow display;
    busSetupLink::install(&busSetup);
    loadFilesLink::install(&loadFiles);
    connectionDisplayLink::install(&display);
    toolWindowLinks::install();
}

}  // namespace frmMainLinks

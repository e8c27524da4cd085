#include "updater/updaterinstall.h"
#include "updater/updaterun.h"
#include "updater/updatewindow.h"

#include "can/frmcanopen.h"
#include "can/infoblock.h"
#include "can/modconnectionstatus.h"
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

namespace {

std::unique_ptr<UpdateRun> s_run;

// The main window's update members, served by the run.
struct RunOfMainWindow : UpdaterLink {
    UpdateRun& r;
    frmMain& w;
    RunOfMainWindow(UpdateRun& run, frmMain& m) : r(run), w(m) {}
    void showUpdater() override { r.showUpdater(); }
    void notConnectedToSpare(int module) override { r.notConnectedToSpare(module); }
    void downloadFinished() override { r.downloadFinished(); }
    void setSystemValue(const SystemSymbol& row, const QByteArray& v, qint32& key) override {
        r.setSystemValue(row, v, key);
    }
    void addMessageUpdater(const QString& text, int reportLine) override { r.addMessageUpdater(text, reportLine); }
    void setUserInfo(const QString& text, int delay, bool& okButton, int exitButton, bool& shown) override {
        shown = r.setUserInfo(text, delay, okButton, exitButton != 0);
    }
    bool errorSignal(bool flag) override { return r.window().errorSignal(flag); }
    // The report button of the main window opens the file that this names.
    void writeReport() override {
        if (r.started()) r.writeReport();
        w.m_reportFile = r.reportFile();
    }
    void setProgressLoad(double value) override { r.window().prgProgressLoad->setFraction(value); }
};

// The main window's commands and the CAN side, as the run uses them.
struct MainWindowOfRun : UpdateModulesLink {
    frmMain& w;
    UpdateWindow& view;
    bool placed = false;
    MainWindowOfRun(frmMain& m, UpdateWindow& v) : w(m), view(v) {}

    static bool on(QCheckBox* c) { return vbCheck::value(c) == vbCheck::vbChecked; }
    bool applicationRunning(int m) override { return on(w.chkApplicationRunning.at(m)); }
    bool bootloaderRunning(int m) override { return on(w.chkBootLoaderRunning.at(m)); }
    // As the "All" box of the module column selects: a module seen in either program.
    bool moduleSelectable(int m) override {
        return (applicationRunning(m) || bootloaderRunning(m)) && vbCheck::enabled(w.chkProgram.at(m));
    }
    void setApplicationFile(const QString& path) override {
        w.txtEmh[0]->setText(modFileFct::g_fileName(path));
        vbControls::setTag(w.txtEmh[0], path);
    }
    QString sentFile(const QString& path) override { return w.sentFile(path); }
    void select(const Selection& modules) {
        for (int i = 0; i < frmMain::moduleCount; ++i)
            vbCheck::setValue(w.chkProgram[i], modules[i] ? vbCheck::vbChecked : vbCheck::vbUnchecked);
    }
    void download(const Selection& modules, Selection& done) override {
        vbCheck::setValue(w.chkLoadSection[0], vbCheck::vbChecked);
        select(modules);
        w.m_moduleDone = done;
        w.cmdDownload_Click();
        done = w.m_moduleDone;
    }
    void startApplication(const Selection& modules) override {
        select(modules);
        w.mnuStartApplication_Click();
    }
    void login() override { modAutoDownload::g_login(); }
    void setServiceBit(qint32 key, int value) override { frmCANopen::instance().g_setServiceBit(key, quint8(value)); }
    void writeSymbol(qint32 symbol, int kind, const QByteArray& value) override {
        frmCANopen::instance().g_writeSymbol(symbol, qint16(kind), value);
    }
    bool writeInfoBlock(int module, qint32 section, const QString& file, const QByteArray& image,
                        qint32 startAddress) override {
        return modDownload::writeInfoBlock(qint16(module), section, file, image, startAddress);
    }
    int loadingStatus(int module) override { return modDownload::g_getLoadingStatus(qint16(module), true); }
    bool restartAfterDownload(int module) override {
        modRestart::Record record;
        record.written[module] = true;
        return !modRestart::g_restart(record)[module];
    }
    bool writeSection(int module, qint32 section, const QByteArray& image) override {
        bool ok = false;
        w.writeSection(module, section, image, ok);
        return ok;
    }
    bool readInfoBlock(int module, qint32 section, QByteArray& block) override {
        qint32 length = 0;
        return frmCANopen::instance().g_readSDO(quint8(module + modGlobal::g_cobIdBootloader), moduleProtocol::idxInfoBlock,
                                                quint8(section), length, block, false, false, true);
    }
    std::array<int, 15> moduleStates() override {
        std::array<int, 15> states{};
        const QVector<qint32> s = modConnectionStatus::g_getConnectionStatus();
        for (int m = 0; m < 15 && m < s.size(); ++m) states[size_t(m)] = s[m];
        return states;
    }
    void showMainWindow() override {
        // The update window takes the right-hand side of the main window.
        QWidget* client = w.clientArea();
        if (!placed) {
            placed = true;
            const QSize size = client->size();
            view.move(size.width(), 0);
            client->setFixedSize(size.width() + view.width(), std::max(size.height(), view.height()));
            windowFit::fitToContent(&w);
        }
        view.show();
        w.show();
    }
    QString programDir() override { return QFileInfo(w.programFile()).absolutePath(); }
    void exitProgram() override { w.cmdExit_Click(); }
    void runEnded() override { w.updateRunEnded(); }
};

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

UpdateRun& install(frmMain& mainWindow) {
    auto* view = new UpdateWindow(mainWindow.clientArea());
    view->hide();
    s_run = std::make_unique<UpdateRun>(*view);
    static std::unique_ptr<RunOfMainWindow> runLink;
    static std::unique_ptr<MainWindowOfRun> modulesLink;
    runLink = std::make_unique<RunOfMainWindow>(*s_run, mainWindow);
    modulesLink = std::make_unique<MainWindowOfRun>(mainWindow, *view);
    updaterLink::install(runLink.get());
    updateModulesLink::install(modulesLink.get());
    mainWindow.installEventFilter(new ReportOnClose(&mainWindow));
    // The report button belongs to the update window; the main window's handler serves it.
    mainWindow.cmdOpenReport = view->cmdOpenReport;
    QObject::connect(view->cmdOpenReport, &QPushButton::clicked, &mainWindow, &frmMain::cmdOpenReport_Click);
    // A program ended on an error still leaves the report of its run.
    static struct : ProgramEnd {
        void beforeEnd() override {
            if (s_run && s_run->started()) s_run->programEnds();
        }
    } reportAtEnd;
    programEndLink::install(&reportAtEnd);
    return *s_run;
}

UpdateRun* run() { return s_run.get(); }

void uninstall() {
    programEndLink::install(nullptr);
    updaterLink::install(nullptr);
    updateModulesLink::install(nullptr);
    s_run.reset();
}

}  // namespace updater

#pragma once
// The CAN part's calls up into the main window, each a Link slot (services/link.h) that
// the program's wiring fills; until then they do nothing and answer "no". What the other
// parts use of the CAN part is one slot of its own, canMasterLink (can/canmaster.h).
#include "can/moduleprotocol.h"
#include "services/link.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct SystemSymbol;

// The system-information setters (g_setBuild, g_setHullNumber, …), one per row of
// systemSymbols: each gets its row, the symbol message's four value bytes (in message
// order) and its whole 16-bit key, the top four bits as received. A setter keeps the value
// for the update run and switches the symbol's publication off
// (frmCANopen::g_setServiceBit(key, 0)); the main window is created first if it does not
// exist yet.
class MainWindowSymbolSetters {
public:
    virtual ~MainWindowSymbolSetters() = default;
    virtual void setSystemValue(const SystemSymbol& row, const QByteArray& value, qint32& key) {}
};
using symbolSettersLink = Link<MainWindowSymbolSetters, MainWindowSymbolSetters>;

// The main window's module lamps (g_updateConnectionStatus), refreshed on each heartbeat
// tick while modHeartBeatControl::g_heartBeatRefresh is set.
class MainWindowConnectionDisplay {
public:
    virtual ~MainWindowConnectionDisplay() = default;
    virtual void g_updateConnectionStatus() {}
    // The adapter lost its bus: shown once in the window's log.
    virtual void busLost(const QString& text) {}
    // The adapter has its bus again after a loss.
    virtual void busBack(const QString& text) {}
};
using connectionDisplayLink = Link<MainWindowConnectionDisplay, MainWindowConnectionDisplay>;

// What the mode change reads and writes of the main window: its log, its result lamps, its
// module selection, the bootloader-version-change flags and the Abort button's flag.
class ModeChangeMainWindow {
public:
    virtual ~ModeChangeMainWindow() = default;
    // m_abort: set by the Abort button, read and cleared by the waiting command.
    virtual bool m_abort() const { return false; }
    virtual void set_m_abort(bool) {}
    // A log line (carriage returns split it) in the main message list.
    virtual void addMessage(const QString&) {}
    // Logs a failure line and turns the module's lamp red.
    virtual void downloadFailure(const QString& msg_, qint16 targetNo_) {}
    // The module's lamp is green: its last download succeeded.
    virtual bool g_downloadStatusOk(qint16 module_) { return false; }
    // The module check boxes, saved at a command's start and restored at its end.
    virtual moduleProtocol::Selection g_getUserSelection() { return {}; }
    virtual void g_restoreUserSelection(const moduleProtocol::Selection&) {}
    // Bootloader 2 was loaded into the module.
    virtual bool g_getBootloaderVersionChange(qint16) { return false; }
    virtual void g_resetBootloaderVersionChange(qint16) {}
};
using modeChangeMainWindowLink = Link<ModeChangeMainWindow, ModeChangeMainWindow>;

// What the auto-download state calls of the main window.
class AutoDownloadMainWindow {
public:
    virtual ~AutoDownloadMainWindow() = default;
    // Update mode: a cylinder module answers in place of module 0.
    virtual void notConnectedToSpare(int module) {}
    // Ends the program through the main window's log-off.
    virtual void logOffApplication() {}
};
using autoDownloadMainWindowLink = Link<AutoDownloadMainWindow, AutoDownloadMainWindow>;

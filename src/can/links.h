#pragma once
// Every seam of the CAN part, in one place. Each is a Link slot (services/link.h):
// - the calls up into the main window, which registers its implementations at start-up
//   (a test registers fakes); until then the defaults do nothing and answer "no";
// - the CAN master operations that the mode change and the auto-download state go
//   through, so that a test can record them or answer them itself; by default they go to
//   the CAN master frmCANopen.
#include "services/link.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

struct SystemSymbol;

// ---- Up into the main window ----

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
    // Module 0 (spare) to 14.
    using Selection = std::array<bool, 15>;

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
    virtual Selection g_getUserSelection() { return {}; }
    virtual void g_restoreUserSelection(const Selection&) {}
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

// ---- The CAN master operations of the mode change and the auto-download ----

class ModeChangeMaster {
public:
    virtual ~ModeChangeMaster() = default;
    // g_writeSDO, quiet; timeoutMs > 0 is the SDO time-out of this write only.
    virtual bool writeSDO(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs = 0);
    // NMT start; node 0 starts all nodes.
    virtual bool setOperational(quint8 node);
    // g_searchNode, quiet: whether the module runs the program that base (a node-id base) names.
    virtual bool searchNode(qint16 module, quint8 base);
    // The next transfer with the module asks its bootloader version again.
    virtual void resetSDOTransferMode(qint16 module);
    // The adapter reported the bus lost: no wait for a module can end well.
    virtual bool busLost();
};
using modeChangeMasterLink = Link<ModeChangeMaster, ModeChangeMaster>;

class AutoDownloadMaster {
public:
    virtual ~AutoDownloadMaster() = default;
    virtual bool setUserLevel(quint8 level);
    virtual bool setServiceBit(qint32 key, quint8 state);
    virtual bool writeSymbol(qint32 symbol, qint16 cylNo, const QByteArray& value);
    // Quiet SDO read of a whole object.
    virtual bool readSDO(qint32 node, qint32 index, quint8 subIndex, QByteArray& data);
};
using autoDownloadMasterLink = Link<AutoDownloadMaster, AutoDownloadMaster>;

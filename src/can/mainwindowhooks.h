#pragma once
// The calls of the CAN part up into the main window: the setters that the receive drain
// feeds with the system information the modules publish, and the connection display that
// the heartbeat tick refreshes. The main window registers its implementations at start-up
// (a test registers fakes); until then the defaults do nothing.
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Each setter gets the symbol message's four value bytes (in message order) and its whole
// 16-bit key, the top four bits as received. A setter keeps the value for the update run
// and switches the symbol's publication off (frmCANopen::g_setServiceBit(key, 0)); the main
// window is created first if it does not exist yet.
class MainWindowSymbolSetters {
public:
    virtual ~MainWindowSymbolSetters() = default;
    virtual void g_setFirstApplicationCrc(const QByteArray& value, qint32& key) {}
    virtual void g_setBuild(const QByteArray& value, qint32& key) {}
    virtual void g_setDeveloper(const QByteArray& value, qint32& key) {}
    virtual void g_setNoOfCyl(const QByteArray& value, qint32& key) {}
    virtual void g_setHullNumber(const QByteArray& value, qint32& key) {}
    virtual void g_setEngineType(const QByteArray& value, qint32& key) {}
    virtual void g_setAutoDownload(const QByteArray& value, qint32& key) {}
    virtual void g_setCrcValueImo(const QByteArray& value, qint32& key) {}
    virtual void g_setCrcLenImo(const QByteArray& value, qint32& key) {}
    virtual void g_setCrcValueApplication(const QByteArray& value, qint32& key) {}
    virtual void g_setCrcLenApplication(const QByteArray& value, qint32& key) {}
};

// The main window's module lamps (g_updateConnectionStatus), refreshed on each heartbeat
// tick while modHeartBeatControl::g_heartBeatRefresh is set.
class MainWindowConnectionDisplay {
public:
    virtual ~MainWindowConnectionDisplay() = default;
    virtual void g_updateConnectionStatus() {}
    // The adapter lost its bus: shown once in the window's log.
    virtual void busLost(const QString& text) {}
};

namespace mainWindowHooks {
// nullptr brings the do-nothing default back. The object must outlive its registration.
void installSymbolSetters(MainWindowSymbolSetters* impl);
void installConnectionDisplay(MainWindowConnectionDisplay* impl);
MainWindowSymbolSetters& symbolSetters();
MainWindowConnectionDisplay& connectionDisplay();
}  // namespace mainWindowHooks

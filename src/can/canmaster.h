#pragma once
// The CAN part as every other part uses it: the CAN master's operations and what its
// heartbeat supervision, auto-download state and mode change know of the modules. One
// object serves it for the whole run, frmCANopen; a test installs tests/support's fake.
#include "can/canmessageform.h"
#include "can/moduleprotocol.h"
#include "services/link.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class CanMaster {
public:
    virtual ~CanMaster() = default;

    // ---- Flags the other parts read and set ----
    // No CAN board is used in this run: every bus operation then succeeds without one.
    virtual bool g_noCAN() const = 0;
    virtual void set_g_noCAN(bool on) = 0;
    // Block transfer is also allowed for bootloaders older than 3.0.
    virtual bool g_blockTransferEnable() const = 0;
    virtual void set_g_blockTransferEnable(bool on) = 0;
    // A module has answered on the bus since the program started; never reset.
    virtual bool g_bootupReceived() const = 0;
    virtual void set_g_bootupReceived(bool on) = 0;
    // The heartbeat tick refreshes the main window's module lamps.
    virtual bool g_heartBeatRefresh() const = 0;
    virtual void set_g_heartBeatRefresh(bool on) = 0;

    // ---- Bus set-up and release ----
    // Sets up the bus busName ("M..." is the M-Bus) on device deviceNo; 255 takes the
    // device from the configuration, with one retry on the next number. dllVersion
    // receives the component's version.
    virtual bool g_initialise(const CanMessageForm& messageForm, double& dllVersion, const QString& busName, bool darvo,
                              quint8 deviceNo) = 0;
    // Unless onlyHW, stops the node of the test view first; then stops the component.
    virtual void g_releaseCanOpen(bool onlyHW) = 0;
    // A bus is set up and its converter has not lost it since (never under g_noCAN).
    virtual bool busUp() const = 0;
    // The converter reported the bus of the running set-up lost.
    virtual bool busLost() const = 0;
    // How often the converter lost its bus since the program started; a command compares.
    virtual int busLosses() const = 0;
    // Whether a transfer failed on a converter that took no frame since the last ask.
    virtual bool takeTransmitQueueFull() = 0;

    // ---- Network management and SDO (status 1 is success) ----
    // NMT start; node 0 starts all nodes. Unless noMessage, a failure is shown.
    virtual bool g_setOperational(quint8 node, bool noMessage) = 0;
    // rxLen returns the number of bytes received.
    virtual bool g_readSDO(quint8 node, qint32 index, quint8 subIndex, qint32& rxLen, QByteArray& rxData,
                           bool recursiveCall, bool noMessage, bool noBlockTransfer) = 0;
    // txLen only serves the block decision; timeoutMs > 0 is the SDO time-out of this write.
    virtual bool g_writeSDO(quint8 node, qint32 index, quint8 subIndex, qint32 txLen, const QByteArray& txData,
                            bool noMessage, qint32 timeoutMs) = 0;
    // Whether the module runs the program that base (a node-id base) names.
    virtual bool g_searchNode(qint16 module, quint8 base, bool noMessage, qint32& status) = 0;
    // The bootloader version from 0x100A ("3.10" gives 3.1); 0 when unreadable.
    virtual double g_getBootLoaderVersion(quint8 node) = 0;
    // The hardware version from 0x1009 as decimal text; "X" for an empty text, "?" unreadable.
    virtual QString g_getHardwareVersion(qint16 module, bool isInBootloader) = 0;
    // The next transfer with the module asks its bootloader version again.
    virtual void g_resetSDOTransferMode(qint16 module) = 0;

    // ---- Raw messages ----
    // Drains the received messages now.
    virtual void g_forceHeartBeatCheck() = 0;
    // Switches the publication of a symbol key on (1) or off (0).
    virtual bool g_setServiceBit(qint32 key, quint8 state) = 0;
    virtual bool g_setUserLevel(quint8 level) = 0;
    // Writes a symbol value (four bytes) to module cylNo.
    virtual bool g_writeSymbol(qint32 key, qint16 cylNo, const QByteArray& value) = 0;

    // ---- What the part knows of the modules ----
    // The heartbeats' states alone.
    virtual moduleProtocol::ModuleStates heartBeatStates() = 0;
    // The module-state query: on the M-Bus modules 1 to 14 from module 0's auto-download
    // status (which this logs in to once module 0 runs its application).
    virtual moduleProtocol::ModuleStates connectionStates() = 0;
    // One module's state; never logs in.
    virtual moduleProtocol::ModuleState moduleState(int module) = 0;
    // The states the main window's rows show: on the M-Bus the cylinders reported last stay
    // while module 0 reports nothing.
    virtual moduleProtocol::ModuleStates shownStates() = 0;
    // A heartbeat of the old bootloader's node arrived while connected to the M-Bus.
    virtual bool oldBootloaderDetectedOnMBus() = 0;
    // The check that the module answering as module 0 on the M-Bus is module 0; it may end
    // the program.
    virtual void checkMBusModuleID(bool inBootloader) = 0;
    // 0 no news or expired, 1 standstill, 2 engine running.
    virtual qint32 engineStandStillStatus() = 0;
    virtual bool enoughCylindersToRunEngine() = 0;

    // The quiet forms the state polls and the mode change use: no box, and a read without
    // block transfer.
    bool readQuiet(quint8 node, qint32 index, quint8 subIndex, QByteArray& data) {
        qint32 length = 0;
        return g_readSDO(node, index, subIndex, length, data, false, true, true);
    }
    bool writeQuiet(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, qint32 timeoutMs = 0) {
        return g_writeSDO(node, index, subIndex, qint32(data.size()), data, true, timeoutMs);
    }
    bool searchQuiet(qint16 module, quint8 base) {
        qint32 status = 0;
        return g_searchNode(module, base, true, status);
    }

    // ---- The master's window ("CANopen Test") ----
    virtual bool isLoaded() const = 0;
    // Releases the master, closes the window and stops its timers.
    virtual void unload() = 0;
    virtual void g_show() = 0;
};

// The CAN master of the run, the slot's default.
struct TheCanMaster {
    static CanMaster& instance();
};

using canMasterLink = Link<CanMaster, TheCanMaster>;

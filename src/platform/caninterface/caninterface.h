#pragma once
// The CAN interface component: a CANopen master on a Qt SerialBus device. Every method
// reports a status in its last argument: 1 success, 0x7003 receive queue empty, anything
// else a failure (canstatus.h; a refused or failed SDO transfer reports its abort code).
//
// The device lives in the layer's worker thread. SDO transfers are synchronous: they block
// the calling thread until the transfer ends, fails or times out. Frames that are not the
// running transfer's response go to a bounded receive queue (readMessage); their arrival
// raises SignalEvent in the thread that made this object.
#include "caninterface/canstatus.h"
#include "link/link.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <memory>

class CanWorker;
class QCanBusDevice;
class ReceiveQueue;

class CANInterface : public QObject {
    Q_OBJECT
public:
    explicit CANInterface(QObject* parent = nullptr);
    ~CANInterface() override;

    // The Qt SerialBus plugin and interface that initBoard opens for a device number; the
    // layer reads no configuration itself. A virtualcan interface may be a URL,
    // tcp://127.0.0.1:PORT/can0 or …/can1.
    void setDevice(quint8 deviceNo, const QString& plugin, const QString& interfaceName);

    // Opens the device given for deviceNo; success only once it is connected. The board
    // type and the last argument have no meaning here; the baud rate goes to the plugin.
    void initBoard(qint32 boardType, quint8 deviceNo, qint32 baudRate, qint32 reserved, qint32& status_);
    // What the last initBoard opened (plugin and interface) or why it could not.
    QString openReport() const { return m_openReport; }
    // Reads an object. length is in/out: whatever is asked for, all the object's bytes come
    // back and length says how many. block asks for block upload; noBlock or neither for
    // a plain (expedited or segmented) one.
    void sdoUpload(quint8 node, qint32 index, quint8 subIndex, QByteArray& data, qint32& length, bool noBlock,
                   bool block, qint32& status_);
    // The oldest queued frame: its COB-ID, its data length code, its bytes (as many as the
    // frame carried) and the number of frames still queued.
    void readMessage(qint32& cobId, qint32& dlc, QByteArray& data, qint32& queued, qint32& status_);
    // Writes an object: block asks for block download, else expedited or segmented.
    void sdoDownload(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, bool noBlock, bool block,
                     qint32& status_);
    // A raw frame: an 11-bit COB-ID and up to 8 bytes. Returns once it has left for the
    // device; TransmissionError when the converter took no frame within the SDO time-out.
    void sendMessage(qint32 cobId, const QByteArray& data, qint32& status_);
    // The heartbeat of node `node`: COB-ID 0x700 + node, one byte of state.
    void sendHeartBeat(quint8 node, quint8 state, qint32& status_);
    void startCan(qint32& status_);
    void stopCan(qint32& status_);  // closes the device and empties the queue
    // Kept; no option changes this layer's behaviour.
    void setMasterOption1(qint32 value, qint32& status_);
    void setMasterOption2(qint32 value, qint32& status_);
    void setMasterOption3(qint32 value, qint32& status_);
    // Versions with the major number in the high byte.
    void getBoardInfo(qint32& hardwareVersion, qint32& firmwareVersion, qint32& apiVersion, qint32& boardSegment,
                      qint32& interrupt, QString& hardwareName, QString& serialNumber, qint32& status_);
    // The wait for each server response of later transfers; 200 ms until set.
    void setSdoTimeout(qint32 ms, qint32& status_);
    // NMT start (0x000: 0x01, node); node 0 starts all nodes.
    void startRemoteNode(quint8 node, qint32& status_);
    void releaseNode(quint8 node, qint32& status_);

signals:
    void ErrorEvent(qint32 id_, qint32 errorCode_, const QString& errorMessage_);
    void SignalEvent();
    // The device lost earlier (an ErrorEvent with status -1) is connected again.
    void ReconnectEvent(qint32 id_, const QString& message_);

private:
    template <class F> void onWorker(F f);
    qint32 sdoCheck(quint8 node, qint32 index, bool noBlock, bool block) const;

    std::shared_ptr<ReceiveQueue> m_queue;
    CanWorker* m_worker = nullptr;  // lives in the worker thread
    QMutex m_callMutex;             // one call on the bus at a time
    QMap<quint8, QPair<QString, QString>> m_devices;
    quint8 m_deviceNo = 0;
    QString m_openReport;
    qint32 m_options[3] = {0, 0, 0};
};

// What the component says of itself through its version class: it has one, and it is
// 2.0 (block transfer and every feature). A test stands in for a component of 1.0 or 1.1,
// or one without the class.
class CanComponent {
public:
    virtual ~CanComponent() = default;
    virtual bool hasVersionClass() const { return true; }
    virtual double version() const { return 2.0; }
};
using canComponentLink = Link<CanComponent, CanComponent>;

// Makes the bus device that initBoard opens, in the layer's worker thread: by default the
// device of Qt's plugin of that name. Tests stand in a converter of their own (a transmit
// queue that fills, a connection that drops).
class CanDeviceFactory {
public:
    virtual ~CanDeviceFactory() = default;
    // The device, or nullptr with the reason in error.
    virtual QCanBusDevice* createDevice(const QString& plugin, const QString& interfaceName, QString* error);
};
using canDeviceLink = Link<CanDeviceFactory, CanDeviceFactory>;

// The component's version class, answering what canComponentLink's component says.
class CANInterfaceVersion {
public:
    CANInterfaceVersion();  // throws RuntimeError when the component has no version class
    double version() const;
};

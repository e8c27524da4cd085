#pragma once
// The bus side of the CAN interface: the Qt SerialBus device and the running SDO transfer,
// living in the layer's worker thread. CANInterface calls into it only through queued
// calls that run in that thread; completion comes back through the callbacks.
#include "caninterface/receivequeue.h"
#include "caninterface/sdotransfer.h"
#include "caninterface/transmitqueue.h"

#include <QCanBusDevice>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

Q_DECLARE_LOGGING_CATEGORY(lcCan)

class CanWorker : public QObject, public SdoTransfer::Link {
    Q_OBJECT
public:
    using Done = std::function<void(qint32 status)>;
    using UploadDone = std::function<void(qint32 status, const QByteArray& data)>;

    static constexpr int ConnectTimeoutMs = 3000;
    // How long frames may wait to leave the device before a transfer gives up on them.
    static constexpr int SendStallMs = 5000;

    explicit CanWorker(std::shared_ptr<ReceiveQueue> queue);
    ~CanWorker() override;

    // The worker thread of the layer, shared by every CANInterface; it runs as long as the
    // process, since Qt's virtual bus may be hosted in it.
    static QThread* thread();

    // Everything below runs in the worker thread.
    void open(const QString& plugin, const QString& interfaceName, int bitRate, Done done);
    // Why the last open failed, naming plugin and interface; empty after a success.
    const QString& openFailure() const { return m_openFailure; }
    void close();
    qint32 start();
    bool isOpen() const;
    bool isStarted() const { return m_started; }
    // A raw frame, in order behind the frames before it; done once it has left, or with
    // TransmissionError when it could not leave within the SDO time-out.
    void sendFrame(quint32 cobId, const QByteArray& data, Done done);
    void transfer(quint8 node, SdoTransfer::Kind kind, quint16 index, quint8 subIndex, const QByteArray& data,
                  UploadDone done);
    void setSdoTimeout(int ms) { m_timeoutMs = ms; }
    QString serialNumber() const;

    // SdoTransfer::Link: frames to the server of the running transfer.
    bool send(const QByteArray& frame) override;
    void awaitResponse() override;

signals:
    // A frame was queued while no signal was pending.
    void framesQueued();
    void errorEvent(qint32 code, const QString& message);
    // The device lost earlier is connected again: opened anew, or it came back by itself.
    void reconnected(const QString& message);

    // --- a device that drops out and comes back (canworker_reopen.cpp) ---
public:
    // While a started device is lost, it is opened again this often until that succeeds.
    static constexpr int ReopenEveryMs = 1000;
    // What open is given, kept for opening the device again after a loss.
    void keepForReopen(const QString& plugin, const QString& interfaceName, int bitRate);

private:
    void connectionLost(const QString& message);
    void reopen();
    void onReconnected();
    QString m_reopenPlugin, m_reopenInterface;
    int m_reopenBitRate = 0;
    QTimer m_reopenTimer{this};  // parented, as the other timers: it moves with the worker

private:
    void onFramesReceived();
    void quickAck();
    void onFramesWritten();
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    void onErrorOccurred(QCanBusDevice::CanBusError error);
    void onSocketError(const QString& text);
    void onTimeout();
    void checkArm();
    void checkTransferDone();
    void endTransfer(qint32 status);
    void transferStalled();
    void rawFrameDropped(quint32 cobId);
    void finishOpen(qint32 status, const QString& failure = {});
    void dropDevice();
    void report(qint32 code, const QString& message);

    std::shared_ptr<ReceiveQueue> m_queue;
    QCanBusDevice* m_device = nullptr;
    QString m_description;  // plugin and interface, for the log
    QString m_openFailure;
    bool m_started = false;
    bool m_lost = false;    // the connection broke after it was made
    bool m_reopening = false;          // the next open is a try at the lost converter
    bool m_reportOpenFailure = true;   // false for such a try: the loss was told once
    Done m_openDone;
    QTimer m_openTimer;

    // Frames of no transfer (raw frames, aborts) in m_tx; a transfer's are tagged with its serial.
    static constexpr int UntiedTag = 0;
    TransmitQueue m_tx;
    bool m_dropReported = false;  // a raw frame was dropped and no raw frame has left since
    std::unique_ptr<SdoTransfer> m_transfer;
    int m_serial = UntiedTag + 1;  // of the running transfer: the tag of its frames in m_tx
    UploadDone m_transferDone;
    quint32 m_requestId = 0, m_responseId = 0;
    int m_timeoutMs = 200;
    // The protocol's own clock, in real time: the caller is blocked during a transfer, and
    // the program's virtual test clock belongs to the user-interface thread.
    QTimer m_timer;
    bool m_armPending = false;  // waiting for the last frame to leave before the clock runs
    QElapsedTimer m_sendWait;
};

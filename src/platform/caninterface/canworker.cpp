#include "caninterface/canworker.h"

#include "caninterface/caninterface.h"
#include "caninterface/canopenids.h"
#include "caninterface/canstatus.h"
#include "caninterface/sdoprotocol.h"

#include <QAbstractSocket>
#include <QCanBus>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThread>
#include <QVariant>
#include <limits>
#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

Q_LOGGING_CATEGORY(lcCan, "kelb.can")

CanWorker::CanWorker(std::shared_ptr<ReceiveQueue> queue)
    : m_queue(std::move(queue)), m_openTimer(this), m_tx(this), m_timer(this) {  // parented: they move with the worker
    connect(&m_tx, &TransmitQueue::emptied, this, &CanWorker::checkArm);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CanWorker::onTimeout);
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, [this] {
        finishOpen(CanStatus::HardwareError,
                   QStringLiteral("no connection to %1 within %2 ms").arg(m_description).arg(ConnectTimeoutMs));
    });
    m_reopenTimer.setSingleShot(true);
    connect(&m_reopenTimer, &QTimer::timeout, this, &CanWorker::reopen);
}

CanWorker::~CanWorker() { close(); }

namespace {
QThread* g_thread = nullptr;
// Only when the application object goes: the bus server it may host would otherwise
// poll its closed sockets until the process is gone.
void endThread() {
    g_thread->quit();
    g_thread->wait(2000);
}
}  // namespace

QThread* CanWorker::thread() {
    // Never ended while the program runs, never deleted: ending it would take Qt's virtual
    // bus server with it.
    static QThread* t = [] {
        g_thread = new QThread;
        g_thread->setObjectName(QStringLiteral("CANInterface"));
        g_thread->start();
        qAddPostRoutine(endThread);
        return g_thread;
    }();
    return t;
}

void CanWorker::report(qint32 code, const QString& message) {
    qCWarning(lcCan).noquote() << "CAN:" << message;
    emit errorEvent(code, message);
}

void CanWorker::open(const QString& plugin, const QString& interfaceName, int bitRate, Done done) {
    close();
    m_lost = false;
    m_reportOpenFailure = !std::exchange(m_reopening, false);
    m_description = QStringLiteral("interface \"%1\" of plugin \"%2\"").arg(interfaceName, plugin);
    m_openDone = std::move(done);
    QString error;
    m_device = canDeviceLink::get().createDevice(plugin, interfaceName, &error);
    // A misspelt or uninstalled plugin: the engineer needs the names that would do.
    if (!m_device && !QCanBus::instance()->plugins().contains(plugin))
        error += QStringLiteral("; the CAN plugins Qt has: ") + QCanBus::instance()->plugins().join(QStringLiteral(", "));
    if (!m_device) return finishOpen(CanStatus::HardwareError, QStringLiteral("cannot open %1: %2").arg(m_description, error));
    // Some plugins make a device even for a name they refuse, and say so only in its error.
    if (m_device->error() != QCanBusDevice::NoError)
        return finishOpen(CanStatus::HardwareError,
                          QStringLiteral("cannot open %1: %2").arg(m_description, m_device->errorString()));
    m_tx.setDevice(m_device);
    if (bitRate > 0) m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitRate));
    connect(m_device, &QCanBusDevice::framesReceived, this, &CanWorker::onFramesReceived);
    connect(m_device, &QCanBusDevice::framesWritten, this, &CanWorker::onFramesWritten);
    connect(m_device, &QCanBusDevice::stateChanged, this, &CanWorker::onStateChanged);
    connect(m_device, &QCanBusDevice::errorOccurred, this, &CanWorker::onErrorOccurred);
    if (!m_device->connectDevice())
        return finishOpen(CanStatus::HardwareError,
                          QStringLiteral("cannot connect %1: %2").arg(m_description, m_device->errorString()));
    // The virtual bus's device does not pass on a refused or dropped connection of its
    // socket, so we listen to the socket itself.
    for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>())
        connect(s, &QAbstractSocket::errorOccurred, this, [this, s] { onSocketError(s->errorString()); });
    if (m_device->state() == QCanBusDevice::ConnectedState) return finishOpen(CanStatus::Success);
    m_openTimer.start(ConnectTimeoutMs);
}

void CanWorker::finishOpen(qint32 status, const QString& failure) {
    m_openTimer.stop();
    if (!m_openDone) return;
    m_openFailure = status == CanStatus::Success ? QString() : failure;
    if (status == CanStatus::Success) {
        // Qt's virtual bus relays frames over loopback TCP: without TCP_NODELAY a frame
        // sent behind an unanswered one waits for the delayed ACK, some 40 ms.
        for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>())
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    if (status != CanStatus::Success) {
        if (m_reportOpenFailure) report(status, failure);
        dropDevice();
    }
    auto done = std::move(m_openDone);
    m_openDone = nullptr;
    done(status);
}

void CanWorker::close() {
    m_openTimer.stop();
    m_reopenTimer.stop();
    if (m_transfer) endTransfer(CanStatus::InterfaceError);
    m_started = false;
    m_queue->clear();
    dropDevice();
}

void CanWorker::dropDevice() {
    m_tx.setDevice(nullptr);
    if (!m_device) return;
    // Unhooked first, so that closing on purpose is not reported as a lost connection.
    for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>()) s->disconnect(this);
    m_device->disconnect(this);
    m_device->disconnectDevice();
    m_device->deleteLater();  // we may be inside one of its own signals
    m_device = nullptr;
}

bool CanWorker::isOpen() const { return m_device && !m_lost && m_device->state() == QCanBusDevice::ConnectedState; }

qint32 CanWorker::start() {
    if (!m_device) return CanStatus::InterfaceError;
    if (m_started) return CanStatus::AlreadyStarted;
    if (!isOpen()) return CanStatus::HardwareError;
    m_started = true;
    return CanStatus::Success;
}

QString CanWorker::serialNumber() const { return m_device ? m_device->deviceInfo().serialNumber() : QString(); }

void CanWorker::sendFrame(quint32 cobId, const QByteArray& data, Done done) {
    if (!m_device || !m_started) return done(CanStatus::InterfaceError);
    if (!isOpen()) return done(CanStatus::HardwareError);
    auto sent = [this, cobId, done](bool left) {
        if (left) m_dropReported = false;
        else rawFrameDropped(cobId);
        done(left ? CanStatus::Success : CanStatus::TransmissionError);
    };
    if (!m_tx.push(QCanBusFrame(cobId, data), m_timeoutMs, UntiedTag, sent)) done(CanStatus::TransmissionError);
}

void CanWorker::rawFrameDropped(quint32 cobId) {
    // Heartbeats go on while the converter is stuck: one line until a frame gets out again.
    if (m_dropReported) return;
    m_dropReported = true;
    const QString frame = QStringLiteral("%1: frame 0x%2 dropped").arg(m_description, QString::number(cobId, 16).toUpper());
    if (!isOpen()) return report(CanStatus::TransmissionError, frame + QStringLiteral(", the converter is not connected"));
    report(CanStatus::TransmissionError, frame + QStringLiteral(", transmit queue of the converter full for %1 ms (%2)")
                                                     .arg(m_timeoutMs)
                                                     .arg(m_tx.refusal()));
}

void CanWorker::onFramesReceived() {
    if (!m_device) return;
    quickAck();
    bool raise = false;
    for (const QCanBusFrame& f : m_device->readAllFrames()) {
        // Only classic data frames with 11-bit identifiers belong on these buses.
        if (f.frameType() != QCanBusFrame::DataFrame || f.hasExtendedFrameFormat() || f.hasFlexibleDataRateFormat())
            continue;
        // A frame the transfer takes sets up its next wait or ends it. One it passes over
        // (a late answer to an earlier transfer) leaves the running wait as it is, so that
        // stray frames cannot hold it off, and is queued like any frame not its own.
        if (m_transfer && f.frameId() == m_responseId && m_transfer->onFrame(f.payload())) {
            checkTransferDone();
            continue;
        }
        if (m_started) raise = m_queue->push({f.frameId(), f.payload()}) || raise;
    }
    if (raise) emit framesQueued();
}

void CanWorker::quickAck() {
#ifdef Q_OS_LINUX
    // The virtual bus's host sends each frame as it comes; a frame behind one we have not
    // acknowledged yet would wait for our delayed ACK (Nagle), some 40 ms. Linux falls
    // back to delayed ACKs on its own, so this is renewed at each arrival.
    for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>()) {
        const int on = 1;
        if (s->socketDescriptor() >= 0)
            ::setsockopt(int(s->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
#endif
}

// --- SDO transfers -----------------------------------------------------------------

void CanWorker::transfer(quint8 node, SdoTransfer::Kind kind, quint16 index, quint8 subIndex, const QByteArray& data,
                         UploadDone done) {
    m_transferDone = std::move(done);
    if (!m_device || !m_started) return endTransfer(CanStatus::InterfaceError);
    if (!isOpen()) return endTransfer(CanStatus::HardwareError);
    m_requestId = CanOpen::sdoRequestId(node);
    m_responseId = CanOpen::sdoResponseId(node);
    m_serial = m_serial == std::numeric_limits<int>::max() ? UntiedTag + 1 : m_serial + 1;
    m_transfer = std::make_unique<SdoTransfer>(*this, kind, index, subIndex, data);
    m_transfer->start();
    checkTransferDone();
}

bool CanWorker::send(const QByteArray& frame) {
    if (!isOpen()) return false;
    // An abort goes out ahead of the transfer's frames still waiting (the server has no use
    // for them) and outlives the transfer it ends.
    if (Sdo::cmd(frame) == Sdo::command(Sdo::CsAbort)) {
        m_tx.discard(m_serial);
        return m_tx.push(QCanBusFrame(m_requestId, frame), m_timeoutMs, UntiedTag);
    }
    const int serial = m_serial;
    return m_tx.push(QCanBusFrame(m_requestId, frame), m_timeoutMs, serial, [this, serial](bool left) {
        if (!left && m_transfer && serial == m_serial) transferStalled();
    });
}

void CanWorker::transferStalled() {
    if (!isOpen()) return endTransfer(CanStatus::HardwareError);
    report(CanStatus::TransmitQueueFull, QStringLiteral("%1: transmit queue of the converter full, no frame has left "
                                                        "for %2 ms (%3)")
                                             .arg(m_description)
                                             .arg(m_timeoutMs)
                                             .arg(m_tx.refusal()));
    endTransfer(CanStatus::TransmitQueueFull);
}

void CanWorker::awaitResponse() {
    // The clock runs from the moment the last frame has left our queue and the device's
    // own; until then the queue's time-out holds, and for the device's a longer backstop.
    m_armPending = true;
    m_sendWait.start();
    m_timer.start(m_timeoutMs);
    checkArm();
}

void CanWorker::checkArm() {
    if (!m_armPending || !m_device || !m_tx.empty() || m_device->framesToWrite() > 0) return;
    m_armPending = false;
    m_timer.start(m_timeoutMs);
}

void CanWorker::onFramesWritten() { checkArm(); }

void CanWorker::onTimeout() {
    if (!m_transfer) return;
    if (m_armPending && (!m_tx.empty() || m_sendWait.elapsed() < SendStallMs)) {
        m_timer.start(m_timeoutMs);
        return;
    }
    m_transfer->onTimeout();
    checkTransferDone();
}

void CanWorker::checkTransferDone() {
    if (m_transfer && m_transfer->finished()) endTransfer(m_transfer->status());
}

void CanWorker::endTransfer(qint32 status) {
    m_timer.stop();
    m_armPending = false;
    QByteArray data;
    if (m_transfer) data = m_transfer->data();
    m_transfer.reset();
    m_tx.discard(m_serial);
    if (status != CanStatus::Success) data.clear();
    auto done = std::move(m_transferDone);
    m_transferDone = nullptr;
    if (done) done(status, data);
}

// --- device state ------------------------------------------------------------------

void CanWorker::onStateChanged(QCanBusDevice::CanBusDeviceState state) {
    if (state == QCanBusDevice::ConnectedState) {
        if (m_openDone) return finishOpen(CanStatus::Success);
        if (m_lost) onReconnected();
        return;
    }
    if (state != QCanBusDevice::UnconnectedState) return;
    if (m_openDone)
        return finishOpen(CanStatus::HardwareError, QStringLiteral("cannot connect %1: %2").arg(m_description,
                                                                                              m_device->errorString()));
    connectionLost(QStringLiteral("lost the connection to %1").arg(m_description));
}

void CanWorker::onSocketError(const QString& text) {
    if (m_openDone) return finishOpen(CanStatus::HardwareError, QStringLiteral("cannot connect %1: %2").arg(m_description, text));
    connectionLost(QStringLiteral("lost the connection to %1: %2").arg(m_description, text));
}

void CanWorker::onErrorOccurred(QCanBusDevice::CanBusError error) {
    if (m_openDone) {
        if (error == QCanBusDevice::ConnectionError)
            finishOpen(CanStatus::HardwareError, QStringLiteral("cannot connect %1: %2").arg(m_description,
                                                                                          m_device->errorString()));
        return;
    }
    // A converter's full queue refuses our writes: the transmit queue waits for it.
    if (error == QCanBusDevice::WriteError && m_tx.writing() && m_device->state() == QCanBusDevice::ConnectedState) return;
    report(error == QCanBusDevice::WriteError ? CanStatus::TransmissionError : CanStatus::HardwareError,
           QStringLiteral("%1: %2").arg(m_description, m_device->errorString()));
}

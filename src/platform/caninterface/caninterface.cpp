#include "caninterface/caninterface.h"

#include "caninterface/canopenids.h"
#include "caninterface/canworker.h"
#include "caninterface/receivequeue.h"
#include "desktop/runtimeerror.h"

#include <QCanBus>
#include <QCoreApplication>
#include <QThread>
#include <future>

namespace {
// Runs f(worker, done) in the worker thread and waits until done(status) is called there.
qint32 awaitWorker(CanWorker* w, std::function<void(CanWorker&, CanWorker::Done)> f) {
    auto promise = std::make_shared<std::promise<qint32>>();
    auto result = promise->get_future();
    QMetaObject::invokeMethod(
        w, [w, f = std::move(f), promise] { f(*w, [promise](qint32 s) { promise->set_value(s); }); },
        Qt::QueuedConnection);
    return result.get();
}

// Runs f in the worker thread and returns its status.
qint32 runOnWorker(CanWorker* w, const std::function<qint32(CanWorker&)>& f) {
    return awaitWorker(w, [f](CanWorker& worker, CanWorker::Done done) { done(f(worker)); });
}
}  // namespace

CANInterface::CANInterface(QObject* parent) : QObject(parent), m_queue(std::make_shared<ReceiveQueue>()) {
    m_worker = new CanWorker(m_queue);
    m_worker->moveToThread(CanWorker::thread());
    connect(m_worker, &CanWorker::framesQueued, this, [this] {
        m_queue->signalled();
        emit SignalEvent();
    }, Qt::QueuedConnection);
    connect(m_worker, &CanWorker::errorEvent, this, [this](qint32 code, const QString& message) {
        emit ErrorEvent(m_deviceNo, code, message);
    }, Qt::QueuedConnection);
    connect(m_worker, &CanWorker::reconnected, this, [this](const QString& message) {
        emit ReconnectEvent(m_deviceNo, message);
    }, Qt::QueuedConnection);
}

CANInterface::~CANInterface() {
    // After the application object is gone the process is ending: leave the worker be.
    if (!QCoreApplication::instance()) return;
    QMutexLocker lock(&m_callMutex);
    runOnWorker(m_worker, [](CanWorker& w) {
        w.close();
        w.deleteLater();
        return CanStatus::Success;
    });
}

void CANInterface::setDevice(quint8 deviceNo, const QString& plugin, const QString& interfaceName) {
    QMutexLocker lock(&m_callMutex);
    m_devices[deviceNo] = {plugin, interfaceName};
}

void CANInterface::initBoard(qint32 boardType, quint8 deviceNo, qint32 baudRate, qint32 reserved, qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    m_deviceNo = deviceNo;
    const auto it = m_devices.constFind(deviceNo);
    if (it == m_devices.cend()) {
        const QString text = QStringLiteral("no bus interface given for device %1").arg(deviceNo);
        m_openReport = text;
        qCWarning(lcCan).noquote() << "CAN:" << text;
        runOnWorker(m_worker, [](CanWorker& w) { w.close(); return CanStatus::Success; });
        status_ = CanStatus::ParameterError;
        emit ErrorEvent(deviceNo, status_, text);
        return;
    }
    const QString plugin = it->first, name = it->second;
    const int bitRate = baudRate > 0 ? baudRate * 1000 : 0;
    auto failure = std::make_shared<QString>();
    status_ = awaitWorker(m_worker, [plugin, name, bitRate, failure](CanWorker& w, CanWorker::Done done) {
        w.keepForReopen(plugin, name, bitRate);
        w.open(plugin, name, bitRate, [&w, failure, done = std::move(done)](qint32 s) {
            *failure = w.openFailure();
            done(s);
        });
    });
    m_openReport = status_ == CanStatus::Success
                       ? QStringLiteral("CAN plugin \"%1\", interface \"%2\" opened").arg(plugin, name)
                       : *failure;
}

qint32 CANInterface::sdoCheck(quint8 node, qint32 index, bool noBlock, bool block) const {
    if (node > CanOpen::MaxNodeId || index < 0 || index > 0xFFFF || (noBlock && block)) return CanStatus::ParameterError;
    return CanStatus::Success;
}

void CANInterface::sdoUpload(quint8 node, qint32 index, quint8 subIndex, QByteArray& data, qint32& length,
                             bool noBlock, bool block, qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    data.clear();
    length = 0;
    status_ = sdoCheck(node, index, noBlock, block);
    if (status_ != CanStatus::Success) return;
    auto received = std::make_shared<QByteArray>();
    const auto kind = block ? SdoTransfer::Kind::BlockUpload : SdoTransfer::Kind::Upload;
    status_ = awaitWorker(m_worker, [=](CanWorker& w, CanWorker::Done done) {
        w.transfer(node, kind, static_cast<quint16>(index), subIndex, {}, [received, done](qint32 s, const QByteArray& d) {
            *received = d;
            done(s);
        });
    });
    if (status_ != CanStatus::Success) return;
    data = *received;
    length = static_cast<qint32>(data.size());
}

void CANInterface::sdoDownload(quint8 node, qint32 index, quint8 subIndex, const QByteArray& data, bool noBlock,
                               bool block, qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    status_ = sdoCheck(node, index, noBlock, block);
    if (status_ != CanStatus::Success) return;
    const auto kind = block ? SdoTransfer::Kind::BlockDownload : SdoTransfer::Kind::Download;
    status_ = awaitWorker(m_worker, [=](CanWorker& w, CanWorker::Done done) {
        w.transfer(node, kind, static_cast<quint16>(index), subIndex, data,
                   [done](qint32 s, const QByteArray&) { done(s); });
    });
}

void CANInterface::readMessage(qint32& cobId, qint32& dlc, QByteArray& data, qint32& queued, qint32& status_) {
    CanMessage m;
    int remaining = 0;
    const auto taken = m_queue->take(m, remaining);
    cobId = static_cast<qint32>(m.cobId);
    data = m.data;
    dlc = static_cast<qint32>(m.data.size());
    queued = remaining;
    status_ = taken == ReceiveQueue::Take::Message ? CanStatus::Success
              : taken == ReceiveQueue::Take::Empty ? CanStatus::QueueEmpty
                                                   : CanStatus::QueueOverrun;
}

void CANInterface::sendMessage(qint32 cobId, const QByteArray& data, qint32& status_) {
    if (cobId < 0 || cobId > qint32(CanOpen::MaxId) || data.size() > 8) {
        status_ = CanStatus::ParameterError;
        return;
    }
    QMutexLocker lock(&m_callMutex);
    status_ = awaitWorker(m_worker, [cobId, data](CanWorker& w, CanWorker::Done done) {
        w.sendFrame(static_cast<quint32>(cobId), data, std::move(done));
    });
}

void CANInterface::sendHeartBeat(quint8 node, quint8 state, qint32& status_) {
    if (node > CanOpen::MaxNodeId) {
        status_ = CanStatus::ParameterError;
        return;
    }
    sendMessage(qint32(CanOpen::heartbeatId(node)), QByteArray(1, static_cast<char>(state)), status_);
}

void CANInterface::startRemoteNode(quint8 node, qint32& status_) {
    if (node > CanOpen::MaxNodeId) {
        status_ = CanStatus::ParameterError;
        return;
    }
    QByteArray nmt(2, '\0');
    nmt[0] = static_cast<char>(CanOpen::NmtStartRemoteNode);
    nmt[1] = static_cast<char>(node);
    sendMessage(qint32(CanOpen::NmtId), nmt, status_);
}

void CANInterface::startCan(qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    status_ = runOnWorker(m_worker, [](CanWorker& w) { return w.start(); });
}

void CANInterface::stopCan(qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    status_ = runOnWorker(m_worker, [](CanWorker& w) {
        w.close();
        return CanStatus::Success;
    });
}

void CANInterface::setMasterOption1(qint32 value, qint32& status_) { m_options[0] = value; status_ = CanStatus::Success; }
void CANInterface::setMasterOption2(qint32 value, qint32& status_) { m_options[1] = value; status_ = CanStatus::Success; }
void CANInterface::setMasterOption3(qint32 value, qint32& status_) { m_options[2] = value; status_ = CanStatus::Success; }

void CANInterface::getBoardInfo(qint32& hardwareVersion, qint32& firmwareVersion, qint32& apiVersion,
                                qint32& boardSegment, qint32& interrupt, QString& hardwareName,
                                QString& serialNumber, qint32& status_) {
    QMutexLocker lock(&m_callMutex);
    QString serial;
    status_ = runOnWorker(m_worker, [&serial](CanWorker& w) {
        if (!w.isOpen()) return CanStatus::InterfaceError;
        serial = w.serialNumber();
        return CanStatus::Success;
    });
    if (status_ != CanStatus::Success) return;
    const auto& device = m_devices.value(m_deviceNo);
    hardwareVersion = 0x0100;
    firmwareVersion = QT_VERSION_MAJOR << 8 | QT_VERSION_MINOR;
    apiVersion = 0x0200;
    boardSegment = 0;
    interrupt = 0;
    hardwareName = device.first + QLatin1Char(' ') + device.second;
    serialNumber = serial;
}

void CANInterface::setSdoTimeout(qint32 ms, qint32& status_) {
    if (ms <= 0) {
        status_ = CanStatus::ParameterError;
        return;
    }
    QMutexLocker lock(&m_callMutex);
    status_ = runOnWorker(m_worker, [ms](CanWorker& w) {
        w.setSdoTimeout(ms);
        return CanStatus::Success;
    });
}

void CANInterface::releaseNode(quint8 node, qint32& status_) { status_ = CanStatus::Success; }

QCanBusDevice* CanDeviceFactory::createDevice(const QString& plugin, const QString& interfaceName, QString* error) {
    return QCanBus::instance()->createDevice(plugin, interfaceName, error);
}

// --- version class -----------------------------------------------------------------

CANInterfaceVersion::CANInterfaceVersion() {
    if (!canComponentLink::get().hasVersionClass())
        throw RuntimeError(429, QStringLiteral("Can't create the CAN interface's version object"));
}

double CANInterfaceVersion::version() const { return canComponentLink::get().version(); }

#include "lib/converterdevice.h"

#include "lib/bustiming.h"

#include <QCanBus>
#include <cerrno>
#include <cstring>

namespace sim {

ConverterDevice::ConverterDevice(const QString& busUrl, Options options, std::shared_ptr<Traffic> traffic,
                                 QObject* parent)
    : QCanBusDevice(parent), m_url(busUrl), m_options(options),
      m_traffic(traffic ? std::move(traffic) : std::make_shared<Traffic>()), m_drainTimer(this) {
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_drainTimer, &QTimer::timeout, this, &ConverterDevice::drain);
    m_clock.start();
}

bool ConverterDevice::open() {
    QString error;
    m_bus = QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), m_url, &error);
    if (!m_bus) {
        setError(error, QCanBusDevice::ConnectionError);
        return false;
    }
    m_bus->setParent(this);
    connect(m_bus, &QCanBusDevice::stateChanged, this, &ConverterDevice::onBusState);
    connect(m_bus, &QCanBusDevice::framesReceived, this, &ConverterDevice::onBusFrames);
    if (!m_bus->connectDevice()) {
        setError(m_bus->errorString(), QCanBusDevice::ConnectionError);
        return false;
    }
    if (m_bus->state() == QCanBusDevice::ConnectedState) setState(QCanBusDevice::ConnectedState);
    return true;
}

void ConverterDevice::close() {
    m_drainTimer.stop();
    m_queue.clear();
    if (m_bus) {
        m_bus->disconnect(this);
        m_bus->disconnectDevice();
        m_bus->deleteLater();
        m_bus = nullptr;
    }
    setState(QCanBusDevice::UnconnectedState);
}

void ConverterDevice::onBusState(QCanBusDevice::CanBusDeviceState s) {
    if (!m_linked) return;
    if (s == QCanBusDevice::ConnectedState || s == QCanBusDevice::UnconnectedState) setState(s);
}

void ConverterDevice::onBusFrames() {
    const QList<QCanBusFrame> frames = m_bus->readAllFrames();
    if (m_linked && state() == QCanBusDevice::ConnectedState) enqueueReceivedFrames(frames);
}

bool ConverterDevice::writeFrame(const QCanBusFrame& frame) {
    if (state() != QCanBusDevice::ConnectedState) {
        setError(QStringLiteral("Cannot write frame as device is not connected"), QCanBusDevice::OperationError);
        return false;
    }
    if (int(m_queue.size()) >= m_options.queueLength) {
        ++m_traffic->refused;
        setError(QString::fromLocal8Bit(std::strerror(ENOBUFS)), QCanBusDevice::WriteError);
        return false;
    }
    m_queue.push_back(frame);
    // As the kernel driver's device: written once the queue has taken it.
    emit framesWritten(1);
    armDrain();
    return true;
}

void ConverterDevice::armDrain() {
    if (!m_draining || m_queue.empty() || m_drainTimer.isActive()) return;
    if (m_headStartUs < 0) m_headStartUs = nowUs();
    const QCanBusFrame& head = m_queue.front();
    const qint64 endUs = m_headStartUs + frameMicros(head.frameId(), head.payload(), m_options.bitRate);
    m_drainTimer.start(int(std::max<qint64>(0, (endUs - nowUs() + 999) / 1000)));
}

void ConverterDevice::drain() {
    const qint64 now = nowUs();
    while (m_draining && !m_queue.empty()) {
        const QCanBusFrame& head = m_queue.front();
        const qint64 endUs = m_headStartUs + frameMicros(head.frameId(), head.payload(), m_options.bitRate);
        if (endUs > now) break;
        if (m_bus) m_bus->writeFrame(head);
        {
            QMutexLocker lock(&m_traffic->mutex);
            m_traffic->frames << head;
        }
        if (++m_left == m_options.stopAfterFrames) m_draining = false;
        m_queue.pop_front();
        m_headStartUs = endUs;  // the next frame follows on the bus at once
    }
    if (m_queue.empty() || !m_draining) m_headStartUs = -1;
    armDrain();
}

void ConverterDevice::setDraining(bool on) {
    m_draining = on;
    if (on) QMetaObject::invokeMethod(this, [this] { armDrain(); }, Qt::QueuedConnection);
}

void ConverterDevice::setConnected(bool on) {
    QMetaObject::invokeMethod(this, [this, on] {
        m_linked = on;
        if (!on) {
            m_drainTimer.stop();
            m_queue.clear();
            m_headStartUs = -1;
            setError(QString::fromLocal8Bit(std::strerror(ENODEV)), QCanBusDevice::ConnectionError);
            setState(QCanBusDevice::UnconnectedState);
        } else if (m_bus && m_bus->state() == QCanBusDevice::ConnectedState) {
            setState(QCanBusDevice::ConnectedState);
        }
    }, Qt::QueuedConnection);
}

QList<QCanBusFrame> ConverterDevice::Traffic::sent() const {
    QMutexLocker lock(&mutex);
    return frames;
}

}  // namespace sim

#include "lib/converterdevice.h"

#include "lib/bustiming.h"

#include <QCanBus>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sim {

ConverterDevice::ConverterDevice(const QString& busUrl, Options options, std::shared_ptr<Traffic> traffic,
                                 QObject* parent)
    : QCanBusDevice(parent), m_url(busUrl), m_options(options),
      m_traffic(traffic ? std::move(traffic) : std::make_shared<Traffic>()) {
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
    m_onBus.clear();
    m_held.clear();
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

int ConverterDevice::occupied() {
    const qint64 now = nowUs();
    while (!m_onBus.empty() && m_onBus.front() <= now) m_onBus.pop_front();
    return int(m_onBus.size() + m_held.size());
}

void ConverterDevice::passOn(const QCanBusFrame& frame) {
    // It takes the bus after the frame before it, or now when the bus is idle.
    m_busFreeUs = std::max(m_busFreeUs, nowUs()) + frameMicros(frame.frameId(), frame.payload(), m_options.bitRate);
    m_onBus.push_back(m_busFreeUs);
    if (m_bus) m_bus->writeFrame(frame);
    {
        QMutexLocker lock(&m_traffic->mutex);
        m_traffic->frames << frame;
    }
    if (++m_left == m_options.stopAfterFrames) m_draining = false;
}

bool ConverterDevice::writeFrame(const QCanBusFrame& frame) {
    if (state() != QCanBusDevice::ConnectedState) {
        setError(QStringLiteral("Cannot write frame as device is not connected"), QCanBusDevice::OperationError);
        return false;
    }
    if (occupied() >= m_options.queueLength) {
        ++m_traffic->refused;
        setError(QString::fromLocal8Bit(std::strerror(ENOBUFS)), QCanBusDevice::WriteError);
        return false;
    }
    if (m_draining) passOn(frame);
    else m_held.push_back(frame);
    // As the kernel driver's device: written once the queue has taken it.
    emit framesWritten(1);
    return true;
}

void ConverterDevice::setDraining(bool on) {
    QMetaObject::invokeMethod(this, [this, on] {
        m_draining = on;
        while (m_draining && !m_held.empty()) {
            passOn(m_held.front());
            m_held.pop_front();
        }
    }, Qt::QueuedConnection);
}

void ConverterDevice::setConnected(bool on) {
    QMetaObject::invokeMethod(this, [this, on] {
        m_linked = on;
        if (!on) {
            m_onBus.clear();
            m_held.clear();
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

#include "lib/busconnection.h"

#include "lib/bustiming.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <algorithm>

namespace sim {

namespace {
constexpr int kRetryMs = 250;
const QString kPlugin = QStringLiteral("virtualcan");
}  // namespace

BusConnection::BusConnection(QObject* parent) : QObject(parent), m_retry(this), m_pumpTimer(this) {
    m_clock.start();
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &BusConnection::connectDevice);
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &BusConnection::pump);
}

BusConnection::~BusConnection() { close(); }

bool BusConnection::open(const QString& url, QString* error) {
    if (!QCanBus::instance()->plugins().contains(kPlugin)) {
        if (error) *error = QStringLiteral("The CAN bus plugin \"%1\" is not available.").arg(kPlugin);
        return false;
    }
    m_url = url;
    m_wanted = true;
    connectDevice();
    return true;
}

void BusConnection::close() {
    m_wanted = false;
    m_retry.stop();
    m_pumpTimer.stop();
    m_queue.clear();
    dropDevice();
}

void BusConnection::dropDevice() {
    m_connected = false;
    if (!m_device) return;
    QCanBusDevice* d = m_device;
    m_device = nullptr;
    d->disconnect(this);
    if (d->state() != QCanBusDevice::UnconnectedState) d->disconnectDevice();
    d->deleteLater();
}

void BusConnection::retryLater() {
    m_connected = false;
    if (m_wanted && !m_retry.isActive()) m_retry.start();
}

void BusConnection::connectDevice() {
    if (!m_wanted) return;
    dropDevice();
    QString err;
    m_device = QCanBus::instance()->createDevice(kPlugin, m_url, &err);
    if (!m_device) return retryLater();
    connect(m_device, &QCanBusDevice::framesReceived, this, &BusConnection::readFrames);
    connect(m_device, &QCanBusDevice::stateChanged, this, [this](QCanBusDevice::CanBusDeviceState s) {
        if (s == QCanBusDevice::ConnectedState) {
            m_connected = true;
            emit connected();
        } else if (s == QCanBusDevice::UnconnectedState) {
            retryLater();  // the bus host went away, or the connection never came up
        }
    });
    connect(m_device, &QCanBusDevice::errorOccurred, this, [this](QCanBusDevice::CanBusError e) {
        if (e == QCanBusDevice::ConnectionError) retryLater();
    });
    if (!m_device->connectDevice()) retryLater();
}

void BusConnection::readFrames() {
    if (!m_device) return;
    while (m_device && m_device->framesAvailable() > 0) {
        const QCanBusFrame qf = m_device->readFrame();
        if (!qf.isValid() || qf.frameType() != QCanBusFrame::DataFrame || qf.hasExtendedFrameFormat()) continue;
        emit frameReceived(Frame{qf.frameId(), qf.payload()});
    }
}

void BusConnection::send(const Frame& f, int delayMs) {
    if (m_queue.empty() && delayMs <= 0 && m_bitRate <= 0) return write(f);
    const qint64 due = nowUs() + qint64(std::max(delayMs, 0)) * 1000;
    // In the order they fall due, of equal times in the order sent: a late response holds
    // back only itself, not the frames of other nodes.
    const auto at = std::upper_bound(m_queue.begin(), m_queue.end(), due,
                                     [](qint64 d, const Pending& p) { return d < p.dueUs; });
    m_queue.insert(at, {f, due});
    pump();
}

void BusConnection::pump() {
    const qint64 now = nowUs();
    while (!m_queue.empty()) {
        Pending& p = m_queue.front();
        const qint64 start = m_bitRate > 0 ? std::max(p.dueUs, m_busFreeUs) : p.dueUs;
        if (start > now) {
            m_pumpTimer.start(int(std::max<qint64>((start - now + 999) / 1000, 1)));
            return;
        }
        if (m_bitRate > 0) m_busFreeUs = std::max(start, m_busFreeUs) + frameMicros(p.frame.id, p.frame.data, m_bitRate);
        const Frame f = p.frame;
        m_queue.pop_front();
        write(f);
    }
}

void BusConnection::write(const Frame& f) {
    if (!m_device || !m_connected) return;  // a frame sent while off the bus is lost, as on a real bus
    m_device->writeFrame(QCanBusFrame(f.id, f.data));
}

}  // namespace sim

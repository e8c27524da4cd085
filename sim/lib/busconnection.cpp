#include "lib/busconnection.h"

#include "lib/bustiming.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <algorithm>

namespace sim {

namespace {
constexpr int kRetryMs = 250;
// A frame lasts 0.2 to 1 ms at the buses' rates, below the timers' millisecond: the last
// stretch before a frame is due is waited out by polling the event loop.
constexpr qint64 kPollBeforeUs = 1500;
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
    m_onBus.clear();
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
        const Frame f{qf.frameId(), qf.payload()};
        occupyBus(f);
        emit frameReceived(f);
    }
    // Our waiting frames now start later.
    if (m_bitRate > 0 && !m_queue.empty()) pump();
}

void BusConnection::occupyBus(const Frame& f) {
    // A frame of another node reached us as it left: on the bus it begins now, or when the
    // frames before it are through.
    if (m_bitRate <= 0) return;
    m_busFreeUs = std::max(nowUs(), m_busFreeUs) + frameMicros(f.id, f.data, m_bitRate);
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
    for (;;) {
        // A frame on the bus reaches the others with its last bit.
        if (!m_onBus.empty() && m_onBus.front().dueUs <= now) {
            write(m_onBus.front().frame);
            m_onBus.pop_front();
            continue;
        }
        if (m_queue.empty()) break;
        const Pending& p = m_queue.front();
        if (m_bitRate <= 0) {
            if (p.dueUs > now) break;
            write(p.frame);
            m_queue.pop_front();
            continue;
        }
        // It takes the bus when it is due and the frames before it are through.
        const qint64 start = std::max(p.dueUs, m_busFreeUs);
        if (start > now) break;
        m_busFreeUs = start + frameMicros(p.frame.id, p.frame.data, m_bitRate);
        m_onBus.push_back({p.frame, m_busFreeUs});
        m_queue.pop_front();
    }
    qint64 next = -1;
    if (!m_onBus.empty()) next = m_onBus.front().dueUs;
    if (!m_queue.empty()) {
        const qint64 start = m_bitRate > 0 ? std::max(m_queue.front().dueUs, m_busFreeUs) : m_queue.front().dueUs;
        next = next < 0 ? start : std::min(next, start);
    }
    if (next >= 0) armPump(next);
}

void BusConnection::armPump(qint64 atUs) {
    const qint64 wait = atUs - nowUs();
    // Without pacing a millisecond timer is all the delays need.
    if (m_bitRate <= 0) return m_pumpTimer.start(int(std::max<qint64>((wait + 999) / 1000, 0)));
    if (wait > kPollBeforeUs) return m_pumpTimer.start(int((wait - kPollBeforeUs / 2) / 1000));
    m_pumpTimer.start(0);  // runs again as soon as the received frames have been read
}

void BusConnection::write(const Frame& f) {
    if (!m_device || !m_connected) return;  // a frame sent while off the bus is lost, as on a real bus
    m_device->writeFrame(QCanBusFrame(f.id, f.data));
}

}  // namespace sim

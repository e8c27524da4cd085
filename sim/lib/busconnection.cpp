#include "lib/busconnection.h"

#include "lib/bustiming.h"

#include <QAbstractSocket>
#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QVariant>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace sim {

namespace {
constexpr int kRetryMs = 250;
const QString kPlugin = QStringLiteral("virtualcan");
}  // namespace

BusConnection::BusConnection(QObject* parent) : QObject(parent), m_retry(this), m_pumpTimer(this) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &BusConnection::connectDevice);
    m_pumpTimer.setSingleShot(true);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pumpTimer, &QTimer::timeout, this, &BusConnection::pump);
}

BusConnection::~BusConnection() {
    close();
#ifdef Q_OS_LINUX
    delete m_wake;
    if (m_wakeFd >= 0) ::close(m_wakeFd);
#endif
}

void BusConnection::makeWakeClock() {
#ifdef Q_OS_LINUX
    // A frame lasts 0.2 to 1 ms at the buses' rates, finer than the timers' millisecond: a
    // timer descriptor on the monotonic clock wakes the event loop at the microsecond, so
    // the bus is paced without polling and frames are still read while it waits. Made in
    // the thread the connection runs in, as the slack it sets is the thread's.
    if (m_wakeFd >= 0) return;
    m_wakeFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_wakeFd < 0) return;  // paced by the millisecond timer instead
    // Without it the kernel may defer each wake-up by its default slack of 50 us.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    m_wake = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_wake, &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        while (::read(m_wakeFd, &expirations, sizeof expirations) > 0) {
        }
        pump();
    });
#endif
}

qint64 BusConnection::nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool BusConnection::open(const QString& url, QString* error) {
    if (!QCanBus::instance()->plugins().contains(kPlugin)) {
        if (error) *error = QStringLiteral("The CAN bus plugin \"%1\" is not available.").arg(kPlugin);
        return false;
    }
    makeWakeClock();
    m_url = url;
    m_wanted = true;
    connectDevice();
    return true;
}

void BusConnection::close() {
    m_wanted = false;
    m_retry.stop();
    m_pumpTimer.stop();
    disarmWake();
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
            // The virtual bus relays frames over loopback TCP: without TCP_NODELAY a frame
            // that follows an unanswered one waits for the delayed ACK, some 40 ms.
            for (QAbstractSocket* socket : m_device->findChildren<QAbstractSocket*>())
                socket->setSocketOption(QAbstractSocket::LowDelayOption, QVariant(1));
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
    quickAck();
    while (m_device && m_device->framesAvailable() > 0) {
        const QCanBusFrame qf = m_device->readFrame();
        if (!qf.isValid() || qf.frameType() != QCanBusFrame::DataFrame || qf.hasExtendedFrameFormat()) continue;
        const Frame f{qf.frameId(), qf.payload()};
        if (m_bitRate <= 0) {
            if (m_recorder) m_recorder(f, nowUs());
            emit frameReceived(f);
            continue;
        }
        // Another node's frame reached us as it left: on the bus it begins now, or when the
        // frames before it are through, and it is ours once its last bit is. It is taken in
        // at once and what the node sends for it falls due from that last bit, so that only
        // the frames it sends wait for a wake-up, not its answers as well.
        m_busFreeUs = std::max(nowUs(), m_busFreeUs) + frameMicros(f.id, f.data, m_bitRate);
        if (m_recorder) m_recorder(f, m_busFreeUs);
        const qint64 outer = std::exchange(m_answerAtUs, m_busFreeUs);
        emit frameReceived(f);
        m_answerAtUs = outer;
    }
    if (m_bitRate > 0) pump();
}

void BusConnection::quickAck() {
#ifdef Q_OS_LINUX
    // A frame sent to us behind one we have not acknowledged yet would wait for our delayed
    // ACK (Nagle on the bus host's side), some 40 ms: renewed at each arrival.
    for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>()) {
        const int on = 1;
        if (s->socketDescriptor() >= 0) ::setsockopt(int(s->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    }
#endif
}

void BusConnection::send(const Frame& f, int delayMs) {
    if (m_queue.empty() && delayMs <= 0 && m_bitRate <= 0) return write(f, nowUs());
    const qint64 due = (m_answerAtUs >= 0 ? m_answerAtUs : nowUs()) + qint64(std::max(delayMs, 0)) * 1000;
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
        // Our frame on the bus reaches the others with its last bit.
        if (!m_onBus.empty() && m_onBus.front().dueUs <= now) {
            write(m_onBus.front().frame, m_onBus.front().dueUs);
            m_onBus.pop_front();
            continue;
        }
        if (m_queue.empty()) break;
        const Pending p = m_queue.front();
        if (m_bitRate <= 0) {
            if (p.dueUs > now) break;
            m_queue.pop_front();
            write(p.frame, now);
            continue;
        }
        // It takes the bus when it is due and the frames before it are through.
        const qint64 start = std::max(p.dueUs, m_busFreeUs);
        if (start > now) break;
        m_queue.pop_front();
        m_busFreeUs = start + frameMicros(p.frame.id, p.frame.data, m_bitRate);
        m_onBus.push_back({p.frame, m_busFreeUs});
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
    if (m_bitRate > 0 && m_wakeFd >= 0) {
#ifdef Q_OS_LINUX
        // Absolute on the monotonic clock: a time already past wakes at once.
        itimerspec at{};
        at.it_value.tv_sec = time_t(atUs / 1000000);
        at.it_value.tv_nsec = long(atUs % 1000000) * 1000;
        if (at.it_value.tv_sec == 0 && at.it_value.tv_nsec == 0) at.it_value.tv_nsec = 1;  // zero would disarm
        ::timerfd_settime(m_wakeFd, TFD_TIMER_ABSTIME, &at, nullptr);
        return;
#endif
    }
    // Delays need no more than the millisecond, rounded up so that nothing runs early.
    m_pumpTimer.start(int(std::max<qint64>((wait + 999) / 1000, 0)));
}

void BusConnection::disarmWake() {
#ifdef Q_OS_LINUX
    if (m_wakeFd < 0) return;
    const itimerspec off{};
    ::timerfd_settime(m_wakeFd, 0, &off, nullptr);
#endif
}

void BusConnection::write(const Frame& f, qint64 lastBitUs) {
    if (!m_device || !m_connected) return;  // a frame sent while off the bus is lost, as on a real bus
    if (m_recorder) m_recorder(f, lastBitUs);
    m_device->writeFrame(QCanBusFrame(f.id, f.data));
    // Out now, not when the event loop next comes round: the frame's last bit is due.
    for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>()) s->flush();
}

}  // namespace sim

#include "lib/node.h"

#include "lib/sdoserver.h"

#include <QMetaObject>
#include <QMutexLocker>

namespace sim {

namespace {
constexpr quint32 kNmt = 0x000, kSdoRequest = 0x600, kSdoResponse = 0x580, kHeartbeat = 0x700;
constexpr quint16 kHeartbeatTime = 0x1017;
}  // namespace

Node::Node(quint8 id, Sender sender, QObject* parent) : QObject(parent), m_id(id), m_sender(std::move(sender)), m_heartbeatTimer(this) {
    m_sdo = std::make_unique<SdoServer>(
        m_od, [this](const QByteArray& data, int delayMs) { m_sender(Frame{kSdoResponse + m_id, data}, delayMs); },
        [this] { return faults(); });
    m_od.addU32(0x1000, 0, 0, Access::ReadOnly);
    m_od.addU16(kHeartbeatTime, 0, 0);
    // A new producer time counts from the change, from whatever thread it came.
    m_od.addChangeListener([this](quint16 index, quint8) {
        if (index == kHeartbeatTime) QMetaObject::invokeMethod(this, [this] { scheduleHeartbeat(); }, Qt::QueuedConnection);
    });
    connect(&m_heartbeatTimer, &QTimer::timeout, this, &Node::heartbeat);
}

Node::~Node() = default;

Faults Node::faults() const {
    QMutexLocker lock(&m_faultMutex);
    return m_faults;
}

void Node::setFaults(const Faults& f) {
    QMutexLocker lock(&m_faultMutex);
    m_faults = f;
}

void Node::send(quint32 cobId, const QByteArray& data) {
    QMetaObject::invokeMethod(this, [this, cobId, data] { m_sender(Frame{cobId, data}, 0); }, Qt::AutoConnection);
}

void Node::powerOn() {
    m_poweredOn = true;
    reset(Reset::Node);
}

void Node::handleFrame(const Frame& f) {
    if (!m_poweredOn) return;
    if (f.id == kNmt) {
        if (f.data.size() >= 2 && (quint8(f.data[1]) == 0 || quint8(f.data[1]) == m_id)) nmt(quint8(f.data[0]));
        return;
    }
    // A stopped node serves only NMT.
    if (f.id == kSdoRequest + m_id && state() != Stopped) m_sdo->handle(f.data);
}

void Node::nmt(quint8 command) {
    switch (command) {
    case 0x01: return enterState(Operational);
    case 0x02: m_sdo->reset(); return enterState(Stopped);
    case 0x80: return enterState(PreOperational);
    case 0x81: return reset(Reset::Node);
    case 0x82: return reset(Reset::Communication);
    default: return;
    }
}

void Node::reset(Reset kind) {
    m_state = Initialising;
    m_heartbeatTimer.stop();
    m_sdo->reset();
    if (m_resetHandler) m_resetHandler(kind);
    if (m_announced) m_sender(Frame{kHeartbeat + m_id, QByteArray(1, '\0')}, 0);
    enterState(PreOperational);
}

void Node::enterState(State s) {
    m_state = s;
    scheduleHeartbeat();
}

void Node::scheduleHeartbeat() {
    const int ms = int(m_od.valueU32(kHeartbeatTime, 0) & 0xFFFF);
    if (!m_poweredOn || !m_announced || ms == 0 || state() == Initialising) {
        m_heartbeatTimer.stop();
        return;
    }
    if (m_heartbeatTimer.isActive() && m_heartbeatTimer.interval() == ms) return;
    m_heartbeatTimer.start(ms);
}

void Node::heartbeat() { m_sender(Frame{kHeartbeat + m_id, QByteArray(1, char(state()))}, 0); }

}  // namespace sim

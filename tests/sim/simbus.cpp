#include "simbus.h"

#include "lib/crc16.h"
#include "lib/scenario.h"
#include "testsupport.h"

#include <QCanBus>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QTimer>
#include <atomic>

namespace simtest {

namespace {
constexpr quint32 kProbe = 0x7FF, kMarker = 0x7FE;  // no CANopen object uses them
}  // namespace

quint16 busPort() {
    static const quint16 port = testsupport::freePort();
    return port;
}

QByteArray bytes(std::initializer_list<int> b) {
    QByteArray r;
    for (int v : b) r += char(v);
    while (r.size() < 8) r += '\0';
    return r;
}

QByteArray request(quint8 cmd, quint16 index, quint8 sub, quint32 value) {
    return bytes({cmd, index & 0xFF, index >> 8, sub, int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF),
                  int(value >> 24)});
}

quint32 u32At(const QByteArray& b, int pos) {
    quint32 v = 0;
    for (int i = 0; i < 4 && pos + i < b.size(); ++i) v |= quint32(quint8(b[pos + i])) << (8 * i);
    return v;
}

quint32 abortCode(const QByteArray& r) { return (r.size() == 8 && quint8(r[0]) == 0x80) ? u32At(r, 4) : 0; }

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
    // Woken by each arriving frame, so that long transfers run at speed, and by a short
    // tick for conditions that change in the simulator's thread.
    QTimer deadline, tick;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    tick.start(2);
    while (!pred()) {
        if (!deadline.isActive()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void SimBus::SetUp() {
    const QString url = testsupport::busUrl(busPort());
    m_sim = std::make_unique<sim::Simulator>();
    ASSERT_TRUE(m_sim->start(url));
    ASSERT_TRUE(m_sim->waitConnected());
    ASSERT_TRUE(openDevice(url));
    m_node = m_sim->addNode(kNode);
    sim::addTestObjects(*m_node, 0);
    ASSERT_TRUE(next(0x700 + kNode).has_value());  // boot-up
}

void SimBus::TearDown() {
    m_sim.reset();
    if (m_device) m_device->disconnectDevice();
    m_device.reset();
}

bool SimBus::openDevice(const QString& url) {
    m_device.reset(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), url));
    if (!m_device) return false;
    QObject::connect(m_device.get(), &QCanBusDevice::framesReceived, [this] {
        while (m_device->framesAvailable() > 0) {
            const QCanBusFrame f = m_device->readFrame();
            m_inbox.push_back(sim::Frame{f.frameId(), f.payload()});
        }
    });
    if (!m_device->connectDevice()) return false;
    if (!waitFor([this] { return m_device->state() == QCanBusDevice::ConnectedState; }, 3000)) return false;
    // A connected client gets frames only once the bus server has taken it in, which it
    // shows by passing on the client's own frames: probe until the simulator sees one.
    std::atomic<bool> seen{false};
    const int listener = m_sim->addFrameListener([&seen](const sim::Frame& f) {
        if (f.id == kProbe) seen = true;
    });
    const bool ok = waitFor(
        [&] {
            send(kProbe, QByteArray());
            return waitFor([&] { return seen.load(); }, 20);
        },
        3000);
    m_sim->removeFrameListener(listener);
    return ok;
}

void SimBus::send(quint32 id, const QByteArray& data) { m_device->writeFrame(QCanBusFrame(id, data)); }

std::optional<sim::Frame> SimBus::next(quint32 id, int timeoutMs) {
    return nextMatching([id](const sim::Frame& f) { return f.id == id; }, timeoutMs);
}

std::optional<sim::Frame> SimBus::nextMatching(const std::function<bool(const sim::Frame&)>& match, int timeoutMs) {
    std::optional<sim::Frame> found;
    waitFor(
        [&] {
            for (auto it = m_inbox.begin(); it != m_inbox.end(); ++it)
                if (match(*it)) {
                    found = *it;
                    m_inbox.erase(it);
                    return true;
                }
            return false;
        },
        timeoutMs);
    return found;
}

bool SimBus::silent(quint32 id, int ms) { return !next(id, ms).has_value(); }

void SimBus::drain() {
    std::atomic<bool> seen{false};
    const int listener = m_sim->addFrameListener([&seen](const sim::Frame& f) {
        if (f.id == kMarker) seen = true;
    });
    send(kMarker, QByteArray());
    waitFor([&] { return seen.load(); }, 2000);
    m_sim->removeFrameListener(listener);
    m_sim->send(sim::Frame{kMarker, QByteArray()});
    next(kMarker, 2000);
    clearInbox();
}

QByteArray SimBus::exchange(quint8 node, const QByteArray& req, int timeoutMs) {
    send(0x600 + node, req);
    auto f = next(0x580 + node, timeoutMs);
    return f ? f->data : QByteArray();
}

void SimBus::setFaults(const sim::Faults& f) { m_node->setFaults(f); }

quint32 SimBus::upload(quint8 node, quint16 index, quint8 sub, QByteArray& out, int timeoutMs) {
    out.clear();
    QByteArray r = exchange(node, request(0x40, index, sub), timeoutMs);
    if (r.size() < 8) return sim::abort::TimedOut;
    if (quint32 a = abortCode(r)) return a;
    const quint8 cmd = quint8(r[0]);
    if (cmd & 0x02) {  // expedited
        out = r.mid(4, (cmd & 0x01) ? 4 - ((cmd >> 2) & 3) : 4);
        return 0;
    }
    for (quint8 t = 0;; t ^= 1) {
        r = exchange(node, bytes({0x60 | (t << 4)}), timeoutMs);
        if (r.size() < 8) return sim::abort::TimedOut;
        if (quint32 a = abortCode(r)) return a;
        if (((quint8(r[0]) >> 4) & 1) != t) return sim::abort::ToggleBit;
        out += r.mid(1, 7 - ((quint8(r[0]) >> 1) & 7));
        if (quint8(r[0]) & 1) return 0;
    }
}

quint32 SimBus::download(quint8 node, quint16 index, quint8 sub, const QByteArray& data, bool sized) {
    const int n = int(data.size());
    QByteArray r;
    if (n >= 1 && n <= 4 && (sized || n == 4)) {
        QByteArray req = request(sized ? quint8(0x23 | ((4 - n) << 2)) : 0x22, index, sub);
        req.replace(4, n, data);
        r = exchange(node, req);
        if (r.size() < 8) return sim::abort::TimedOut;
        return abortCode(r);
    }
    r = exchange(node, request(sized ? 0x21 : 0x20, index, sub, sized ? quint32(n) : 0));
    if (r.size() < 8) return sim::abort::TimedOut;
    if (quint32 a = abortCode(r)) return a;
    int pos = 0;
    for (quint8 t = 0;; t ^= 1) {
        const QByteArray chunk = data.mid(pos, 7);
        pos += 7;
        const bool last = pos >= n;
        QByteArray seg = bytes({(t << 4) | ((7 - int(chunk.size())) << 1) | (last ? 1 : 0)});
        seg.replace(1, chunk.size(), chunk);
        r = exchange(node, seg);
        if (r.size() < 8) return sim::abort::TimedOut;
        if (quint32 a = abortCode(r)) return a;
        if (quint8(r[0]) != (0x20 | (t << 4))) return sim::abort::ToggleBit;
        if (last) return 0;
    }
}

quint32 SimBus::blockDownload(quint8 node, quint16 index, quint8 sub, const QByteArray& data, bool crc, int skipSeq,
                              bool corruptCrc) {
    const int n = int(data.size());
    QByteArray r = exchange(node, request(quint8(0xC2 | (crc ? 4 : 0)), index, sub, quint32(n)));
    if (r.size() < 8) return sim::abort::TimedOut;
    if (quint32 a = abortCode(r)) return a;
    if ((quint8(r[0]) & 0xFB) != 0xA0) return sim::abort::UnknownCommand;
    int blockSize = quint8(r[4]);
    const int segments = std::max(1, (n + 6) / 7);
    int done = 0;  // segments acknowledged
    bool skipped = skipSeq == 0;
    while (done < segments) {
        int seq = 0;
        for (int s = done; s < segments && seq < blockSize; ++s) {
            ++seq;
            if (!skipped && seq == skipSeq) {
                skipped = true;
                continue;
            }
            QByteArray seg = bytes({((s == segments - 1) ? 0x80 : 0) | seq});
            const QByteArray chunk = data.mid(s * 7, 7);
            seg.replace(1, chunk.size(), chunk);
            send(0x600 + node, seg);
        }
        auto ack = next(0x580 + node);
        if (!ack) return sim::abort::TimedOut;
        if (quint32 a = abortCode(ack->data)) return a;
        if (quint8(ack->data[0]) != 0xA2) return sim::abort::UnknownCommand;
        done += quint8(ack->data[1]);
        blockSize = quint8(ack->data[2]);
    }
    const int unused = 7 - (n - 7 * (segments - 1));
    quint16 c = sim::blockCrc(data);
    if (corruptCrc) c ^= 1;
    r = exchange(node, bytes({0xC1 | (unused << 2), c & 0xFF, c >> 8}));
    if (r.size() < 8) return sim::abort::TimedOut;
    if (quint32 a = abortCode(r)) return a;
    return quint8(r[0]) == 0xA1 ? 0 : sim::abort::UnknownCommand;
}

quint32 SimBus::blockUpload(quint8 node, quint16 index, quint8 sub, QByteArray& out, int blockSize, int pst, bool crc,
                            int ackShort, bool* crcOk) {
    out.clear();
    QByteArray req = request(quint8(0xA0 | (crc ? 4 : 0)), index, sub);
    req[4] = char(blockSize);
    req[5] = char(pst);
    QByteArray r = exchange(node, req);
    if (r.size() < 8) return sim::abort::TimedOut;
    if (quint32 a = abortCode(r)) return a;
    if ((quint8(r[0]) & 0xE0) != 0xC0) return sim::abort::UnknownCommand;
    send(0x600 + node, bytes({0xA3}));
    for (bool first = true;; first = false) {
        QList<QByteArray> chunks;
        bool last = false;
        for (int seq = 1; seq <= blockSize && !last; ++seq) {
            auto f = next(0x580 + node);
            if (!f) return sim::abort::TimedOut;
            if (quint32 a = abortCode(f->data)) return a;
            if ((quint8(f->data[0]) & 0x7F) != seq) return sim::abort::InvalidSequence;
            last = quint8(f->data[0]) & 0x80;
            chunks << f->data.mid(1, 7);
        }
        int ack = int(chunks.size());
        if (first && ackShort > 0) ack = std::max(0, ack - ackShort);
        for (int i = 0; i < ack; ++i) out += chunks[i];
        send(0x600 + node, bytes({0xA2, ack, blockSize}));
        if (last && ack == chunks.size()) break;
    }
    auto end = next(0x580 + node);
    if (!end) return sim::abort::TimedOut;
    if (quint32 a = abortCode(end->data)) return a;
    if ((quint8(end->data[0]) & 0xE3) != 0xC1) return sim::abort::UnknownCommand;
    out.chop((quint8(end->data[0]) >> 2) & 7);
    if (crcOk) *crcOk = quint16(u32At(end->data, 1) & 0xFFFF) == sim::blockCrc(out);
    send(0x600 + node, bytes({0xA1}));
    return 0;
}

}  // namespace simtest

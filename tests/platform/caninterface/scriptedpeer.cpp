#include "scriptedpeer.h"

#include "testsupport.h"

#include <QAbstractSocket>
#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace cantest {

namespace {
QThread* g_peerThread = nullptr;
QThread* peerThread() {
    static QThread* t = [] {  // lives as long as the application: it may host the bus
        g_peerThread = new QThread;
        g_peerThread->setObjectName(QStringLiteral("ScriptedPeer"));
        g_peerThread->start();
        qAddPostRoutine([] {
            g_peerThread->quit();
            g_peerThread->wait(2000);
        });
        return g_peerThread;
    }();
    return t;
}
}  // namespace

QString busUrl() {
    static const quint16 port = testsupport::freePort();
    return testsupport::busUrl(port, 0);
}

Reply r8(std::initializer_list<int> bytes, int delayMs) {
    Reply r;
    r.data = QByteArray(8, '\0');
    int i = 0;
    for (int b : bytes) r.data[i++] = static_cast<char>(b);
    r.delayMs = delayMs;
    return r;
}

ScriptedPeer::ScriptedPeer(quint8 node) : m_node(node) {
    m_context = new QObject;
    m_context->moveToThread(peerThread());
    QMetaObject::invokeMethod(m_context, [this] {
        m_device = QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), busUrl());
        QObject::connect(m_device, &QCanBusDevice::framesReceived, m_context, [this] { onFrames(); });
        m_device->connectDevice();
    }, Qt::BlockingQueuedConnection);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        bool up = false;
        QMetaObject::invokeMethod(m_context, [&] { up = m_device->state() == QCanBusDevice::ConnectedState; },
                                  Qt::BlockingQueuedConnection);
        if ((m_connected = up)) {
            QMetaObject::invokeMethod(m_context, [this] {  // as the interface does: no Nagle delays
                for (QAbstractSocket* s : m_device->findChildren<QAbstractSocket*>())
                    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            }, Qt::BlockingQueuedConnection);
            break;
        }
        QThread::msleep(5);
    }
}

ScriptedPeer::~ScriptedPeer() {
    QMetaObject::invokeMethod(m_context, [this] {
        m_device->disconnectDevice();
        delete m_device;
        delete m_context;
    }, Qt::BlockingQueuedConnection);
}

void ScriptedPeer::setScript(Script s) {
    QMutexLocker lock(&m_mutex);
    m_script = std::move(s);
}

void ScriptedPeer::send(quint32 id, const QByteArray& data) {
    QMetaObject::invokeMethod(m_context, [this, id, data] { sendNow(id, data); }, Qt::BlockingQueuedConnection);
}

void ScriptedPeer::sendNow(quint32 id, const QByteArray& data) { m_device->writeFrame(QCanBusFrame(id, data)); }

QList<QByteArray> ScriptedPeer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QList<Seen> ScriptedPeer::seen() const {
    QMutexLocker lock(&m_mutex);
    return m_seen;
}

bool ScriptedPeer::waitRequests(int count, int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (requests().size() < count && t.elapsed() < timeoutMs) QThread::msleep(2);
    return requests().size() >= count;
}

bool ScriptedPeer::waitSeen(int count, int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (seen().size() >= count) return true;
        QThread::msleep(2);
    }
    return seen().size() >= count;
}

void ScriptedPeer::onFrames() {
    for (const QCanBusFrame& f : m_device->readAllFrames()) {
        QList<Reply> replies;
        {
            QMutexLocker lock(&m_mutex);
            m_seen.append({f.frameId(), f.payload()});
            if (f.frameId() != 0x600u + m_node) continue;
            m_requests.append(f.payload());
            // A server never answers an abort, so no script has to tell one apart.
            const bool abort = !f.payload().isEmpty() && quint8(f.payload()[0]) == 0x80;
            if (m_script && !abort) replies = m_script(f.payload());
        }
        for (const Reply& r : replies) {
            const quint32 id = r.id ? r.id : 0x580u + m_node;
            if (r.delayMs <= 0)
                sendNow(id, r.data);
            else
                QTimer::singleShot(r.delayMs, m_context, [this, id, d = r.data] { sendNow(id, d); });
        }
    }
}

}  // namespace cantest

#include "lib/simulator.h"

#include "lib/busconnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>
#include <map>

namespace sim {

// Everything of one Simulator that lives in the simulator's thread.
class SimulatorCore : public QObject {
public:
    SimulatorCore() : m_bus(this) {
        connect(&m_bus, &BusConnection::frameReceived, this, &SimulatorCore::received);
        connect(&m_bus, &BusConnection::connected, this, [this] {
            for (auto& [id, n] : m_nodes)
                if (!n->poweredOn()) n->powerOn();
        });
    }

    BusConnection m_bus;
    std::map<quint8, Node*> m_nodes;  // children of the core
    std::map<int, std::function<void(const Frame&)>> m_listeners;
    int m_nextListener = 1;

    Node* add(quint8 id, bool announced) {
        auto it = m_nodes.find(id);
        if (it != m_nodes.end()) return it->second;
        Node* n = new Node(id, [this](const Frame& f, int delayMs) { m_bus.send(f, delayMs); }, this);
        n->setAnnounced(announced);
        m_nodes[id] = n;
        if (m_bus.isConnected()) n->powerOn();
        return n;
    }

    void remove(quint8 id) {
        auto it = m_nodes.find(id);
        if (it == m_nodes.end()) return;
        delete it->second;
        m_nodes.erase(it);
    }

    void received(const Frame& f) {
        // A node may be removed by a hook while frames are handed round: walk a copy.
        const auto nodes = m_nodes;
        for (auto& [id, n] : nodes)
            if (m_nodes.count(id)) n->handleFrame(f);
        const auto listeners = m_listeners;
        for (auto& [id, l] : listeners) l(f);
    }
};

namespace {
QThread* makeThread() {
    auto* t = new QThread;
    t->setObjectName(QStringLiteral("pxm-sim"));
    t->start();
    // The thread hosts the process's bus server, so it runs to the process's end; it is
    // only stopped there, so that no thread is destroyed while running.
    auto finish = [] {
        QThread* th = Simulator::thread();
        th->quit();
        th->wait();
    };
    if (QCoreApplication::instance())
        qAddPostRoutine(finish);
    else
        std::atexit(finish);
    return t;
}
}  // namespace

QThread* Simulator::thread() {
    static QThread* t = makeThread();
    return t;
}

void Simulator::invoke(const std::function<void()>& f) const {
    // Once the application's end has stopped the thread (a Simulator that outlives the
    // application), nothing runs there any more: do the work here instead of waiting.
    if (QThread::currentThread() == thread() || thread()->isFinished())
        f();
    else
        QMetaObject::invokeMethod(m_core, f, Qt::BlockingQueuedConnection);
}

Simulator::Simulator() {
    m_core = new SimulatorCore;
    m_core->moveToThread(thread());
}

Simulator::~Simulator() {
    stop();
    SimulatorCore* core = m_core;
    invoke([core] { delete core; });
}

bool Simulator::start(const QString& url, QString* error) {
    bool ok = false;
    QString err;
    invoke([&] { ok = m_core->m_bus.open(url, &err); });
    if (error) *error = err;
    return ok;
}

void Simulator::stop() {
    invoke([this] {
        while (!m_core->m_nodes.empty()) m_core->remove(m_core->m_nodes.begin()->first);
        m_core->m_bus.close();
    });
}

bool Simulator::isConnected() const { return m_core->m_bus.isConnected(); }

bool Simulator::waitConnected(int timeoutMs) const {
    if (QThread::currentThread() == thread()) return isConnected();
    QElapsedTimer t;
    t.start();
    // The bus server may live in the caller's thread: keep its events turning meanwhile.
    const bool hasLoop = QThread::currentThread()->eventDispatcher() != nullptr;
    while (!isConnected()) {
        if (t.elapsed() >= timeoutMs) return false;
        if (hasLoop)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

Node* Simulator::addNode(quint8 id, bool announced) {
    Node* n = nullptr;
    invoke([&] { n = m_core->add(id, announced); });
    return n;
}

Node* Simulator::node(quint8 id) const {
    Node* n = nullptr;
    invoke([&] {
        auto it = m_core->m_nodes.find(id);
        if (it != m_core->m_nodes.end()) n = it->second;
    });
    return n;
}

void Simulator::removeNode(quint8 id) {
    invoke([&] { m_core->remove(id); });
}

void Simulator::setBitRate(int bitsPerSecond) {
    invoke([&] { m_core->m_bus.setBitRate(bitsPerSecond); });
}

void Simulator::setBusRecorder(std::function<void(const Frame&, qint64)> r) {
    invoke([&] { m_core->m_bus.setRecorder(std::move(r)); });
}

void Simulator::send(const Frame& f) {
    invoke([&] { m_core->m_bus.send(f); });
}

int Simulator::addFrameListener(std::function<void(const Frame&)> f) {
    int id = 0;
    invoke([&] {
        id = m_core->m_nextListener++;
        m_core->m_listeners[id] = std::move(f);
    });
    return id;
}

void Simulator::removeFrameListener(int id) {
    invoke([&] { m_core->m_listeners.erase(id); });
}

}  // namespace sim

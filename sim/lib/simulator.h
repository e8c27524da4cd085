#pragma once
// The in-process simulator: a bus connection and its nodes, all living in one
// process-wide thread of the simulator's own. Qt's virtualcan hosts one bus server per
// process in the thread that first opens a loopback port, so that thread is never ended
// while the process runs; Simulators come and go, the thread stays.
//
//   sim::Simulator s;
//   s.start("tcp://127.0.0.1:35468/can0");
//   sim::Node* n = s.addNode(0x10);
//   n->od().addU32(0x2000, 0, 42);
//   s.waitConnected();
//
// Every member is thread-safe; it may also be called from inside a hook.
#include "lib/frame.h"
#include "lib/node.h"

#include <QString>
#include <functional>

class QThread;

namespace sim {

class SimulatorCore;

class Simulator {
public:
    Simulator();
    ~Simulator();  // stop()
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Joins the bus at the URL (virtualcan, e.g. tcp://127.0.0.1:35468/can0) and keeps
    // reconnecting when the bus host goes away. False with an error for a URL or plugin
    // that cannot be used at all.
    bool start(const QString& url, QString* error = nullptr);
    // Leaves the bus and removes all nodes.
    void stop();
    bool isConnected() const;
    // Waits (blocking this thread) until the bus is connected.
    bool waitConnected(int timeoutMs = 5000) const;

    // Adds a node (or returns the one with that id). It sends its boot-up frame at once
    // when connected, else at the first connection; an unannounced node sends neither
    // boot-up nor heartbeats (Node::setAnnounced). The handle lives until removeNode, stop
    // or the Simulator's end.
    Node* addNode(quint8 id, bool announced = true);
    Node* node(quint8 id) const;
    void removeNode(quint8 id);

    // Paces the simulator's frames at this bus bit rate (stuff bits counted); 0 = off.
    void setBitRate(int bitsPerSecond);
    // Sees every frame on the bus with the microsecond (monotonic clock) its last bit was
    // on it, in the simulator's thread; empty to stop. For measuring the bus from inside,
    // where another client on the bus would take its share of the relay.
    void setBusRecorder(std::function<void(const Frame&, qint64 lastBitUs)> r);
    // A raw frame onto the bus.
    void send(const Frame& f);
    // Extension point (auto-download gateway, symbol protocol): sees every received frame
    // after the nodes, in the simulator's thread. Returns an id for removeFrameListener.
    int addFrameListener(std::function<void(const Frame&)> f);
    void removeFrameListener(int id);
    // Runs f in the simulator's thread and waits for it.
    void invoke(const std::function<void()>& f) const;

    // The process-wide simulator thread.
    static QThread* thread();

private:
    SimulatorCore* m_core = nullptr;  // lives in thread()
};

}  // namespace sim

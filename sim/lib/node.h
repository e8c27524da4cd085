#pragma once
// One simulated CANopen node: NMT state machine, boot-up and heartbeat, and an SDO server
// on 0x600 + id / 0x580 + id over its object dictionary. It lives in the simulator's
// thread; the members marked thread-safe may be called from any thread.
#include "lib/faults.h"
#include "lib/frame.h"
#include "lib/objectdictionary.h"

#include <QMutex>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace sim {

class SdoServer;

class Node : public QObject {
    Q_OBJECT
public:
    enum State : quint8 { Initialising = 0x00, Stopped = 0x04, Operational = 0x05, PreOperational = 0x7F };
    enum class Reset { Node, Communication };
    // Sends a frame on the bus; delayMs holds it back that long.
    using Sender = std::function<void(const Frame& f, int delayMs)>;

    Node(quint8 id, Sender sender, QObject* parent = nullptr);
    ~Node() override;

    quint8 id() const { return m_id; }
    // Thread-safe.
    ObjectDictionary& od() { return m_od; }
    State state() const { return m_state.load(); }
    Faults faults() const;
    void setFaults(const Faults& f);
    // Thread-safe: a frame from this node (symbol messages and the like).
    void send(quint32 cobId, const QByteArray& data);

    // Extension point for personalities: runs in the simulator's thread on NMT reset,
    // before the boot-up frame (a bootloader may take over, objects reset). Set it in the
    // simulator's thread (Simulator::invoke).
    void setResetHandler(std::function<void(Reset)> f) { m_resetHandler = std::move(f); }

    // Simulator's thread only.
    // Whether the node shows itself with boot-up and heartbeat frames (the default); one
    // that does not still serves NMT and SDO. Set before power-on (Simulator::addNode).
    void setAnnounced(bool on) { m_announced = on; }
    void powerOn();                     // boot-up frame, then pre-operational
    bool poweredOn() const { return m_poweredOn; }
    void handleFrame(const Frame& f);   // every frame on the bus

private:
    void nmt(quint8 command);
    void reset(Reset kind);
    void enterState(State s);
    void scheduleHeartbeat();
    void heartbeat();

    const quint8 m_id;
    Sender m_sender;
    ObjectDictionary m_od;
    std::unique_ptr<SdoServer> m_sdo;
    std::atomic<State> m_state{Initialising};
    bool m_poweredOn = false;
    bool m_announced = true;
    QTimer m_heartbeatTimer;
    std::function<void(Reset)> m_resetHandler;
    mutable QMutex m_faultMutex;
    Faults m_faults;
};

}  // namespace sim

#pragma once
// A scripted SDO server and bus listener for the CAN interface tests: a QCanBusDevice on
// the test process's private virtual bus, in a thread of its own (the client blocks the
// test's thread during a transfer). Its script answers each request frame; it records
// every frame it sees.
#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>

class QCanBusDevice;
class QObject;

namespace cantest {

// The bus of this test process: one virtualcan port for all its tests, since Qt hosts one
// bus server per process.
QString busUrl();

struct Reply {
    QByteArray data;  // sent as it is: fewer than 8 bytes make a short frame
    int delayMs = 0;
    quint32 id = 0;   // 0: the node's SDO response COB-ID
};
Reply r8(std::initializer_list<int> bytes, int delayMs = 0);  // bytes, zero-padded to 8

struct Seen {
    quint32 id;
    QByteArray data;
};

class ScriptedPeer {
public:
    // Answers the frames on 0x600 + node with replies on 0x580 + node.
    using Script = std::function<QList<Reply>(const QByteArray& request)>;

    explicit ScriptedPeer(quint8 node);
    ~ScriptedPeer();
    bool connected() const { return m_connected; }

    void setScript(Script s);
    // A frame from the peer, outside any script.
    void send(quint32 id, const QByteArray& data);
    // Frames seen so far: the requests to the node, and everything on the bus.
    QList<QByteArray> requests() const;
    QList<Seen> seen() const;
    // Wait (real time) until the peer has this many requests, or has seen this many frames.
    bool waitRequests(int count, int timeoutMs = 3000) const;
    bool waitSeen(int count, int timeoutMs = 2000) const;

private:
    void onFrames();
    void sendNow(quint32 id, const QByteArray& data);

    const quint8 m_node;
    QObject* m_context = nullptr;  // in the peer thread
    QCanBusDevice* m_device = nullptr;
    bool m_connected = false;
    mutable QMutex m_mutex;
    Script m_script;
    QList<QByteArray> m_requests;
    QList<Seen> m_seen;
};

}  // namespace cantest

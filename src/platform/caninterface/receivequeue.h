#pragma once
// The bounded receive queue between the worker thread, which fills it, and the caller's
// readMessage. Full, it gives up the oldest SDO frame of a transfer between other nodes
// (module 0 loading the cylinders floods the bus with them while the caller is inside a
// long transfer of its own), and only when there is none its oldest frame, a loss that
// is reported once.
#include <QByteArray>
#include <QMutex>
#include <deque>

struct CanMessage {
    quint32 cobId = 0;
    QByteArray data;
};

class ReceiveQueue {
public:
    static constexpr int Capacity = 4096;
    enum class Take { Message, Empty, Overrun };

    // True when the caller should raise a signal: the first frame since the last signal.
    bool push(CanMessage m);
    // The oldest frame and the number left behind it.
    Take take(CanMessage& out, int& remaining);
    // The receiver has been told; the next push raises a signal again.
    void signalled();
    void clear();

private:
    QMutex m_mutex;
    std::deque<CanMessage> m_queue;
    int m_sdoFrames = 0;  // queued SDO frames of other nodes
    bool m_overrun = false;
    bool m_signalPending = false;
};

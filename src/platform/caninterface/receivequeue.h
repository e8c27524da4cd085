#pragma once
// The bounded receive queue between the worker thread, which fills it, and the caller's
// readMessage. Full, it drops its oldest frame and reports the loss once.
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
    bool m_overrun = false;
    bool m_signalPending = false;
};

#include "caninterface/receivequeue.h"

bool ReceiveQueue::push(CanMessage m) {
    QMutexLocker lock(&m_mutex);
    if (m_queue.size() >= static_cast<std::size_t>(Capacity)) {
        m_queue.pop_front();
        m_overrun = true;
    }
    m_queue.push_back(std::move(m));
    if (m_signalPending) return false;
    m_signalPending = true;
    return true;
}

ReceiveQueue::Take ReceiveQueue::take(CanMessage& out, int& remaining) {
    QMutexLocker lock(&m_mutex);
    if (m_overrun) {
        m_overrun = false;
        remaining = static_cast<int>(m_queue.size());
        return Take::Overrun;
    }
    if (m_queue.empty()) {
        remaining = 0;
        return Take::Empty;
    }
    out = std::move(m_queue.front());
    m_queue.pop_front();
    remaining = static_cast<int>(m_queue.size());
    return Take::Message;
}

void ReceiveQueue::signalled() {
    QMutexLocker lock(&m_mutex);
    m_signalPending = false;
}

void ReceiveQueue::clear() {
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
    m_overrun = false;
}

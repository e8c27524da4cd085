#include "caninterface/receivequeue.h"

#include "caninterface/canopenids.h"

#include <algorithm>

// SDO frames in the queue belong to other nodes' transfers (the caller's own never reaches
// it): they are the first to go when the queue is full.
bool ReceiveQueue::push(CanMessage m) {
    QMutexLocker lock(&m_mutex);
    if (m_queue.size() >= static_cast<std::size_t>(Capacity)) {
        if (m_sdoFrames > 0) {
            m_queue.erase(std::find_if(m_queue.begin(), m_queue.end(),
                                       [](const CanMessage& q) { return CanOpen::isSdoId(q.cobId); }));
            --m_sdoFrames;
        } else {
            m_queue.pop_front();
            m_overrun = true;
        }
    }
    if (CanOpen::isSdoId(m.cobId)) ++m_sdoFrames;
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
    if (CanOpen::isSdoId(out.cobId)) --m_sdoFrames;
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
    m_sdoFrames = 0;
    m_overrun = false;
}

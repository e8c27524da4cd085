#include "caninterface/transmitqueue.h"

#include <QCanBusDevice>
#include <algorithm>

TransmitQueue::TransmitQueue(QObject* parent) : QObject(parent), m_retry(this) {
    m_retry.setSingleShot(true);
    m_retry.setTimerType(Qt::PreciseTimer);
    connect(&m_retry, &QTimer::timeout, this, &TransmitQueue::pump);
    m_clock.start();
}

void TransmitQueue::setDevice(QCanBusDevice* device) {
    m_device = device;
    m_retry.stop();
    std::deque<Entry> waiting;
    waiting.swap(m_queue);
    for (Entry& e : waiting)
        if (e.sent) e.sent(false);
}

TransmitQueue::Write TransmitQueue::write(const QCanBusFrame& frame) {
    if (!m_device) return Write::Refused;
    m_writing = true;
    const bool ok = m_device->writeFrame(frame);
    m_writing = false;
    if (ok) {
        m_lastLeftAt = m_clock.elapsed();
        return Write::Left;
    }
    if (m_device->error() == QCanBusDevice::WriteError && m_device->state() == QCanBusDevice::ConnectedState) {
        m_refusal = m_device->errorString();
        return Write::Full;
    }
    return Write::Refused;
}

bool TransmitQueue::push(const QCanBusFrame& frame, int timeoutMs, int tag, Sent sent) {
    if (m_queue.empty()) {
        switch (write(frame)) {
        case Write::Left:
            if (sent) sent(true);
            return true;
        case Write::Refused: return false;
        case Write::Full: break;
        }
        m_retry.start(RetryMs);
    }
    m_queue.push_back({frame, timeoutMs, tag, std::move(sent), m_clock.elapsed()});
    return true;
}

void TransmitQueue::discard(int tag) {
    m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(), [tag](const Entry& e) { return e.tag == tag; }),
                  m_queue.end());
    if (m_queue.empty()) m_retry.stop();
}

void TransmitQueue::takeFront(bool left) {
    Sent sent = std::move(m_queue.front().sent);
    m_queue.pop_front();
    if (sent) sent(left);  // may queue or discard frames
}

void TransmitQueue::pump() {
    while (!m_queue.empty()) {
        const Entry& e = m_queue.front();
        const Write w = write(e.frame);
        if (w == Write::Left) {
            takeFront(true);
            continue;
        }
        // A frame waits from its queueing or the last frame that left, whichever is later.
        const bool stalled = m_clock.elapsed() - std::max(e.queuedAt, m_lastLeftAt) > e.timeoutMs;
        if (w == Write::Refused || stalled) {
            takeFront(false);
            continue;
        }
        m_retry.start(RetryMs);
        return;
    }
    emit emptied();
}

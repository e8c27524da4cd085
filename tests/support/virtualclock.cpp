#include "virtualclock.h"

#include <QCoreApplication>
#include <algorithm>

namespace testsupport {

using TimeService::clockLink;

VirtualClock::VirtualClock()
    : m_ms(clockLink::get().elapsedMs()), m_nowOffsetMs(m_ms), m_base(clockLink::get().now()) {}

QDateTime VirtualClock::now() { return m_base.addMSecs(m_ms - m_nowOffsetMs); }

void VirtualClock::setNow(const QDateTime& t) {
    m_base = t;
    m_nowOffsetMs = m_ms;
}

void VirtualClock::afterEvents() {
    m_ms += 1;
    fireDueTimers(m_ms);
}

void VirtualClock::waitWithEvents(int ms) { advance(std::max(ms, 0)); }

void VirtualClock::advance(qint64 ms) {
    const qint64 target = m_ms + ms;
    QCoreApplication::processEvents();
    fireDueTimers(target);
    m_ms = std::max(m_ms, target);
    QCoreApplication::processEvents();
}

// Fires the timers that are due at or before upTo, earliest first.
void VirtualClock::fireDueTimers(qint64 upTo) {
    for (;;) {
        KTimer* next = nullptr;
        for (KTimer* t : KTimer::all())
            if (t->isActive() && t->dueAt() <= upTo && (!next || t->dueAt() < next->dueAt())) next = t;
        if (!next) break;
        if (next->dueAt() > m_ms) m_ms = next->dueAt();
        next->fire();
        QCoreApplication::processEvents();
    }
}

VirtualClockScope::VirtualClockScope()
    : m_before(clockLink::installed() ? &clockLink::get() : nullptr) {
    clockLink::install(this);
    KTimer::rearmAll();
}

VirtualClockScope::~VirtualClockScope() {
    clockLink::install(m_before);
    KTimer::rearmAll();
}

void advanceClock(qint64 ms) {
    if (auto* clock = dynamic_cast<VirtualClock*>(&clockLink::get())) clock->advance(ms);
}

}  // namespace testsupport

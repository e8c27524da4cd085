#pragma once
// A clock that moves only when the test moves it (advance) or when the code under test
// waits or sleeps: a 20-second wait costs nothing, and the KTimers fire at their due
// times in order.
#include "desktop/timeservice.h"

#include <QDateTime>

namespace testsupport {

class VirtualClock : public TimeService::Clock {
public:
    // Starts where the clock installed now stands.
    VirtualClock();
    qint64 elapsedMs() override { return m_ms; }
    QDateTime now() override;
    void sleep(int ms) override { m_ms += ms; }
    void afterEvents() override;
    void waitWithEvents(int ms) override;
    bool drivesTimers() const override { return true; }

    // Moves the clock forward, firing each timer at its due time in order.
    void advance(qint64 ms);
    // Sets the wall clock: now() answers this time plus whatever passes afterwards.
    void setNow(const QDateTime& t);

private:
    void fireDueTimers(qint64 upTo);
    qint64 m_ms = 0;
    qint64 m_nowOffsetMs = 0;  // wall clock = base + elapsed since the offset
    QDateTime m_base;
};

// Installs a virtual clock while it lives and re-arms every timer on it; at the end the
// clock installed before comes back, and the timers with it.
class VirtualClockScope : public VirtualClock {
public:
    VirtualClockScope();
    ~VirtualClockScope() override;
    VirtualClockScope(const VirtualClockScope&) = delete;
    VirtualClockScope& operator=(const VirtualClockScope&) = delete;

private:
    TimeService::Clock* m_before;
};

// Moves the installed virtual clock forward (nothing on the real clock), for helpers
// that do not hold the scope.
void advanceClock(qint64 ms);

}  // namespace testsupport

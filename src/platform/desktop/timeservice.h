#pragma once
// The one time service: every pause, every wait that hands control to the event loop,
// every clock read and every timer interval goes through here, and from here to the
// clock installed in clockLink, so that unit tests can run on a virtual clock where a
// 20-second wait costs nothing.
#include "link/link.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <vector>

namespace TimeService {

// The clock behind the service. This one is the real clock (the default); a test
// installs one that moves only when the test moves it, and then drives the KTimers
// itself.
class Clock {
public:
    Clock();
    virtual ~Clock() = default;
    // Milliseconds since the clock started (monotonic).
    virtual qint64 elapsedMs();
    // Wall-clock time: when the service started plus the time elapsed since.
    virtual QDateTime now();
    // Blocks the thread; no events, no timers meanwhile.
    virtual void sleep(int ms);
    // Runs after doEvents has handed control to the event loop once.
    virtual void afterEvents() {}
    // Waits while the event loop runs.
    virtual void waitWithEvents(int ms);
    // Whether this clock fires the KTimers itself instead of their Qt timers.
    virtual bool drivesTimers() const { return false; }

private:
    QElapsedTimer m_real;
    QDateTime m_base;
};
using clockLink = Link<Clock, Clock>;

// Wall-clock time (VB's Now), from the installed clock.
QDateTime now();

// Milliseconds since the clock started (monotonic; virtual or real).
qint64 elapsedMs();

// Plain pause that blocks the thread: no events, no timers run meanwhile.
void sleep(int ms);

// Hands control to the event loop once (VB's DoEvents). A virtual clock also moves time
// on by one millisecond here, so that a polling loop always ends.
void doEvents();

// Waits the given time while the event loop runs: timers, received frames and button
// clicks are served meanwhile.
void waitWithEvents(int ms);

// Whether the caller runs inside a wait that hands control to the event loop (doEvents,
// waitWithEvents, a modal box): some command is still under way further down the stack.
bool insideWait();
// Marks such a wait of another kind (a modal box) for insideWait while it lives.
class WaitScope {
public:
    WaitScope();
    ~WaitScope();
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
};

}  // namespace TimeService

// A window timer with VB's semantics (Interval, Enabled, repeated ticks) that runs on
// the real or the virtual clock. A tick is skipped while the previous one of the same
// timer is still running, so a handler that waits with events is never re-entered.
class KTimer : public QObject {
    Q_OBJECT
public:
    explicit KTimer(QObject* parent = nullptr);
    ~KTimer() override;

    void setInterval(int ms);
    int interval() const { return m_interval; }
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }
    bool isActive() const { return m_enabled && m_interval > 0; }
    void start() { setEnabled(true); }
    void start(int ms) { setInterval(ms); setEnabled(true); }
    void stop() { setEnabled(false); }

    // For a clock that drives the timers itself.
    qint64 dueAt() const { return m_due; }
    void fire();
    static const std::vector<KTimer*>& all();
    // Arms every enabled timer again on the clock installed now: call after swapping it.
    static void rearmAll();

signals:
    void timeout();

private:
    void reschedule();
    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
    bool m_inTick = false;
    qint64 m_due = 0;
};

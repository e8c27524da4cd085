#pragma once
// The one time service: every pause, every wait that hands control to the event loop,
// every clock read and every timer interval goes through here, so that unit tests can
// run on a virtual clock where a 20-second wait costs nothing.
#include <QDateTime>
#include <QObject>
#include <QTimer>

namespace TimeService {

// Wall-clock time (VB's Now). On the virtual clock it moves only when the clock does.
QDateTime now();
// Sets the wall clock: now() answers this time plus whatever passes afterwards.
void setNow(const QDateTime& t);

// Milliseconds since the service started (monotonic; virtual or real).
qint64 elapsedMs();

// Plain pause that blocks the thread: no events, no timers run meanwhile.
void sleep(int ms);

// Hands control to the event loop once (VB's DoEvents). On the virtual clock it also
// moves time on by one millisecond, so that a polling loop always ends.
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

// Virtual clock for unit tests.
void useVirtualClock(bool on);
bool isVirtual();
// Moves the virtual clock forward, firing each timer at its due time in order.
void advance(qint64 ms);

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

    // Used by the virtual clock.
    qint64 dueAt() const { return m_due; }
    void fire();

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

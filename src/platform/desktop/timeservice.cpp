#include "desktop/timeservice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <algorithm>

namespace {
std::vector<KTimer*>& timers() {
    static std::vector<KTimer*> v;
    return v;
}
int g_waits = 0;  // the waits with events now on the stack

bool clockDrivesTimers() { return TimeService::clockLink::get().drivesTimers(); }
}  // namespace

namespace TimeService {

Clock::Clock() : m_base(QDateTime::currentDateTime()) { m_real.start(); }

qint64 Clock::elapsedMs() { return m_real.elapsed(); }

QDateTime Clock::now() { return m_base.addMSecs(m_real.elapsed()); }

void Clock::sleep(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

void Clock::waitWithEvents(int ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QDateTime now() { return clockLink::get().now(); }

qint64 elapsedMs() { return clockLink::get().elapsedMs(); }

void sleep(int ms) {
    if (ms > 0) clockLink::get().sleep(ms);
}

WaitScope::WaitScope() { ++g_waits; }
WaitScope::~WaitScope() { --g_waits; }

bool insideWait() { return g_waits > 0; }

void doEvents() {
    const WaitScope wait;
    QCoreApplication::processEvents();
    clockLink::get().afterEvents();
}

void waitWithEvents(int ms) {
    const WaitScope wait;
    clockLink::get().waitWithEvents(ms);
}

}  // namespace TimeService

KTimer::KTimer(QObject* parent) : QObject(parent) {
    timers().push_back(this);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!clockDrivesTimers()) fire();
    });
}

KTimer::~KTimer() {
    auto& v = timers();
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

const std::vector<KTimer*>& KTimer::all() { return timers(); }

void KTimer::rearmAll() {
    for (KTimer* t : timers()) t->reschedule();
}

void KTimer::setInterval(int ms) {
    m_interval = std::max(ms, 0);
    reschedule();
}

void KTimer::setEnabled(bool on) {
    m_enabled = on;
    reschedule();
}

void KTimer::reschedule() {
    m_timer.stop();
    if (!isActive()) return;
    m_due = TimeService::elapsedMs() + m_interval;
    if (!clockDrivesTimers()) m_timer.start(m_interval);
}

void KTimer::fire() {
    if (!isActive()) return;
    m_due = TimeService::elapsedMs() + m_interval;
    if (m_inTick) return;
    m_inTick = true;
    emit timeout();
    m_inTick = false;
}

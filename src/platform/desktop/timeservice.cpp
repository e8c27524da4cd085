#include "desktop/timeservice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <vector>

namespace {
struct Clock {
    QElapsedTimer real;
    bool virtualOn = false;
    qint64 virtualMs = 0;
    qint64 nowOffsetMs = 0;  // wall clock = base + elapsed
    QDateTime base;
    std::vector<KTimer*> timers;
    int waits = 0;  // the waits with events now on the stack
    Clock() { real.start(); base = QDateTime::currentDateTime(); }
};
Clock& theClock() {
    static Clock c;
    return c;
}

// Fires the timers that are due at or before the current virtual time, earliest first.
void fireDueTimers(qint64 upTo) {
    Clock& c = theClock();
    for (;;) {
        KTimer* next = nullptr;
        for (KTimer* t : c.timers)
            if (t->isActive() && t->dueAt() <= upTo && (!next || t->dueAt() < next->dueAt())) next = t;
        if (!next) break;
        if (next->dueAt() > c.virtualMs) c.virtualMs = next->dueAt();
        next->fire();
        QCoreApplication::processEvents();
    }
}
}  // namespace

namespace TimeService {

QDateTime now() {
    Clock& c = theClock();
    return c.base.addMSecs(elapsedMs() - c.nowOffsetMs);
}

void setNow(const QDateTime& t) {
    Clock& c = theClock();
    c.base = t;
    c.nowOffsetMs = elapsedMs();
}

qint64 elapsedMs() {
    Clock& c = theClock();
    return c.virtualOn ? c.virtualMs : c.real.elapsed();
}

void sleep(int ms) {
    if (ms <= 0) return;
    Clock& c = theClock();
    if (c.virtualOn)
        c.virtualMs += ms;
    else
        QThread::msleep(static_cast<unsigned long>(ms));
}

WaitScope::WaitScope() { ++theClock().waits; }
WaitScope::~WaitScope() { --theClock().waits; }

bool insideWait() { return theClock().waits > 0; }

void doEvents() {
    Clock& c = theClock();
    const WaitScope wait;
    QCoreApplication::processEvents();
    if (c.virtualOn) {
        c.virtualMs += 1;
        fireDueTimers(c.virtualMs);
    }
}

void waitWithEvents(int ms) {
    Clock& c = theClock();
    const WaitScope wait;
    if (c.virtualOn) {
        advance(std::max(ms, 0));
        return;
    }
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void useVirtualClock(bool on) {
    Clock& c = theClock();
    if (on == c.virtualOn) return;
    if (on) c.virtualMs = c.real.elapsed();
    c.virtualOn = on;
    for (KTimer* t : c.timers) t->setEnabled(t->isEnabled());  // re-arm on the new clock
}

bool isVirtual() { return theClock().virtualOn; }

void advance(qint64 ms) {
    Clock& c = theClock();
    if (!c.virtualOn) return;
    const qint64 target = c.virtualMs + ms;
    QCoreApplication::processEvents();
    fireDueTimers(target);
    c.virtualMs = std::max(c.virtualMs, target);
    QCoreApplication::processEvents();
}

}  // namespace TimeService

KTimer::KTimer(QObject* parent) : QObject(parent) {
    theClock().timers.push_back(this);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!TimeService::isVirtual()) fire();
    });
}

KTimer::~KTimer() {
    auto& v = theClock().timers;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
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
    if (!TimeService::isVirtual()) m_timer.start(m_interval);
}

void KTimer::fire() {
    if (!isActive()) return;
    m_due = TimeService::elapsedMs() + m_interval;
    if (m_inTick) return;
    m_inTick = true;
    emit timeout();
    m_inTick = false;
}

#include "simprocess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <chrono>

namespace testsupport {

namespace {
constexpr int kPollMs = 5;

// Started and on the bus ("pxm-sim: on" on its output).
bool startOnBus(QProcess& p, const QString& program, const QStringList& arguments) {
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForStarted(10000)) return false;
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("pxm-sim: on")) {
        if (t.elapsed() > 20000 || p.state() != QProcess::Running) return false;
        p.waitForReadyRead(100);
        out += p.readAll();
    }
    return true;
}

void end(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.kill();
    p.waitForFinished(10000);
}
}  // namespace

SimProcess::SimProcess(const QString& program, const QStringList& arguments, Drop drop)
    : m_thread([this, program, arguments, drop] { run(program, arguments, drop); }) {}

SimProcess::~SimProcess() {
    m_stop = true;
    m_thread.join();
}

bool SimProcess::waitUntilUp(int timeoutMs) const {
    QElapsedTimer t;
    t.start();
    while (!m_up && !m_failed && t.elapsed() < timeoutMs) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return m_up;
}

void SimProcess::run(QString program, QStringList arguments, Drop drop) {
    QProcess first;
    if (!startOnBus(first, program, arguments)) {
        m_failed = true;
        end(first);
        return;
    }
    m_up = true;
    auto pause = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    while (!m_stop && !(drop.trigger && drop.trigger())) pause(kPollMs);
    end(first);
    if (m_stop) return;
    m_dropped = true;
    if (drop.downMs < 0) {
        while (!m_stop) pause(10);
        return;
    }
    for (int waited = 0; waited < drop.downMs && !m_stop; waited += 10) pause(10);
    QProcess second;
    if (!m_stop && startOnBus(second, program, arguments)) m_back = true;
    while (!m_stop) pause(10);
    end(second);
}

}  // namespace testsupport

#pragma once
// pxm-sim as a process of its own on the test's bus, so that a test can kill it and start it
// again, as an engineer pulls a converter's cable and pushes it back. Its flash lives in a
// state folder that outlasts each process. Everything about the process runs in a thread
// of its own, since the program under test may hold the main thread in a wait for seconds.
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <thread>

namespace testsupport {

class SimProcess {
public:
    // Once trigger() holds (asked every few milliseconds in the process's thread), the
    // process is killed and, unless downMs is negative, started again downMs later.
    // Without a trigger it runs until the end.
    struct Drop {
        std::function<bool()> trigger;
        int downMs = -1;
    };

    // program: the pxm-sim executable.
    SimProcess(const QString& program, const QStringList& arguments, Drop drop);
    ~SimProcess();  // kills whatever still runs

    // Waits until the first process is on the bus; false when it did not get there.
    bool waitUntilUp(int timeoutMs = 20000) const;
    bool dropped() const { return m_dropped.load(); }
    // The second process is on the bus again.
    bool back() const { return m_back.load(); }

private:
    void run(QString program, QStringList arguments, Drop drop);

    std::atomic<bool> m_up{false}, m_failed{false}, m_dropped{false}, m_back{false}, m_stop{false};
    std::thread m_thread;
};

}  // namespace testsupport

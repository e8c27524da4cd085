#include "crashkill.h"

#include <QElapsedTimer>
#include <algorithm>
#include <limits>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {
// The child's exit status: 0 when the writer ran to its end.
pid_t startWriter(const std::function<void()>& write) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        write();
        ::_exit(0);  // no destructors or handlers of the parent's objects
    }
    return pid;
}

bool killedBeforeEnd(pid_t pid, qint64 afterMicros) {
    std::this_thread::sleep_for(std::chrono::microseconds(afterMicros));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}
}  // namespace

int killAtRandomMoments(const CrashRuns& c) {
    // The shorter of two undisturbed runs, so that a slow first run (cold caches, a busy
    // machine) does not push the moments past the end of the others.
    qint64 duration = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 2; ++i) {
        c.prepare();
        QElapsedTimer timer;
        timer.start();
        const pid_t pid = startWriter(c.write);
        int status = 0;
        ::waitpid(pid, &status, 0);
        duration = std::min(duration, timer.nsecsElapsed() / 1000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer does not run to its end";
        c.check(-1);
    }

    std::mt19937 random(c.seed);
    std::uniform_int_distribution<qint64> moment(0, duration);
    int killed = 0;
    for (int run = 0; run < c.runs; ++run) {
        c.prepare();
        if (killedBeforeEnd(startWriter(c.write), moment(random))) ++killed;
        c.check(run);
    }
    return killed;
}

}  // namespace testsupport

#pragma once
// The crash test of a writer: the writer runs in a child process (fork) that is killed with
// SIGKILL at a random moment of its run, and the check looks at the files it leaves. The
// moments are drawn from a fixed seed over the time one undisturbed run takes, so a
// failure repeats.
#include <functional>

namespace testsupport {

struct CrashRuns {
    std::function<void()> prepare;     // puts the old state in place, before every run
    std::function<void()> write;       // the writer, in the child
    std::function<void(int)> check;    // after each run, with its number
    int runs = 20;
    unsigned seed = 23;
};

// Runs the writer twice to its end (to measure it; check gets -1), then runs times killed at random.
// Returns how many runs were killed before the writer ended.
int killAtRandomMoments(const CrashRuns& c);

}  // namespace testsupport

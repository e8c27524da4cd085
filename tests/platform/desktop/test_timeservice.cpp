#include "desktop/timeservice.h"
#include "desktop/dialogs.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
struct VirtualClock : ::testing::Test {
    testsupport::VirtualClockScope clock;
};
}  // namespace

TEST_F(VirtualClock, TimersTickAtTheirIntervalsWhileAWaitHandsOverEvents) {
    KTimer fast, slow;
    int nFast = 0, nSlow = 0;
    QObject::connect(&fast, &KTimer::timeout, [&] { ++nFast; });
    QObject::connect(&slow, &KTimer::timeout, [&] { ++nSlow; });
    fast.start(200);
    slow.start(500);
    const qint64 t0 = TimeService::elapsedMs();
    TimeService::waitWithEvents(20000);
    EXPECT_EQ(TimeService::elapsedMs() - t0, 20000);
    EXPECT_EQ(nFast, 100);
    EXPECT_EQ(nSlow, 40);
}

TEST_F(VirtualClock, SleepBlocksTimersUntilTheNextHandOver) {
    KTimer t;
    int n = 0;
    QObject::connect(&t, &KTimer::timeout, [&] { ++n; });
    t.start(100);
    TimeService::sleep(1000);
    EXPECT_EQ(n, 0);
    TimeService::doEvents();
    EXPECT_EQ(n, 1);  // a blocked thread sees one late tick, not ten
}

TEST_F(VirtualClock, AHandlerThatWaitsIsNotReentered) {
    KTimer t;
    int depth = 0, maxDepth = 0, n = 0;
    QObject::connect(&t, &KTimer::timeout, [&] {
        ++n;
        maxDepth = std::max(maxDepth, ++depth);
        TimeService::waitWithEvents(1000);
        --depth;
    });
    t.start(100);
    TimeService::waitWithEvents(5000);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GE(n, 4);
}

// A timer fired from a command's wait sees the command under way; one fired from the top
// (here the test's own clock advance) does not.
TEST_F(VirtualClock, ATickKnowsWhetherItRunsInsideAWait) {
    KTimer t;
    std::vector<bool> inside;
    QObject::connect(&t, &KTimer::timeout, [&] { inside.push_back(TimeService::insideWait()); });
    t.start(100);
    clock.advance(100);
    TimeService::sleep(100);
    TimeService::doEvents();
    TimeService::waitWithEvents(100);
    {
        const TimeService::WaitScope box;
        clock.advance(100);
    }
    clock.advance(100);
    EXPECT_EQ(inside, std::vector<bool>({false, true, true, true, false}));
    EXPECT_FALSE(TimeService::insideWait());
}

TEST_F(VirtualClock, WallClockMovesWithTheVirtualClock) {
    const QDateTime fixed(QDate(2026, 3, 1), QTime(12, 0, 0));
    clock.setNow(fixed);
    TimeService::waitWithEvents(90000);
    EXPECT_EQ(TimeService::now(), fixed.addSecs(90));
}

// A timer armed on the virtual clock runs on the real one once the test's clock is gone.
TEST(ClockSeam, TimersComeBackToTheRealClockWhenTheVirtualOneIsRemoved) {
    KTimer t;
    int n = 0;
    QObject::connect(&t, &KTimer::timeout, [&] { ++n; });
    {
        testsupport::VirtualClockScope clock;
        t.start(50);
        clock.advance(50);
        EXPECT_EQ(n, 1);
    }
    EXPECT_TRUE(testsupport::waitFor([&] { return n >= 2; }, 5000));
}

TEST(DialogSeam, AnswererGetsTheTextAndUnscriptedQuestionsAreCautious) {
    testsupport::ScriptedAnswerer answers;
    answers.push(Dialogs::vbYes);
    EXPECT_EQ(Dialogs::msgBox("first?", Dialogs::vbYesNo, "T"), Dialogs::vbYes);
    EXPECT_EQ(Dialogs::msgBox("second?", Dialogs::vbYesNo, "T"), Dialogs::vbNo);
    EXPECT_EQ(Dialogs::msgBox("third", Dialogs::vbOKCancel), Dialogs::vbCancel);
    ASSERT_EQ(answers.shown().size(), 3u);
    EXPECT_EQ(answers.shown()[1].text, "second?");
    EXPECT_EQ(answers.shown()[1].title, "T");
}

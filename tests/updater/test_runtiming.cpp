// The pacing of the run: when a step's work runs, how waits are counted, OK and exit.
#include "runfixture.h"

#include "desktop/timeservice.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

TEST_F(RunTest, StartShowsTextOneOnTheSecondTickAndRunsStepOneOnTheSixth) {
    makeConfig({});
    start();
    ASSERT_TRUE(w->timCyclic.isEnabled());
    tick();
    EXPECT_EQ(run->step(), 0);
    EXPECT_TRUE(userText().isEmpty());
    tick();
    EXPECT_EQ(userText(), "T1");
    EXPECT_EQ(run->step(), 1);
    EXPECT_TRUE(log().isEmpty());
    tick();
    EXPECT_EQ(log(), QStringList{"Step 1: Prepare connection to KELB"});
    EXPECT_EQ(userText(), "T10");
    EXPECT_EQ(fieldColour(1), UpdateWindow::yellow);
    EXPECT_EQ(w->txtStep[0]->text(), "Connecting to KELB");
    EXPECT_FALSE(run->reportLines()[0].isEmpty());
    tick();
    tick();
    EXPECT_EQ(site.connects, 0);
    tick();
    EXPECT_EQ(site.connects, 1);
}

TEST_F(RunTest, TheTimerRunsTheTicksOnTheVirtualClock) {
    makeConfig({});
    start();
    clock.advance(6 * 500);
    EXPECT_EQ(site.connects, 1);
}

TEST_F(RunTest, WithoutCanOnlyTheLogLineShowsAndNoTickRuns) {
    makeConfig({});
    master.set_g_noCAN(true);
    start();
    EXPECT_EQ(log(), QStringList{"no CAN initialising ..."});
    EXPECT_FALSE(w->timCyclic.isEnabled());
    EXPECT_TRUE(master.g_blockTransferEnable());
    EXPECT_EQ(fieldColour(1), UpdateWindow::buttonFace);
}

TEST_F(RunTest, OkResumesTheStepsWorkOnTheSecondTick) {
    makeConfig({20});
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 2 && userText() == "T20"; }));
    EXPECT_FALSE(w->timCyclic.isEnabled());
    EXPECT_FALSE(w->cmdOk->isHidden());
    EXPECT_FALSE(w->cmdExitUpdater->isHidden());
    EXPECT_TRUE(w->cmdExitUpdater->isEnabled());
    pressOk();
    EXPECT_TRUE(w->cmdOk->isHidden());
    EXPECT_TRUE(w->cmdExitUpdater->isHidden());
    EXPECT_FALSE(w->cmdExitUpdater->isEnabled());
    EXPECT_EQ(run->tickCounter(), 0);
    tick();
    EXPECT_FALSE(site.calls.contains("login"));
    tick();
    EXPECT_TRUE(site.calls.contains("login"));
}

// Each wait ends on the work tick that comes the given seconds after the entry tick: the
// entry tick has counter 1, so a wait of s seconds ends on work tick 2 s + 1.
struct WaitCase {
    const char* name;
    int step;
    int seconds;
    std::function<void(RunTest&, FakeSite&)> arrange;
};

class RunWaits : public RunTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(RunWaits, TheWaitEndsOnWorkTickTwiceTheSecondsPlusOne) {
    const WaitCase& c = GetParam();
    makeConfig({});
    c.arrange(*this, site);
    start();
    ASSERT_TRUE(reachWork(c.step));
    int workTicks = 1;  // the entry tick
    while (run->step() == c.step && workTicks < 200) {
        ASSERT_TRUE(tick()) << "timer stopped in step " << c.step;
        ++workTicks;
        if (workTicks == 2 * c.seconds) {
            EXPECT_EQ(run->step(), c.step) << "left one tick early";
        }
    }
    EXPECT_EQ(workTicks, 2 * c.seconds + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RunWaits,
    ::testing::Values(
        WaitCase{"SystemInformation", 2, 20, [](RunTest&, FakeSite& s) { s.published.erase(symBuild); }},
        WaitCase{"AutoDownloadActivation", 4, 15, [](RunTest&, FakeSite& s) { s.published[symAutoDownload] = le32(0); }},
        WaitCase{"DownloadSettling", 7, 2, [](RunTest&, FakeSite&) {}},
        WaitCase{"ApplicationStart", 8, 5, [](RunTest&, FakeSite& s) { s.startFails = {2}; }},
        WaitCase{"CrcEcho", 9, 10, [](RunTest&, FakeSite& s) { s.silentEcho = true; }},
        WaitCase{"CheckAfterUpdate", 10, 20, [](RunTest&, FakeSite& s) {
                     // Step 10 asks again; the modules no longer publish the build.
                     s.duringDownload = [&s] { s.published.erase(symBuild); };
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, ALongCommandInsideATickHoldsTheCountAndNoTickOverlaps) {
    makeConfig({});
    int nested = 0;
    site.duringDownload = [&] {
        // The download hands control to the event loop for a long time.
        const int before = run->tickCounter();
        TimeService::waitWithEvents(30000);
        nested = run->tickCounter() - before;
    };
    start();
    ASSERT_TRUE(reachWork(7));
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(site.calls.count("download"), 1);
    EXPECT_EQ(run->tickCounter(), 2);
}

TEST_F(RunTest, TheProgressBarCreepsAndStopsAtTheNextStepsMark) {
    makeConfig({});
    site.published.erase(symBuild);
    start();
    ASSERT_TRUE(reachWork(2));
    EXPECT_NEAR(w->progress(), (2 + 1 / 20.0) / 11, 1e-3);
    for (int i = 0; i < 25; ++i) tick();
    EXPECT_LE(w->progress(), 3 / 11.0 + 1e-3);
    EXPECT_GE(w->progress(), 3 / 11.0 - 1e-3);
}

}  // namespace

namespace {

// A value that arrives just before the tick on which the wait runs out is a success.
struct LastTickCase {
    const char* name;
    int step;
    int seconds;
    std::function<void(FakeSite&)> withhold;
    const char* setter;
    qint32 key;
    QByteArray value;
    int next;
};

class SuccessOnTheLastTick : public RunTest, public ::testing::WithParamInterface<LastTickCase> {};

TEST_P(SuccessOnTheLastTick, TheTimeOutDoesNotTurnItIntoAFailure) {
    const LastTickCase& c = GetParam();
    makeConfig({});
    c.withhold(site);
    start();
    ASSERT_TRUE(reachWork(c.step));
    while (run->tickCounter() < 2 * c.seconds + 1) ASSERT_TRUE(tick());
    run->setSystemValue(setter(c.setter), c.value, c.key);
    tick();
    EXPECT_EQ(run->step(), c.next);
    EXPECT_EQ(fieldColour(c.step), UpdateWindow::green);
    EXPECT_FALSE(run->updateFailed());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SuccessOnTheLastTick,
    ::testing::Values(
        LastTickCase{"SystemInformation", 2, 20, [](FakeSite& s) { s.published.erase(symCrcLenAppl); },
                     "g_setCrcLenApplication", symCrcLenAppl, le32(65536), 3},
        LastTickCase{"CrcEcho", 9, 10, [](FakeSite& s) { s.silentEcho = true; }, "g_setFirstApplicationCrc", symFirstCrc,
                     le32(newCrc), 10},
        LastTickCase{"CheckAfterUpdate", 10, 20,
                     [](FakeSite& s) { s.duringDownload = [&s] { s.published.erase(symBuild); }; }, "g_setBuild",
                     symBuild, le32(7), 11}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

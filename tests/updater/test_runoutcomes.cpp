// The steps from the download to the end, and the exit button at every kind of prompt.
#include "runfixture.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

const char* kFailed = "KELB-3817 Software update failed. Find more details in the report below.";
const char* kSuccess = "KELB-3817 Software is successfully updated.";
const char* kCanceled = "KELB-3817 Software update was canceled by the user!\r\nSoftware is not updated!\r\n\r\n";

struct DownloadCase {
    const char* name;
    std::set<int> fails;
    const char* text;
    std::vector<const char*> lines;
    bool instruction;
};

class DownloadFailures : public RunTest, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadFailures, AModuleThatDidNotTakeTheDownloadFailsTheRun) {
    const DownloadCase& c = GetParam();
    makeConfig({});
    site.downloadFails = c.fails;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_EQ(userText(), c.text);
    for (const char* line : c.lines) EXPECT_TRUE(logHas(line)) << line;
    EXPECT_EQ(fieldColour(7), UpdateWindow::red);
    EXPECT_EQ(w->cmdOpenReport->text(), c.instruction ? "Open Instruction" : "Open Report");
    EXPECT_EQ(w->cmdOpenReport->isHidden(), !c.instruction);
    EXPECT_FALSE(site.calls.contains("startApplication"));
    pressExit();
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_TRUE(reportText().contains(kFailed));
    EXPECT_FALSE(reportText().contains(kSuccess));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadFailures,
    ::testing::Values(DownloadCase{"Spare", {0}, "T71", {"   Spare-PXM is not downloaded!"}, false},
                      DownloadCase{"Cylinders",
                                   {1, 3},
                                   "T72 PXM #01, PXM #03",
                                   {"   Not all PXM's successfully downloaded.", "   Following PXM's failed: PXM #01, PXM #03!"},
                                   true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, TheMainWindowHearsOnceThatTheRunEndedOnlyAtItsLastStep) {
    makeConfig({});
    site.downloadFails = {0};
    start();
    bool early = false;
    ASSERT_TRUE(tickUntil([&] {
        early = early || (run->step() < 11 && site.ends > 0);
        return run->step() == 11 && !w->timCyclic.isEnabled();
    }));
    EXPECT_FALSE(early);
    EXPECT_EQ(site.ends, 1);
    tick();
    tick();
    EXPECT_EQ(site.ends, 1);
}

TEST_F(RunTest, AModuleThatDoesNotStartItsApplicationIsNoSuccessfulUpdate) {
    makeConfig({});
    site.startFails = {2};
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_EQ(userText(), "T81");
    EXPECT_TRUE(logHas("   Following PXM's did not start: PXM #02!"));
    EXPECT_EQ(fieldColour(8), UpdateWindow::red);
    EXPECT_TRUE(site.writes.empty());
    exitWithFailedReport();
}

TEST_F(RunTest, AWrongCrcEchoEndsTheWaitAtOnceAndTheRunDoesNotEndAsSuccess) {
    makeConfig({});
    site.echo = 0x4444;
    start();
    ASSERT_TRUE(reachWork(9));
    // The echo arrives before the next tick; that tick ends the wait.
    tick();
    EXPECT_EQ(run->step(), 10);
    EXPECT_TRUE(logHas("   Appl CRC not set!"));
    EXPECT_EQ(userText(), "T91");
    EXPECT_FALSE(w->cmdOk->isHidden());
    EXPECT_FALSE(w->cmdExitUpdater->isHidden());
    EXPECT_EQ(site.serviceBits.back(), std::make_pair(qint32(symFirstCrc), 0));
    pressOk();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_TRUE(logHas("  Update failed"));
    EXPECT_NE(userText().left(4), "T111");
    pressExit();
    tick();
    EXPECT_TRUE(reportText().contains(kFailed));
}

TEST_F(RunTest, AnEchoOnTheTickTheWaitRunsOutIsASuccess) {
    makeConfig({});
    site.silentEcho = true;
    start();
    ASSERT_TRUE(reachWork(9));
    while (run->tickCounter() < 21) ASSERT_TRUE(tick());
    qint32 key = symFirstCrc;
    run->setSystemValue(setter("g_setFirstApplicationCrc"), le32(newCrc), key);
    tick();
    EXPECT_TRUE(logHas("   Appl CRC set"));
    EXPECT_FALSE(logHas("   Appl CRC not set!"));
    EXPECT_EQ(fieldColour(9), UpdateWindow::green);
    EXPECT_EQ(run->step(), 10);
    EXPECT_FALSE(run->updateFailed());
}

TEST_F(RunTest, ValuesNotReadAgainAfterTheUpdateFailTheRun) {
    makeConfig({});
    site.duringDownload = [&] { site.published.erase(symCrcLenImo); };
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && userText() == "T101"; }));
    EXPECT_TRUE(logHas("   Application could not be checked!"));
    EXPECT_EQ(fieldColour(10), UpdateWindow::red);
    pressOk();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }));
    exitWithFailedReport();
}

// A load file that converts and carries the right type but is not the build's application:
// the modules take it and confirm the written CRC, but the CRC they compute is not the build's.
TEST_F(RunTest, AnApplicationCrcAfterTheUpdateThatIsNotTheBuildsFailsTheRun) {
    makeConfig({});
    site.installedCrc = 0x3333;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_TRUE(logHas("   Appl CRC set"));
    EXPECT_TRUE(logHas("  Appl-CRC: 0x3333   / Len: 65536   after  update"));
    EXPECT_TRUE(logHas("   Application CRC 0x3333 after the update is not the CRC 0x2222 of build B7!"));
    EXPECT_EQ(fieldColour(10), UpdateWindow::red);
    EXPECT_EQ(w->txtStep[10]->text(), "Wrong Application");
    EXPECT_EQ(userText(), "T102 0x3333|0x2222");
    EXPECT_TRUE(run->updateFailed());
    exitWithFailedReport();
}

TEST_F(RunTest, OnASiteWithoutText102TheCrcAfterTheUpdateIsNamedInTheToolsOwnWording) {
    textsMissing = {102};
    makeConfig({});
    site.installedCrc = 0x3333;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_EQ(userText(), "After the update the modules run the application with the CRC 0x3333, not the CRC 0x2222 of "
                          "this build.");
    EXPECT_TRUE(run->updateFailed());
}

// The modules left in the bootloader of an installed update are checked against the same CRC.
TEST_F(RunTest, ModulesLoadedFromTheBootloaderMustReportTheBuildsCrcToo) {
    makeConfig({});
    site.published[symCrcAppl] = le32(newCrc);
    site.app[2] = false;
    site.boot[2] = true;
    site.installedCrc = 0x3333;
    start();
    ASSERT_TRUE(tickUntil([&] { return run->step() == 11 && !w->timCyclic.isEnabled(); }));
    EXPECT_TRUE(logHas("   Application CRC 0x3333 after the update is not the CRC 0x2222 of build B7!"));
    EXPECT_TRUE(run->updateFailed());
}

// ---- The exit button at each kind of prompt ----
class ExitAtPrompt;
struct ExitCase {
    const char* name;
    std::set<int> okTexts;
    std::function<bool(ExitAtPrompt&)> at;  // ticks until the prompt to leave
    bool ends;                         // the next tick writes the report and ends the program
    const char* reportHas;
};

class ExitAtPrompt : public RunTest, public ::testing::WithParamInterface<ExitCase> {
public:
    bool until(const std::function<bool()>& pred, bool ok = true) { return tickUntil(pred, 400, ok); }
    FakeSite& modules() { return site; }
    const UpdateRun& r() const { return *run; }
    QString text() const { return userText(); }
};

TEST_P(ExitAtPrompt, TheCancelRuleOfTheStepApplies) {
    const ExitCase& c = GetParam();
    makeConfig(c.okTexts);
    start();
    ASSERT_TRUE(c.at(*this));
    ASSERT_TRUE(w->cmdExitUpdater->isEnabled());
    pressExit();
    ASSERT_TRUE(w->timCyclic.isEnabled());
    if (c.ends) {
        tick();
        EXPECT_EQ(site.exits, 1);
    } else {
        ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 400, false));
        EXPECT_EQ(site.exits, 0);
        EXPECT_EQ(run->step(), 11);
        pressExit();
        tick();
        EXPECT_EQ(site.exits, 1);
    }
    EXPECT_TRUE(reportText().contains(c.reportHas)) << reportText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, ExitAtPrompt,
    ::testing::Values(
        // Leaving before the update was done never reads as a success.
        ExitCase{"TextOne", {1}, [](ExitAtPrompt& t) { return t.until([&] { return t.text() == "T1"; }, false); }, true, kCanceled},
        ExitCase{"StepChangeText", {40}, [](ExitAtPrompt& t) { return t.until([&] { return t.text() == "T40"; }); }, true,
                 kCanceled},
        ExitCase{"UpdatePrompt", {61}, [](ExitAtPrompt& t) { return t.until([&] { return t.text().startsWith("T61"); }, false); }, false,
                 kCanceled},
        ExitCase{"StepNineText", {90}, [](ExitAtPrompt& t) { return t.until([&] { return t.text() == "T90"; }, true); }, false,
                 kSuccess},
        ExitCase{"CrcNotConfirmed", {},
                 [](ExitAtPrompt& t) {
                     t.modules().echo = 0x4444;
                     return t.until([&] { return t.text() == "T91"; });
                 },
                 true, kFailed},
        ExitCase{"Finish", {}, [](ExitAtPrompt& t) { return t.until([&] { return t.text().startsWith("T111"); }); }, true, kSuccess}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunTest, ExitAtTheUpdatePromptStartsTheApplicationsAgainAndEndsCanceled) {
    makeConfig({61});
    start();
    ASSERT_TRUE(tickUntil([&] { return userText().startsWith("T61"); }, 400, false));
    pressExit();
    ASSERT_TRUE(tickUntil([&] { return !w->timCyclic.isEnabled(); }, 400, false));
    EXPECT_FALSE(site.calls.contains("download"));
    EXPECT_TRUE(site.calls.contains("startApplication"));
    EXPECT_TRUE(run->updateCanceled());
    EXPECT_TRUE(logHas("  Update canceled"));
    EXPECT_EQ(userText(), "T112");
    EXPECT_TRUE(site.writes.empty());
}

TEST_F(RunTest, ExitAtTextOneWritesTheReportWithoutTheStartLine) {
    makeConfig({1});
    start();
    ASSERT_TRUE(tickUntil([&] { return userText() == "T1"; }, 10, false));
    pressExit();
    tick();
    EXPECT_EQ(site.exits, 1);
    EXPECT_TRUE(reportText().startsWith(QString(13, '\0').replace(QChar('\0'), QStringLiteral("\r\n")) +
                                        kCanceled))
        << reportText().toStdString();
}

}  // namespace

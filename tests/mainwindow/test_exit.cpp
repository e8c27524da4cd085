// The log-off and the exit procedure: it runs once, and closes the windows in their order.
#include "mainwindowfixture.h"

using namespace mwtest;
using ExitTest = MainWindowTest;

namespace {
const Calls kFullOrder = {"g_logoff", "release(onlyHW)", "frmCANopen", "frmDcBuilder", "frmDcReconstruction", "frmEditDC",
                          "frmModuleOverview", "frmInfoBlockDetails", "frmHWInfoBlockRepair"};
}

class ExitOrder : public ExitTest {
protected:
    bool messageWindowLoadedAtDetails = false;
    bool messageWindowLoadedAtRepair = true;
    bool mainShownAtRepair = false;

    void openEverything() {
        can.loaded = builder.window.loaded = reconstruction.window.loaded = editor.loaded = overview.loaded =
            details.loaded = repair.loaded = true;
        modGlobal::g_updateMode = false;
        frmMessage2::instance().informationMsgBox("log line");
        ASSERT_TRUE(frmMessage2::existing()->isLoaded());
        w->show();
        details.onUnload = [this] { messageWindowLoadedAtDetails = frmMessage2::existing()->isLoaded(); };
        repair.onUnload = [this] {
            messageWindowLoadedAtRepair = frmMessage2::existing()->isLoaded();
            mainShownAtRepair = w->isVisible();
        };
    }
    void expectFullOrder() {
        EXPECT_EQ(calls, kFullOrder);
        EXPECT_TRUE(messageWindowLoadedAtDetails);
        EXPECT_FALSE(messageWindowLoadedAtRepair);  // the message window goes between the two
        EXPECT_TRUE(mainShownAtRepair);              // the main window goes last
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(ends, 0);
    }
};

TEST_F(ExitOrder, TheExitButtonLogsOffAndUnloadsTheWindowsInOrderOnce) {
    openEverything();
    w->cmdExit_Click();
    expectFullOrder();
    w->mnuExit_Click();  // pressed again: nothing more
    w->close();
    EXPECT_EQ(calls, kFullOrder);
}

TEST_F(ExitOrder, ClosingTheMainWindowRunsTheSameProcedureOnce) {
    openEverything();
    w->close();
    expectFullOrder();
}

TEST_F(ExitTest, WindowsThatAreNotLoadedAreNotUnloaded) {
    editor.loaded = true;
    w->show();
    w->mnuExit_Click();
    const Calls expected = {"g_logoff", "release(onlyHW)", "frmEditDC"};
    EXPECT_EQ(calls, expected);
}

TEST_F(ExitTest, AFailingUnloadGoesToTheErrorHandlerAndContinueClosesTheRest) {
    can.loaded = builder.window.loaded = overview.loaded = true;
    builder.window.failUnload = true;
    w->show();
    w->mnuExit_Click();
    const Calls expected = {"g_logoff", "release(onlyHW)", "frmCANopen", "frmModuleOverview"};
    EXPECT_EQ(calls, expected);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].object, "frmMain");
    EXPECT_EQ(errors[0].procedure, "mnuExit_Click");
    EXPECT_FALSE(w->isVisible());
}

TEST_F(ExitTest, TheLogOffWithEndStopsTheProgramWithoutClosingWindows) {
    can.loaded = true;
    w->g_logOffApplication(true);
    const Calls expected = {"g_logoff", "release(onlyHW)", "END"};
    EXPECT_EQ(calls, expected);
    w->g_logOffApplication(false);
    EXPECT_EQ(ends, 1);
}

// A close request while a command holds the lock is ignored, whatever the mode leaves of
// Exit; the Exit button keeps its mode table; the engine-running lock is no command.
TEST_F(ExitTest, AClosingDuringACommandIsIgnoredAndExitKeepsItsModes) {
    struct Case {
        int mode;
        bool exitEnabled;
        bool closes;
    };
    for (const Case c : {Case{0, false, false}, Case{1, false, false}, Case{2, true, false}, Case{4, false, false},
                         Case{3, true, true}}) {
        SCOPED_TRACE(c.mode);
        calls.clear();
        w = std::make_unique<frmMain>();
        loadFiles.w = w.get();
        w->show();
        w->disableOtherControls(c.mode);
        EXPECT_EQ(w->cmdExit->isEnabled(), c.exitEnabled);
        EXPECT_EQ(w->close(), c.closes);
        EXPECT_EQ(w->isVisible(), !c.closes);
        EXPECT_EQ(w->m_exiting, c.closes);
        if (c.closes) continue;
        EXPECT_TRUE(calls.empty());
        if (c.exitEnabled) {
            // Exit pressed during the command runs the exit procedure, and its closing passes.
            w->cmdExit->click();
            EXPECT_TRUE(w->m_exiting);
            EXPECT_FALSE(w->isVisible());
            continue;
        }
        // Once the command has ended, the close box ends the program again.
        w->enableAllControls();
        EXPECT_TRUE(w->close());
        EXPECT_TRUE(w->m_exiting);
    }
}

// The builder's report and scans serve the event loop: Exit and the close box wait for
// their end, which would otherwise delete the working copy they read.
TEST_F(ExitOrder, ExitAndTheCloseBoxWaitWhileTheBuilderRunsACommand) {
    openEverything();
    builder.running = true;
    w->cmdExit->click();
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->m_exiting);
    builder.running = false;
    w->cmdExit->click();
    expectFullOrder();
}

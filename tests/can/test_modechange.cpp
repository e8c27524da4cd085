// Mode change on the virtual clock against a fake control system: the order of the
// program-control writes and commands, the waits and their lengths, and the log.
#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "can/modmodechange.h"
#include "desktop/timeservice.h"
#include "modechangefixture.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"

#include <QPlainTextEdit>
#include <QPushButton>

using namespace modechangetest;
using namespace modModeChange;

namespace {
const QString kNoHeartbeat = QStringLiteral(
    "      failed! Could not start Bootloader  because heartbeat was not received. \r"
    "      Please check the connection to the PXM and try again.");

std::vector<qint64> timesOf(const std::vector<Event>& events, const QString& prefix) {
    std::vector<qint64> t;
    for (const auto& e : events)
        if (e.what.startsWith(prefix)) t.push_back(e.t);
    return t;
}
}  // namespace

// ---- start application ----

TEST_F(ModeChangeTest, SBusCommandsEveryModuleFirstThenWaitsLongForTheFirstAndShortForLaterOnes) {
    for (int m : {1, 2, 3}) {
        set(m, boot);
        main.green[m] = true;
    }
    delay(1, never);
    delay(2, 100);
    delay(3, never);
    main.userSelection = select({1, 2, 3, 9});

    EXPECT_FALSE(g_startApplication(select({1, 2, 3}), false));

    // Pass 2 repeats the command of each module it waits for.
    EXPECT_EQ(program(), QStringList({"sdo 71 1F51/6 01 t0", "sdo 72 1F51/6 01 t0", "sdo 73 1F51/6 01 t0",
                                      "sdo 71 1F51/6 01 t0", "sdo 73 1F51/6 01 t0"}));
    const auto t = timesOf(events, "sdo");
    EXPECT_EQ(t[2], 0) << "no wait between the first commands";
    EXPECT_GE(t[4], 1501 * 20);
    EXPECT_EQ(searches[1], 1501) << "150 wait units for the first module waited for";
    EXPECT_EQ(searches[2], 0) << "module 2 came up meanwhile and is not waited for";
    EXPECT_EQ(searches[3], 151) << "15 units for the later ones";
    EXPECT_GE(now(), (1501 + 151) * 20);
    EXPECT_LT(now(), (1501 + 151) * 22);
    EXPECT_EQ(main.lines, QStringList({"   Start application", "      PXM 1: not started!", "      PXM 2: ok",
                                       "      PXM 3: not started!"}));
    for (bool refresh : refreshAtSearch) EXPECT_FALSE(refresh) << "no display refresh during the wait";
    EXPECT_TRUE(modHeartBeatControl::g_heartBeatRefresh);
    ASSERT_EQ(main.restored.size(), 1u);
    EXPECT_EQ(main.restored[0], select({1, 2, 3, 9}));
}

TEST_F(ModeChangeTest, StartApplicationLeavesRunningModulesAloneAndNeedsAGreenLampUnlessForced) {
    set(0, app);  // already running: nothing is done and nothing logged for it
    set(1, boot);  // red lamp
    set(2, boot);
    main.green = {true, false, true};
    delay(1, 0);
    delay(2, 0);

    EXPECT_TRUE(g_startApplication(select({0, 1, 2}), false));
    EXPECT_EQ(program(), QStringList({"sdo 72 1F51/6 01 t0", "sdo 72 1F51/6 01 t0"}));
    EXPECT_EQ(main.lines, QStringList({"   Start application", "      PXM 2: ok"}));

    events.clear();
    main.lines.clear();
    EXPECT_TRUE(g_startApplication(select({0, 1, 2}), true));
    EXPECT_EQ(program(), QStringList({"sdo 71 1F51/6 01 t0", "sdo 71 1F51/6 01 t0"}));
    EXPECT_EQ(main.lines, QStringList({"   Start application", "      PXM 1: ok"}));
}

TEST_F(ModeChangeTest, OneModuleStartsByItsKindsSubIndexAndTimeOutAndNoWaitIsAlwaysFalse) {
    struct Case {
        const char* name;
        std::function<void()> bus;
        qint16 module;
        QStringList writes;
    } cases[] = {
        {"PXM S-Bus", [this] { sBus(); }, 4, {"sdo 74 1F51/6 01 t0"}},
        {"QTM", [this] { qtm(); }, 4, {"sdo 44 1F51/2 01 t2000"}},
        {"M-Bus module 0", [this] { mBus(); }, 0, {"sdo 7F 1F51/6 01 t0"}},
        {"M-Bus cylinder", [this] { mBus(); }, 3, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.bus();
        set(c.module, app);  // it would be found at once
        events.clear();
        searches.clear();
        EXPECT_FALSE(startApplication(c.module, true, 150));
        EXPECT_EQ(program(), c.writes);
        EXPECT_TRUE(searches.empty());
        EXPECT_TRUE(modHeartBeatControl::g_heartBeatRefresh);
        set(c.module, off);
        modGlobal::g_qtmMode = false;
    }
}

TEST_F(ModeChangeTest, TheApplicationWaitPollsEvery20MsForWaitUnitsTimesTenPlusOneRounds) {
    set(5, boot);
    delay(5, never);
    EXPECT_FALSE(startApplication(5, false, 2));
    EXPECT_EQ(searches[5], 21);
    EXPECT_GE(now(), 21 * 20);

    delay(5, 200);
    searches.clear();
    const qint64 start = now();
    EXPECT_TRUE(startApplication(5, false, 150));
    EXPECT_GE(now() - start, 200);
    EXPECT_LT(now() - start, 250) << "the wait ends when the module shows up";
}

TEST_F(ModeChangeTest, MBusStartsModuleZeroLogsInThenStartsTheCylindersInOneCommand) {
    mBus();
    for (int m : {0, 3, 5}) {
        set(m, boot);
        main.green[m] = true;
    }
    delay(0, 500);
    delay(3, 300);
    delay(5, 300);

    EXPECT_TRUE(g_startApplication(select({0, 3, 5}), false));

    EXPECT_EQ(program(), QStringList({"sdo 7F 1F51/6 01 t0", "login 11", "cmd 28 00 02 00"}));
    const auto cmd = timesOf(events, "cmd");
    EXPECT_GE(cmd[0], 500) << "the command register is written once module 0 runs";
    EXPECT_GT(searches[3], 0);
    EXPECT_EQ(searches[5], 0) << "module 5 came up with module 3";
    EXPECT_EQ(main.lines, QStringList({"   Start application", "      PXM 0: ok", "      PXM 3: ok", "      PXM 5: ok"}));

    // Without a selected cylinder the register is written all the same, with an empty mask.
    set(0, boot);
    events.clear();
    g_startApplication(select({0}), false);
    EXPECT_EQ(program(), QStringList({"sdo 7F 1F51/6 01 t0", "login 11", "cmd 00 00 02 00"}));
}

TEST_F(ModeChangeTest, AbortEndsTheWaitAndLeavesTheRestNotStarted) {
    for (int m : {1, 2}) {
        set(m, boot);
        main.green[m] = true;
        delay(m, never);
    }
    onSearch = [this](int module, int count) {
        if (module == 1 && count == 10) main.abort = true;
    };
    EXPECT_FALSE(g_startApplication(select({1, 2}), false));
    EXPECT_EQ(searches[1], 10);
    EXPECT_EQ(searches[2], 0);
    EXPECT_EQ(main.lines, QStringList({"   Start application", "      PXM 1: not started!", "      PXM 2: not started!"}));
    EXPECT_EQ(main.restored.size(), 1u);
}

TEST_F(ModeChangeTest, AnOldCanComponentRefusesUnlessInDebugMode) {
    set(1, boot);
    main.green[1] = true;
    delay(1, 0);
    modGlobal::g_canInterfaceVersion = 1.0;

    EXPECT_FALSE(g_startApplication(select({1}), false));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(main.restored.empty()) << "nothing was changed";
    EXPECT_EQ(main.lines, QStringList({"   Start application",
                                       "   Start application cancelled, because CANInterface DLL version is less than 1.1"}));
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].title, "Start Application");
    EXPECT_EQ(answers.shown()[0].text, "Please restart application manually by exiting\r"
                                       "loader and resetting power (off-on) of all PXM-20 modules.");

    modGlobal::g_debugMode = true;
    main.lines.clear();
    EXPECT_TRUE(g_startApplication(select({1}), false));
    EXPECT_EQ(main.lines, QStringList({"   Start application",
                                       " Start application is executed with old DLL because debug mode is active",
                                       "      PXM 1: ok"}));
}

// ---- start bootloader, one module ----

TEST_F(ModeChangeTest, TheBootloaderWaitMakesThreeAttemptsOf41RoundsWithTheRightCommand) {
    struct Case {
        const char* name;
        std::function<void()> bus;
        qint16 module;
        bool inBootloader, skipWrite;
        QString write;  // per attempt; empty: none
    } cases[] = {
        {"from the application", [this] { sBus(); }, 2, false, false, "sdo 22 1F51/3 01 t0"},
        {"restart in the bootloader", [this] { sBus(); }, 2, true, false, "sdo 72 1F51/3 02 t0"},
        {"skip the write", [this] { sBus(); }, 2, false, true, ""},
        {"QTM", [this] { qtm(); }, 2, false, false, "sdo 52 1F51/1 01 t0"},
        {"M-Bus module 0", [this] { mBus(); }, 0, false, false, "sdo 11 1F51/3 01 t0"},
        {"M-Bus cylinder", [this] { mBus(); }, 2, false, false, ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.bus();
        delay(c.module, never);
        events.clear();
        probes.clear();
        searches.clear();
        nmtStarts = 0;
        const qint64 start = now();
        EXPECT_FALSE(startBootloader(c.module, c.inBootloader, false, c.skipWrite));
        EXPECT_EQ(program(), c.write.isEmpty() ? QStringList() : QStringList({c.write, c.write, c.write}));
        EXPECT_EQ(searches[c.module], 123);
        EXPECT_EQ(nmtStarts, 123);
        ASSERT_EQ(probes.size(), 123u);
        EXPECT_EQ(probes[0], "sdo 00 0000/0 00 t100");
        EXPECT_GE(now() - start, 123 * 25);
        modGlobal::g_qtmMode = false;
    }
}

TEST_F(ModeChangeTest, TheBootloaderWaitEndsWhenTheModuleShowsUp) {
    set(4, app);
    delay(4, 1500);  // after the first attempt's 41 rounds
    EXPECT_TRUE(startBootloader(4, false, false, false));
    EXPECT_EQ(program(), QStringList({"sdo 24 1F51/3 01 t0", "sdo 24 1F51/3 01 t0"}));
    EXPECT_LT(searches[4], 82);

    // No wait: one round only, and what it found.
    set(6, app);
    delay(6, 0);
    EXPECT_TRUE(startBootloader(6, false, true, false));
    EXPECT_EQ(searches[6], 1);
    set(7, app);
    delay(7, never);
    EXPECT_FALSE(startBootloader(7, false, true, false));
    EXPECT_EQ(searches[7], 1);
}

TEST_F(ModeChangeTest, ABootloaderVersionChangeResetsTheTransferModeOnceTheModuleIsFound) {
    main.versionChange[3] = main.versionChange[4] = true;
    set(3, app);
    delay(3, 0);
    set(4, app);
    delay(4, never);
    EXPECT_TRUE(startBootloader(3, false, false, false));
    EXPECT_FALSE(startBootloader(4, false, false, false));
    EXPECT_TRUE(program().contains("reset 3"));
    EXPECT_FALSE(program().contains("reset 4"));
    EXPECT_FALSE(main.versionChange[3]);
    EXPECT_TRUE(main.versionChange[4]);
}

// ---- engine standstill ----

TEST_F(ModeChangeTest, StandstillNeedsNoWaitOnTheSBusOrWithTooFewCylinders) {
    EXPECT_TRUE(engineStandStill());
    mBus();
    set(0, app);
    set(1, app);
    set(2, app);  // 2 running, 3 required
    EXPECT_FALSE(g_enoughCylindersToRunEngine());
    EXPECT_TRUE(engineStandStill());
    EXPECT_EQ(now(), 0);
    EXPECT_TRUE(main.lines.isEmpty());
}

TEST_F(ModeChangeTest, StandstillAnswersFromTheSignalAndWaits20SecondsForIt) {
    mBus();
    for (int m : {0, 1, 2, 3}) set(m, app);
    ASSERT_TRUE(g_enoughCylindersToRunEngine());

    modAutoDownload::g_setEngineStandStill(mastertest::bytes({0}));
    EXPECT_FALSE(engineStandStill()) << "engine running";
    modAutoDownload::g_setEngineStandStill(mastertest::bytes({1}));
    EXPECT_TRUE(engineStandStill());
    EXPECT_TRUE(main.lines.isEmpty());
    EXPECT_TRUE(answers.shown().empty());

    // The signal arrives during the wait.
    modAutoDownload::g_initialise();
    for (int m : {0, 1, 2, 3}) set(m, app);
    KTimer signal;
    QObject::connect(&signal, &KTimer::timeout, [&] {
        modAutoDownload::g_setEngineStandStill(mastertest::bytes({1}));
        signal.stop();
    });
    signal.start(5000);
    qint64 start = now();
    EXPECT_TRUE(engineStandStill());
    EXPECT_GE(now() - start, 5000);
    EXPECT_LT(now() - start, 5100);
    EXPECT_EQ(main.lines, QStringList({"Waiting for Engine StandStill signal."}));

    // It never arrives.
    modAutoDownload::g_initialise();
    for (int m : {0, 1, 2, 3}) set(m, app);
    main.lines.clear();
    start = now();
    EXPECT_FALSE(engineStandStill());
    EXPECT_GE(now() - start, 667 * 30);
    EXPECT_LT(now() - start, 667 * 32);
    EXPECT_EQ(main.lines, QStringList({"Waiting for Engine StandStill signal."}));
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Engine standstill signal was not received.");
    EXPECT_EQ(answers.shown()[0].title, "ERROR");
}

// ---- start bootloader, the command ----

TEST_F(ModeChangeTest, NothingToStartEndsAtOnce) {
    set(2, boot);
    main.userSelection = select({2});
    for (const Selection& s : {select({}), select({2})}) {
        main.lines.clear();
        EXPECT_TRUE(g_startBootloader(s, true));
        EXPECT_EQ(main.lines, QStringList({"   Start bootloader", "      All selected modules are already in bootloader"}));
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(main.restored.empty());
    EXPECT_EQ(now(), 0);
}

TEST_F(ModeChangeTest, SBusCommandsAllBootloadersBeforeWaitingAndAsksOutsideUpdateMode) {
    addUserText(7, QStringLiteral("Make sure the engine is stopped."));
    modGlobal::g_updateMode = false;
    for (int m : {1, 2, 3}) {
        set(m, app);
        delay(m, 100);
    }
    set(4, boot);
    main.userSelection = select({1, 2, 3, 4});
    answers.pushForm([](QDialog* f) {
        auto* w = static_cast<frmMessage2*>(f);
        EXPECT_EQ(w->txtMessage->toPlainText(), "Make sure the engine is stopped.");
        EXPECT_EQ(w->windowTitle(), "Start Bootloader");
        EXPECT_EQ(w->cmdYes->text(), "Continue");
        EXPECT_EQ(w->cmdNo->text(), "Abort");
        w->cmdYes->click();
        return -1;
    });

    EXPECT_TRUE(g_startBootloader(select({1, 2, 3, 4}), false));

    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(program(), QStringList({"sdo 21 1F51/3 01 t0", "sdo 22 1F51/3 01 t0", "sdo 23 1F51/3 01 t0"}))
        << "one command each, none in the main pass";
    const auto t = timesOf(events, "sdo");
    EXPECT_LT(t[2], 100) << "the third command goes out before the first module is waited for";
    EXPECT_EQ(main.lines, QStringList({"   Start bootloader", "      PXM 1: ok", "      PXM 2: ok", "      PXM 3: ok"}));
    ASSERT_EQ(main.restored.size(), 1u);
    EXPECT_EQ(main.restored[0], select({1, 2, 3, 4}));
}

TEST_F(ModeChangeTest, DecliningTheStandstillQuestionStartsNothing) {
    modGlobal::g_updateMode = false;
    set(1, app);
    answers.pushForm([](QDialog* f) {
        static_cast<frmMessage2*>(f)->cmdNo->click();
        return -1;
    });
    EXPECT_FALSE(g_startBootloader(select({1}), false));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(main.lines, QStringList({"   Start bootloader", "   Bootloader cannot be started because engine is running."}));
    EXPECT_TRUE(main.restored.empty());
}

TEST_F(ModeChangeTest, MBusSwitchesTheCylindersThroughModuleZeroAndModuleZeroLast) {
    mBus();
    for (int m : {0, 1, 2, 5}) set(m, app);
    for (int m : {0, 2, 5}) delay(m, 200);
    modAutoDownload::g_setEngineStandStill(mastertest::bytes({1}));
    answers.push(Dialogs::vbYes);

    EXPECT_TRUE(g_startBootloader(select({0, 2, 5}), true));

    ASSERT_GE(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.startsWith("PXM-Loader is connected to M-Bus (auto-download mode). The connection to all"));
    EXPECT_TRUE(answers.shown()[0].text.endsWith("Do you still want to start bootloader on PXM#0?"));
    EXPECT_EQ(program(), QStringList({"cmd 24 00 01 00", "sdo 11 1F51/3 01 t0"}));
    EXPECT_EQ(main.lines, QStringList({"   Start bootloader", "      PXM 5: ok", "      PXM 2: ok", "      PXM 0: ok"}));
}

TEST_F(ModeChangeTest, MBusEndsBeforeAnyModuleIsAddressedWhenDeclinedOrRefused) {
    mBus();
    for (int m : {0, 1, 2}) set(m, app);
    answers.push(Dialogs::vbNo);
    EXPECT_FALSE(g_startBootloader(select({0, 2}), true));
    EXPECT_TRUE(events.empty());

    commandAccepted = false;
    answers.clear();
    EXPECT_FALSE(g_startBootloader(select({2}), true));
    EXPECT_EQ(program(), QStringList({"cmd 04 00 01 00"}));
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Error: could not start bootloader on autodownload modules.");
    EXPECT_TRUE(main.restored.empty());
}

TEST_F(ModeChangeTest, AFailedModuleStopsThePassWithTheFailureThatFitsItsState) {
    struct Case {
        Mode stateAfter;
        QString failure;
    } cases[] = {{app, "      failed!"}, {off, kNoHeartbeat}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure.toStdString());
        set(1, app);
        set(2, app);
        set(3, app);
        delay(1, 0);
        delay(2, never);
        delay(3, 0);
        main.failures.clear();
        main.lines.clear();
        main.restored.clear();
        searches.clear();
        // The module drops off the bus while it is waited for.
        onSearch = [&](int module, int count) {
            if (module == 2 && count == 100 && c.stateAfter == off) drop(2);
        };
        const qint64 start = now();
        EXPECT_FALSE(g_startBootloader(select({1, 2, 3}), false));
        ASSERT_EQ(main.failures.size(), 1u);
        EXPECT_EQ(main.failures[0].first, c.failure);
        EXPECT_EQ(main.failures[0].second, 2);
        EXPECT_EQ(main.lines.last(), c.failure.left(6) + QStringLiteral("PXM 2: ") + c.failure.mid(6)) << "module 3 is not handled";
        EXPECT_EQ(main.restored.size(), 1u);
        EXPECT_GE(now() - start, 123 * 25 + 200);
        onSearch = nullptr;
    }
}

TEST_F(ModeChangeTest, DebugModeLogsTheModulesThePassSkips) {
    modGlobal::g_debugMode = true;
    set(1, app);
    set(2, boot);
    delay(1, 0);
    EXPECT_TRUE(g_startBootloader(select({1, 2}), false));
    EXPECT_TRUE(main.lines.contains("      DEBUG: not starting Bootloader on PXM#02"));
    EXPECT_TRUE(main.lines.contains("      DEBUG: selected: -1 alreadyRunning: True"));
    EXPECT_TRUE(main.lines.contains("      DEBUG: not starting Bootloader on PXM#00"));
    EXPECT_TRUE(main.lines.contains("      DEBUG: selected: 0 alreadyRunning: False"));
    EXPECT_FALSE(main.lines.contains("      DEBUG: not starting Bootloader on PXM#01"));
}

TEST(ModeChangeSelection, SingleTargetSelectsOnlyThatModule) {
    EXPECT_EQ(g_singeTargetSelection(4), select({4}));
    EXPECT_EQ(g_singeTargetSelection(0), select({0}));
}

// The received-message drain, the raw symbol messages, the timers and the PC heartbeat,
// against the simulator: nodes send heartbeats and symbol values, the master dispatches.
#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modheartbeatcontrol.h"
#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "masterfixture.h"
#include "services/modglobal.h"

#include <QPlainTextEdit>
#include <QThread>

using namespace mastertest;
using modHeartBeatControl::g_getModuleStatusHB;
using moduleProtocol::ModuleState;

namespace {
class MasterDrain : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        bus(0);
    }
    // The service-bit and symbol-write frames the master sent.
    std::vector<QByteArray> sent(quint32 id) {
        std::vector<QByteArray> out;
        for (const auto& f : log(0).withId(id)) out.push_back(f.data);
        return out;
    }
};
}  // namespace

TEST_F(MasterDrain, BootUpStartsAllNodesAndIsLogged) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    // The simulator logs a frame only after its nodes have acted on it.
    sim::Node* other = addNode(0, 0x22);
    ASSERT_TRUE(waitFor([&] { return other->state() == sim::Node::Operational && !sent(0x000).empty(); }));
    log(0).clear();
    master().txtStatusQueue->clear();
    sim::Node* booting = addNode(0, 0x2B);
    ASSERT_TRUE(waitFor([&] { return booting->state() == sim::Node::Operational && !sent(0x000).empty(); }));
    const auto nmt = sent(0x000);
    ASSERT_EQ(nmt.size(), 1u);
    EXPECT_EQ(nmt[0], bytes({0x01, 0x00})) << "all nodes, not only the one that booted";
    const QString queue = master().txtStatusQueue->toPlainText();
    EXPECT_EQ(queue, "Network-Event: Bootup message received   Node-No: 2B\n");
    EXPECT_EQ(master().txtStatusQueue->textCursor().position(), queue.size() - 1);
    settle(300);
    EXPECT_EQ(sent(0x000).size(), 1u) << "heartbeats of running nodes start nothing";
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterDrain, SymbolValuesGoToTheMainWindowBySymbolNumberWithTheWholeKey) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    modGlobal::g_symSwInfoEngineType = symEngineType;
    const QByteArray v = bytes({1, 2, 3, 4});
    const struct {
        qint32 key;
        const char* setter;  // nullptr: nobody
    } cases[] = {
        {symCrcFirstAppl, "FirstApplicationCrc"},
        {symBuild, "Build"},
        {0x3000 + symBuild, "Build"},
        {0xF000 + symDeveloper, "Developer"},
        {symTotNoOfCyl, "NoOfCyl"},
        {symHullNo, "HullNumber"},
        {symHullNo + 3, "HullNumber"},
        {symHullNo + 4, nullptr},
        {symEngineType, "EngineType"},
        {symEngineType + 7, "EngineType"},
        {symEngineType + 8, nullptr},
        {symAutoDownload, "AutoDownload"},
        {symCrcValueImo, "CrcValueImo"},
        {symCrcLenImo, "CrcLenImo"},
        {symCrcValueAppl, "CrcValueApplication"},
        {symCrcLenAppl, "CrcLenApplication"},
        {0x0FFF, nullptr},
    };
    std::vector<std::pair<quint32, QByteArray>> frames;
    std::vector<SetterCall> expected;
    for (const auto& c : cases) {
        frames.push_back({0x411, symbolFrame(c.key, v)});
        if (c.setter) expected.push_back({c.setter, v, c.key});
    }
    frames.push_back({0x412, symbolFrame(symBuild, v)});  // another COB-ID: skipped
    deliver(frames);
    ASSERT_EQ(setters.calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(setters.calls[i].setter, expected[i].setter) << i;
        EXPECT_EQ(setters.calls[i].key, expected[i].key) << expected[i].setter.toStdString();
        EXPECT_EQ(setters.calls[i].value, v) << expected[i].setter.toStdString();
    }
}

TEST_F(MasterDrain, TheEngineTypeRangeWaitsForItsBase) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    // Until the update run names the base, symbols 0 to 7 are taken by the range and go nowhere.
    config({{"PAR_AUTO_DOWNLD_ACTIVATE", "5"}});
    deliver({{0x411, symbolFrame(5, bytes({1, 0, 0, 0}))}});
    EXPECT_TRUE(setters.calls.empty());
    modGlobal::g_symSwInfoEngineType = symEngineType;
    deliver({{0x411, symbolFrame(5, bytes({1, 0, 0, 0}))}});
    ASSERT_EQ(setters.calls.size(), 1u);
    EXPECT_EQ(setters.calls[0].setter, "AutoDownload");
}

TEST_F(MasterDrain, AutoDownloadSymbolsReachTheAutoDownloadState) {
    ASSERT_TRUE(initialise("M-Bus"));
    deliver({
        {0x411, symbolFrame(symModuleStateRO, bytes({0x06, 0x00, 0x01, 0x00}))},
        {0x411, symbolFrame(symUpdateStateRO, bytes({0x23, 0x32, 0x02, 0x00}))},
        {0x411, symbolFrame(symUpdateFailureRO, bytes({0x00, 0x00, 0x08, 0x00}))},
        {0x411, symbolFrame(symModuleStateRW, bytes({0x00, 0x00, 0x01, 0x00}))},
        {0x411, symbolFrame(moduleProtocol::symbolKey(symEngStandstill, 1), bytes({0x01, 0, 0, 0}))},
    });
    EXPECT_TRUE(setters.calls.empty());
    EXPECT_EQ(modAutoDownload::g_getModuleStatusADL(0), ModuleState::bootloader);
    EXPECT_EQ(modAutoDownload::g_getModuleStatusADL(1), ModuleState::application);
    EXPECT_EQ(modAutoDownload::g_getModuleStatusADL(2), ModuleState::application);
    EXPECT_EQ(modAutoDownload::g_getModuleStatusADL(3), ModuleState::none);
    qint16 current = 0, field = 0, attempt = 0;
    double progress = 0;
    EXPECT_TRUE(modAutoDownload::g_getAutoDownloadStatus(current, field, progress, attempt)) << "command pending";
    EXPECT_EQ(current, 3);
    EXPECT_DOUBLE_EQ(progress, 0.5);
    EXPECT_TRUE(modAutoDownload::g_getAutoDownloadFailure(3));
    EXPECT_EQ(modAutoDownload::g_getEngineStandStillStatus(), 1);
    // Modules newly in their application get their standstill publication switched on.
    ASSERT_TRUE(waitFor([&] { return sent(0x382).size() >= 2; }));
    EXPECT_EQ(sent(0x382)[0], bytes({symEngStandstill, 0x10, 0, 0x85, 1, 0, 0, 0}));
    EXPECT_EQ(sent(0x382)[1], bytes({symEngStandstill, 0x20, 0, 0x85, 1, 0, 0, 0}));
}

TEST_F(MasterDrain, FramesShorterThanWhatIsReadAreIgnored) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    deliver({
        {0x411, symbolFrame(symBuild, bytes({1, 2, 3, 4})).left(7)},
        {0x411, QByteArray()},
        {0x725, QByteArray()},
    });
    EXPECT_TRUE(setters.calls.empty());
    clock->advance(200);
    EXPECT_EQ(g_getModuleStatusHB(5), ModuleState::none);
    deliver({{0x411, symbolFrame(symBuild, bytes({1, 2, 3, 4}))}, {0x725, bytes({0x05})}});
    ASSERT_EQ(setters.calls.size(), 1u);
    clock->advance(200);
    EXPECT_EQ(g_getModuleStatusHB(5), ModuleState::application);
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MasterDrain, APersistentReceiveFaultGivesOneBoxNotAStackOfThem) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    // A babbling node overruns the receive queue while the test thread sleeps.
    auto flood = [&] {
        for (int i = 0; i < 4200; ++i) bus(0).send(sim::Frame{0x123, bytes({i & 0xFF})});
        QThread::msleep(250);
    };
    int boxes = 0;
    struct FloodWhileOpen : Dialogs::Answerer {
        int& boxes;
        std::function<void()> whileFirstOpen;
        FloodWhileOpen(int& b, std::function<void()> f) : boxes(b), whileFirstOpen(std::move(f)) {}
        Dialogs::Answer answer(const Dialogs::Request&) override {
            if (++boxes == 1) whileFirstOpen();
            Dialogs::Answer a;
            a.button = Dialogs::vbOK;
            return a;
        }
    } answerer(boxes, [&] {
        // While the box is open, the ticks and signal events drain again.
        flood();
        master().g_forceHeartBeatCheck();
    });
    Dialogs::answererLink::install(&answerer);
    // Under load the flood may take longer to arrive than one sleep: flood until it overruns.
    for (int i = 0; i < 8 && boxes == 0; ++i) {
        flood();
        master().g_forceHeartBeatCheck();
    }
    ASSERT_EQ(boxes, 1);
    flood();
    master().g_forceHeartBeatCheck();
    EXPECT_EQ(boxes, 1) << "the fault goes on: no second box";
    // Once the queue has been read empty, a new fault is shown again.
    clock->advance(1000);
    EXPECT_EQ(boxes, 1);
    for (int i = 0; i < 8 && boxes == 1; ++i) {
        flood();
        master().g_forceHeartBeatCheck();
    }
    EXPECT_EQ(boxes, 2);
    Dialogs::answererLink::install(&answers);
}

TEST_F(MasterDrain, TheFaultBoxNamesTheReadAndTheNode) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    for (int i = 0; i < 8 && answers.shown().empty(); ++i) {
        for (int k = 0; k < 4200; ++k) bus(0).send(sim::Frame{0x123, bytes({1})});
        QThread::msleep(250);
        master().g_forceHeartBeatCheck();
    }
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Read PDO 0: VCI Que Overrun\r\nNode: 0");
    EXPECT_EQ(answers.shown()[0].title, "CANopen ERROR");
}

TEST_F(MasterDrain, SymbolWriteServiceBitAndUserLevelFrames) {
    ASSERT_TRUE(initialise("M-Bus"));
    EXPECT_TRUE(master().g_setServiceBit(moduleProtocol::symbolKey(100, 1), 1));
    EXPECT_TRUE(master().g_setServiceBit(100, 0));
    EXPECT_TRUE(master().g_writeSymbol(100, 2, bytes({1, 2, 3, 4})));
    EXPECT_TRUE(master().g_writeSymbol(0xF00, 15, bytes({9, 8, 7, 6})));
    EXPECT_TRUE(master().g_setUserLevel(11));
    // Keys outside 16 bits are refused, nothing is sent.
    EXPECT_FALSE(master().g_setServiceBit(0x10000, 1));
    EXPECT_FALSE(master().g_setServiceBit(-1, 1));
    EXPECT_FALSE(master().g_writeSymbol(0x100, 16, bytes({1, 2, 3, 4})));
    EXPECT_FALSE(master().g_writeSymbol(-5, 0, bytes({1, 2, 3, 4})));
    ASSERT_TRUE(waitFor([&] { return sent(0x482).size() == 1; }));
    settle(50);
    const std::vector<QByteArray> expected = {
        bytes({0x64, 0x10, 0, 0x85, 1, 0, 0, 0}),
        bytes({0x64, 0x00, 0, 0x85, 0, 0, 0, 0}),
        bytes({0x64, 0x20, 0, 0x80, 1, 2, 3, 4}),
        bytes({0x00, 0xFF, 0, 0x80, 9, 8, 7, 6}),
    };
    EXPECT_EQ(sent(0x382), expected);
    EXPECT_EQ(sent(0x482)[0], bytes({0x8B, 0, 0, 0, 0, 0, 0, 0}));

    master().g_releaseCanOpen(true);
    EXPECT_FALSE(master().g_setServiceBit(100, 1)) << "only while initialised";
    EXPECT_FALSE(master().g_setUserLevel(11));
    EXPECT_FALSE(master().g_writeSymbol(100, 0, bytes({1, 2, 3, 4})));
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(MasterDrain, ThePcHeartbeatGoesOnTheMBusOnly) {
    ASSERT_TRUE(initialise("M-Bus"));
    clock->advance(500);
    ASSERT_TRUE(waitFor([&] { return !sent(0x709).empty(); }));
    EXPECT_EQ(sent(0x709)[0], bytes({5}));
    clock->advance(1000);
    ASSERT_TRUE(waitFor([&] { return sent(0x709).size() == 3; }));

    master().g_releaseCanOpen(true);
    ASSERT_TRUE(initialise("S-Bus", 0));
    log(0).clear();
    clock->advance(1500);
    settle(200);
    EXPECT_TRUE(sent(0x709).empty());
}

TEST_F(MasterDrain, TheTickAgesHeartbeatsAndRefreshesTheDisplay) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    addNode(0, 0x24);
    ASSERT_TRUE(tickUntil([] { return g_getModuleStatusHB(4) == ModuleState::application; }));
    EXPECT_GT(display.refreshes, 0);
    bus(0).removeNode(0x24);
    // Its last heartbeat, behind any it sent before it went; all of them drained before the
    // clock moves on.
    deliver({{0x724, bytes({0x05})}});
    clock->advance(15 * 200);
    EXPECT_EQ(g_getModuleStatusHB(4), ModuleState::application);
    clock->advance(200);
    EXPECT_EQ(g_getModuleStatusHB(4), ModuleState::none);
}

TEST_F(MasterDrain, TheTickCountsTheEngineStandstillDown) {
    ASSERT_TRUE(initialise("M-Bus"));
    deliver({{0x411, symbolFrame(symEngStandstill, bytes({0, 0, 0, 0}))}});
    EXPECT_EQ(modAutoDownload::g_getEngineStandStillStatus(), 2);
    clock->advance(19000);
    EXPECT_EQ(modAutoDownload::g_getEngineStandStillStatus(), 2);
    clock->advance(2000);
    EXPECT_EQ(modAutoDownload::g_getEngineStandStillStatus(), 0);
}

TEST_F(MasterDrain, ValuesPublishedDuringAWriteAreServedWhenTheWriteReturns) {
    ASSERT_TRUE(initialise("S-Bus", 0));
    sim::Node* node = addNode(0, 0x22);
    node->od().addDomain(0x2000, 1, QByteArray(), sim::Access::ReadWrite, 4096);
    ASSERT_TRUE(waitFor([&] { return node->state() == sim::Node::Operational; }));
    settle(200);
    setters.calls.clear();
    bus(0).send(sim::Frame{0x411, symbolFrame(symBuild, bytes({7, 0, 0, 0}))});
    // The value reaches the receive queue while no event loop runs.
    QThread::msleep(300);
    ASSERT_TRUE(master().g_writeSDO(0x22, 0x2000, 1, 16, QByteArray(16, 'x')));
    ASSERT_EQ(setters.calls.size(), 1u);
    EXPECT_EQ(setters.calls[0].setter, "Build");
}

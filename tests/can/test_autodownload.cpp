// The auto-download state of module 0: the symbol handlers, the command register, the
// login and log-off, the engine-standstill countdown and the module-id check; first
// against a recording stand-in of the CAN master, then end to end against the simulator.
#include "can/frmcanopen.h"
#include "can/links.h"
#include "can/modautodownload.h"
#include "dao/dao.h"
#include "desktop/timeservice.h"
#include "lib/pxmmodules.h"
#include "canfakes.h"
#include "fakecanmaster.h"
#include "masterfixture.h"
#include "services/modglobal.h"

using namespace mastertest;
namespace ad = modAutoDownload;

using moduleProtocol::moduleCount;
using moduleProtocol::ModuleState;
using moduleProtocol::symbolKey;

namespace {
QString hex(const QByteArray& b) { return QString::fromLatin1(b.toHex(' ')); }
QByteArray value(int b0, int b1, int b2, int b3) { return bytes({b0, b1, b2, b3}); }
// The states of all modules: the first ones given, the rest none.
moduleProtocol::ModuleStates states(std::initializer_list<ModuleState> first) {
    moduleProtocol::ModuleStates s{};
    std::copy(first.begin(), first.end(), s.begin());
    return s;
}
}  // namespace

class AutoDownload : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        m_fake.fallback = &frmCANopen::instance();
        m_fake.onSetUserLevel = [this](quint8 level) {
            calls << QStringLiteral("level %1").arg(level);
            return levelOk;
        };
        m_fake.onSetServiceBit = [this](qint32 key, quint8 state) {
            calls << QStringLiteral("bit %1 %2").arg(key).arg(state);
            return !failingKeys.contains(key);
        };
        m_fake.onWriteSymbol = [this](qint32 symbol, qint16 cyl, const QByteArray& v) {
            calls << QStringLiteral("write %1 %2 %3").arg(symbol).arg(cyl).arg(hex(v));
            return writeOk;
        };
        m_fake.onReadSDO = [this](quint8 node, qint32 index, quint8 sub, QByteArray& data) {
            calls << QStringLiteral("read %1 %2 %3").arg(node, 0, 16).arg(index, 0, 16).arg(sub);
            data = deviceName;
            return !deviceName.isNull();
        };
        canMasterLink::install(&m_fake);
        ad::g_initialise();
        autoDownloadMainWindowLink::install(&mainWindow);
    }
    void TearDown() override {
        canMasterLink::install(nullptr);
        autoDownloadMainWindowLink::install(nullptr);
        MasterTest::TearDown();
    }
    bool pending() {
        qint16 module = 0, field = 0, attempt = 0;
        double progress = 0;
        return ad::g_getAutoDownloadStatus(module, field, progress, attempt);
    }
    QStringList calls;
    bool levelOk = true, writeOk = true;
    QList<qint32> failingKeys;
    QByteArray deviceName;
    cantest::FakeAutoDownloadMainWindow mainWindow;
    int& spareReplacedBy = mainWindow.spareReplacedBy;
    int& logOffs = mainWindow.logOffs;

private:
    testsupport::FakeCanMaster m_fake;
};

TEST_F(AutoDownload, ModuleStatesFromTheTwoMasks) {
    ad::g_setModuleStatus(value(0x06, 0x00, 0x01, 0x00));
    EXPECT_EQ(ad::g_getAutoDwnlConnStatus(),
              states({ModuleState::bootloader, ModuleState::application, ModuleState::application}));
    // Cylinders that newly run their application are asked for their standstill signal.
    EXPECT_EQ(calls, QStringList({QStringLiteral("bit %1 1").arg(symbolKey(104, 1)),
                                  QStringLiteral("bit %1 1").arg(symbolKey(104, 2))}));
    calls.clear();
    ad::g_setModuleStatus(value(0x0E, 0x00, 0x06, 0x00));  // 1 and 2 in both masks: application
    EXPECT_EQ(ad::g_getAutoDwnlConnStatus(),
              states({ModuleState::none, ModuleState::application, ModuleState::application, ModuleState::application}));
    EXPECT_EQ(calls, QStringList{QStringLiteral("bit %1 1").arg(symbolKey(104, 3))});
    ad::g_setModuleStatus(value(0x00, 0x80, 0x00, 0x80));  // bit 15 belongs to no module
    EXPECT_EQ(ad::g_getAutoDwnlConnStatus(), states({}));
    EXPECT_EQ(ad::g_getModuleStatusADL(moduleCount), ModuleState::none);
    EXPECT_EQ(ad::g_getModuleStatusADL(-1), ModuleState::none);
    EXPECT_TRUE(ad::readSingleModule(value(0x00, 0x40, 0, 0), 14));
    EXPECT_FALSE(ad::readSingleModule(value(0x00, 0x40, 0, 0), 13));
}

TEST_F(AutoDownload, NewlyRunningCylinderRestartsTheStandstillSignal) {
    ad::g_setEngineStandStill(value(1, 0, 0, 0));
    failingKeys = {symbolKey(104, 1)};
    ad::g_setModuleStatus(value(0x02, 0x00, 0x00, 0x00));
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 1);  // the service bit failed: nothing restarted
    ad::g_setModuleStatus(value(0x04, 0x00, 0x00, 0x00));
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 0);
}

TEST_F(AutoDownload, CommandRegisterBytes) {
    struct Case {
        qint16 command;
        qint32 value;
        qint16 section;
        const char* written;
    };
    const Case cases[] = {
        {1, 0x0028, 0, "28 00 02 00"}, {2, 0x0008, 6, "08 00 40 00"}, {5, 0, 0, "00 00 00 30"},
        {0, 0x7FFE, 0, "fe 7f 01 00"}, {2, 0x0002, 3, "02 00 10 00"}, {2, 0x0002, 4, "02 00 20 00"},
        {2, 0x4000, 7, "00 40 80 00"}, {3, 0, 0, "00 00 00 01"},      {4, 0x0010, 0, "10 00 04 00"},
    };
    for (const Case& c : cases) {
        ad::g_resetConnectionStatus();
        calls.clear();
        EXPECT_TRUE(ad::g_sendCommand(c.command, c.value, c.section)) << c.written;
        EXPECT_EQ(calls, QStringList{QStringLiteral("write 101 0 ") + QLatin1String(c.written)});
        EXPECT_TRUE(pending());
    }
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(AutoDownload, PendingCommandRefusesAllButAbort) {
    ASSERT_TRUE(ad::g_sendCommand(1, 0x0002, 0));
    calls.clear();
    EXPECT_FALSE(ad::g_sendCommand(0, 0x0002, 0));
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(ad::g_sendCommand(3, 0, 0));
    EXPECT_EQ(calls.size(), 1);
    // Module 0 publishes the register back; a zero command word frees it.
    ad::g_setCommandStatus(value(0x02, 0x00, 0x02, 0x00));
    EXPECT_TRUE(pending());
    ad::g_setCommandStatus(value(0x02, 0x00, 0x00, 0x00));
    EXPECT_FALSE(pending());
    ad::g_setCommandStatus(value(0x00, 0x00, 0x00, 0x80));  // top bit: still a command word
    EXPECT_TRUE(pending());
    EXPECT_EQ(ad::g_getAutoDwnlConnStatus(), states({}));
}

TEST_F(AutoDownload, UnknownCommandOrSectionIsRefusedWithoutWriting) {
    struct Case {
        qint16 command, section;
        const char* box;
    };
    for (const Case& c : {Case{2, 5, "Invalid section passed to modAutoDwonlaod.g_sendCommand"},
                          Case{2, 8, "Invalid section passed to modAutoDwonlaod.g_sendCommand"},
                          Case{6, 0, "Invalid Command passed to g_sendCommand"},
                          Case{-1, 0, "Invalid Command passed to g_sendCommand"}}) {
        answers.clear();
        EXPECT_FALSE(ad::g_sendCommand(c.command, 0x0002, c.section));
        EXPECT_EQ(answers.texts(), QStringList{QLatin1String(c.box)});
        EXPECT_FALSE(pending());
    }
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(AutoDownload, FailedWriteLeavesTheRegisterFree) {
    writeOk = false;
    EXPECT_FALSE(ad::g_sendCommand(1, 0x0002, 0));
    EXPECT_FALSE(pending());
    writeOk = true;
    EXPECT_TRUE(ad::g_sendCommand(1, 0x0002, 0));
    EXPECT_EQ(calls.size(), 2);
}

TEST_F(AutoDownload, UpdateStateFields) {
    struct Case {
        QByteArray bytes;
        qint16 module, field;
        double progress;
        qint16 attempt;
    };
    for (const Case& c : {Case{value(0x23, 0x32, 0x02, 0x00), 3, 2, 0.5, 2}, Case{value(0xFF, 0xFF, 0xFF, 0xFF), 15, 7, 1.27, 31},
                          Case{value(0x0E, 0x64, 0x01, 0x00), 14, 0, 1.0, 1}}) {
        ad::g_setUpdateStatus(c.bytes);
        qint16 module = -1, field = -1, attempt = -1;
        double progress = -1;
        ad::g_getAutoDownloadStatus(module, field, progress, attempt);
        EXPECT_EQ(module, c.module);
        EXPECT_EQ(field, c.field);
        EXPECT_DOUBLE_EQ(progress, c.progress);
        EXPECT_EQ(attempt, c.attempt);
    }
}

TEST_F(AutoDownload, FailureFromEitherMask) {
    ad::g_setUpdateFailure(value(0x01, 0x80, 0x04, 0x40));
    for (qint16 m = 0; m < moduleCount; ++m)
        EXPECT_EQ(ad::g_getAutoDownloadFailure(m), m == 0 || m == 2 || m == 14) << m;
    EXPECT_FALSE(ad::g_getAutoDownloadFailure(moduleCount));
    ad::g_setUpdateFailure(value(0, 0, 0, 0));
    EXPECT_FALSE(ad::g_getAutoDownloadFailure(2));
}

TEST_F(AutoDownload, StandstillExpiresAfterTwentySecondsOfTicks) {
    ad::g_setEngineStandStill(value(0, 0, 0, 0));
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 2);
    ad::g_setEngineStandStill(value(3, 0, 0, 0));
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 1);
    for (int tick = 0; tick < 100; ++tick) ad::g_checkEngineStandStillTimeout(200);
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 1);
    ad::g_checkEngineStandStillTimeout(200);
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 0);
}

TEST_F(AutoDownload, LoginAnnouncesTheLevelThenSwitchesTheFourSymbolsOn) {
    const qint64 start = TimeService::elapsedMs();
    ad::g_login();
    EXPECT_EQ(calls, QStringList({"level 11", "bit 100 1", "bit 101 1", "bit 102 1", "bit 103 1"}));
    EXPECT_GE(TimeService::elapsedMs() - start, 500);
    EXPECT_TRUE(answers.shown().empty());

    calls.clear();
    failingKeys = {101};
    ad::g_login();
    EXPECT_EQ(calls, QStringList({"level 11", "bit 100 1", "bit 101 1"}));
    EXPECT_EQ(answers.texts(), QStringList{"Initialization AutoDownload: Activation of KELB-Variable 101 failed."});

    calls.clear();
    answers.clear();
    levelOk = false;
    ad::g_login();
    EXPECT_EQ(calls, QStringList{"level 11"});
    EXPECT_EQ(answers.texts(), QStringList{"Initialization AutoDownload: Login failed."});
}

TEST_F(AutoDownload, LogoffSwitchesTheSymbolsAndTheCylindersStandstillOff) {
    ad::g_login();
    ad::g_setModuleStatus(value(0x09, 0x00, 0x20, 0x00));  // 0 and 3 running, 5 in the bootloader
    calls.clear();
    failingKeys = {102};
    ad::g_logoff();
    EXPECT_EQ(calls, QStringList({"bit 100 0", "bit 101 0", "bit 102 0", QStringLiteral("bit %1 0").arg(symbolKey(104, 3)),
                                  QStringLiteral("bit %1 0").arg(symbolKey(104, 5))}));
    EXPECT_EQ(answers.texts(), QStringList{"Logoff AutoDownload: Deactivation of KELB-Variable 102 failed."});
}

TEST_F(AutoDownload, ModuleIdInTheDeviceNameOfModuleZero) {
    addUserText(8, QStringLiteral("PXM #{*} is connected in place of the spare module."));
    modGlobal::g_cobIdBootloader = 0x7F;
    modGlobal::g_cobIdApplication = 0x11;
    struct Case {
        QByteArray name;
        bool updateMode, inBootloader;
        int box, replacedBy, logOffs;
    };
    const Case cases[] = {
        {QByteArray("KELB-3817 PXM #03", 17), false, false, 1, 0, 1},
        {QByteArray("PXM#12\0\0", 8), true, true, 0, 12, 0},
        {QByteArray("KELB-3817 PXM #00"), false, false, 0, 0, 0},
        {QByteArray("KELB-3817 PXM #0"), false, true, 0, 0, 0},
        {QByteArray("KELB-3817 PXM"), false, false, 0, 0, 0},
        {QByteArray("PXM #x3"), false, false, 0, 0, 0},
        {QByteArray(), false, false, 0, 0, 0},  // no answer
    };
    for (const Case& c : cases) {
        modGlobal::g_updateMode = c.updateMode;
        deviceName = c.name;
        calls.clear();
        answers.clear();
        spareReplacedBy = logOffs = 0;
        ad::g_checkMBusModuleID(c.inBootloader);
        EXPECT_EQ(calls, QStringList{c.inBootloader ? "read 7f 1008 0" : "read 11 1008 0"});
        EXPECT_EQ(int(answers.shown().size()), c.box) << c.name.constData();
        if (c.box) {
            EXPECT_EQ(answers.texts(), QStringList{"PXM #3 is connected in place of the spare module."});
        }
        EXPECT_EQ(spareReplacedBy, c.replacedBy);
        EXPECT_EQ(logOffs, c.logOffs);
    }
}

// ---- End to end: the CAN master against module 0 of the simulated M-Bus ----

class AutoDownloadBus : public MasterTest {
protected:
    void start(sim::ProfileOptions o) {
        o.profile = sim::Profile::MBus;
        o.heartbeatMs = 100;
        o.publishMs = 50;
        o.switchMs = 50;
        o.symbols = stateSymbols();
        modules = std::make_unique<sim::PxmModules>(bus(0), o);
        ASSERT_TRUE(initialise(QStringLiteral("M-Bus")));
        ASSERT_TRUE(modGlobal::g_isMBusConnection);
        ad::g_initialise();
        ad::g_login();
    }
    void TearDown() override {
        modules.reset();
        MasterTest::TearDown();
    }
    bool pending() {
        qint16 module = 0, field = 0, attempt = 0;
        double progress = 0;
        return ad::g_getAutoDownloadStatus(module, field, progress, attempt);
    }
    // Sends a command and waits until module 0 has carried it out.
    bool run(qint16 command, qint32 mask, qint16 section, int timeoutMs = 5000) {
        if (!ad::g_sendCommand(command, mask, section)) return false;
        EXPECT_TRUE(pending());
        return waitFor([&] { return !pending(); }, timeoutMs);
    }
    std::unique_ptr<sim::PxmModules> modules;
};

TEST_F(AutoDownloadBus, CylinderStatesArriveThroughModuleZero) {
    sim::ProfileOptions o;
    o.cylinders = 3;
    start(o);
    EXPECT_TRUE(waitFor([this] { return modules->userLevel(0) == 11; }));
    ASSERT_TRUE(waitFor([] { return ad::g_getModuleStatusADL(3) == ModuleState::application; }));
    EXPECT_EQ(ad::g_getAutoDwnlConnStatus(), states({ModuleState::application, ModuleState::application,
                                                     ModuleState::application, ModuleState::application}));
    // Each newly running cylinder was asked for its standstill signal.
    EXPECT_TRUE(waitFor([] { return ad::g_getEngineStandStillStatus() == 1; }));
    for (int m = 1; m <= 3; ++m) EXPECT_TRUE(modules->published(m, symEngStandstill)) << m;
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(AutoDownloadBus, CommandsSwitchAndLoadTheCylinders) {
    sim::ProfileOptions o;
    o.cylinders = 3;
    o.sectionMs = 300;
    o.retryMask = 0x0004;  // module 2 needs a second attempt
    o.failMask = 0x0008;   // module 3 never takes the section
    start(o);
    ASSERT_TRUE(waitFor([] { return ad::g_getModuleStatusADL(3) == ModuleState::application; }));
    ASSERT_TRUE(run(0, 0x000E, 0));
    EXPECT_TRUE(waitFor([] {
        return ad::g_getModuleStatusADL(1) == ModuleState::bootloader &&
               ad::g_getModuleStatusADL(3) == ModuleState::bootloader;
    }));
    EXPECT_EQ(modules->mode(2), sim::PxmModule::Mode::Bootloader);

    ASSERT_TRUE(ad::g_sendCommand(2, 0x000E, 6));
    EXPECT_FALSE(ad::g_sendCommand(2, 0x000E, 7));  // the register is busy
    qint16 highestAttemptOf2 = 0;
    double progressSeen = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            qint16 module = 0, field = 0, attempt = 0;
            double progress = 0;
            const bool busy = ad::g_getAutoDownloadStatus(module, field, progress, attempt);
            if (module == 2) highestAttemptOf2 = std::max(highestAttemptOf2, attempt);
            progressSeen = std::max(progressSeen, progress);
            return !busy;
        },
        8000));
    EXPECT_EQ(highestAttemptOf2, 2);
    EXPECT_GT(progressSeen, 0.5);
    EXPECT_EQ(modules->loadedSections(1), QList<int>{6});
    EXPECT_EQ(modules->loadedSections(2), QList<int>{6});
    EXPECT_TRUE(waitFor([] { return ad::g_getAutoDownloadFailure(3); }));
    EXPECT_FALSE(ad::g_getAutoDownloadFailure(1));
    EXPECT_FALSE(ad::g_getAutoDownloadFailure(2));

    ASSERT_TRUE(run(5, 0, 0));
    EXPECT_TRUE(waitFor([] { return !ad::g_getAutoDownloadFailure(3); }));
    ASSERT_TRUE(run(1, 0x000E, 0));
    EXPECT_TRUE(waitFor([] {
        return ad::g_getModuleStatusADL(1) == ModuleState::application &&
               ad::g_getModuleStatusADL(3) == ModuleState::application;
    }));
}

TEST_F(AutoDownloadBus, UnknownSectionNeverReachesModuleZero) {
    sim::ProfileOptions o;
    o.cylinders = 1;
    start(o);
    ASSERT_TRUE(waitFor([] { return ad::g_getModuleStatusADL(1) == ModuleState::application; }));
    modules->setMode(1, sim::PxmModule::Mode::Bootloader);
    log(0).clear();
    EXPECT_FALSE(ad::g_sendCommand(2, 0x0002, 5));
    settle(200);
    for (const sim::Frame& f : log(0).withId(0x382)) EXPECT_NE(quint8(f.data[3]), 0x80) << "a symbol write was sent";
    EXPECT_FALSE(modules->autoDownloadBusy());
    EXPECT_TRUE(modules->loadedSections(1).isEmpty());
}

TEST_F(AutoDownloadBus, StandstillSignalExpiresOnTheVirtualClock) {
    sim::ProfileOptions o;
    o.cylinders = 2;
    o.engine = sim::Engine::Running;
    start(o);
    ASSERT_TRUE(waitFor([] { return ad::g_getEngineStandStillStatus() == 2; }));
    ad::g_logoff();  // the cylinders stop publishing
    ASSERT_TRUE(waitFor([this] {
        return !modules->published(1, symEngStandstill) && !modules->published(2, symEngStandstill);
    }));
    deliver({});  // whatever they published before is drained before the clock moves on
    ASSERT_EQ(ad::g_getEngineStandStillStatus(), 2);
    clock->advance(19000);
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 2);
    clock->advance(1500);
    EXPECT_EQ(ad::g_getEngineStandStillStatus(), 0);
}

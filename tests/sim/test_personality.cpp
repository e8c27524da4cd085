// The simulated modules: node ids and objects per bus profile, the symbol protocol and
// module 0's auto-download register.
#include "lib/autodownloadgateway.h"
#include "lib/pxmmodules.h"
#include "lib/scenario.h"
#include "modulesfixture.h"
#include "simargs.h"


using namespace simtest;
using sim::PxmModule;

namespace {
constexpr quint16 kPlain = 200;

sim::ProfileOptions options(sim::Profile p, int cylinders) {
    sim::ProfileOptions o;
    o.setQuick(p, cylinders);
    o.sectionMs = 100;
    o.symbols = {{sim::kSymModuleStateRO, kState}, {sim::kSymModuleStateRW, kRegister},
                 {sim::kSymUpdateStateRO, kUpdate}, {sim::kSymUpdateFailureRO, kFailure},
                 {sim::kSymEngineStandstill, kStandstill}, {"PAR_TOT_NO_OF_CYL", kPlain, 6}};
    return o;
}

}  // namespace

using SimPersonality = SimModules;

TEST(SimProfileOptions, ReadsTheCommandLine) {
    expectReads<sim::ProfileOptions>(
        {
            {{"--profile", "mbus", "--cylinders", "3", "--heartbeat", "250", "--symbol", "GLB_ENG_STSTILL=104", "--symbol",
              "X=0x20:7"},
             true},
            {{"--profile", "QTM"}, true},
            {{}, true},
            {{"--profile", "cbus"}, false},
            {{"--cylinders", "15"}, false},
            {{"--symbol", "X=4096"}, false},
            {{"--symbol", "X"}, false},
            {{"--engine", "idle"}, false},
        },
        [&](const QStringList& args, const sim::ProfileOptions& o) {
            if (args.size() <= 4) return;
            EXPECT_EQ(o.profile, sim::Profile::MBus);
            EXPECT_EQ(o.cylinders, 3);
            EXPECT_EQ(o.heartbeatMs, 250);
            EXPECT_EQ(o.symbolNumber("GLB_ENG_STSTILL"), 104);
            ASSERT_EQ(o.symbols.size(), 2);
            EXPECT_EQ(o.symbols[1].number, 0x20);
            EXPECT_EQ(o.symbols[1].value, 7u);
        });
}

TEST_F(SimPersonality, NodeIdsFollowTheProfile) {
    struct Case {
        sim::Profile profile;
        quint8 spare, cylinder1;
        bool cylinderBootUp;  // on the M-Bus the cylinders are watched through module 0
    };
    for (const Case c : {Case{sim::Profile::MBus, 0x11, 0x21, false}, Case{sim::Profile::SBus, 0x20, 0x21, true},
                         Case{sim::Profile::Qtm, 0x50, 0x51, true}, Case{sim::Profile::Bzm, 0x30, 0x31, true}}) {
        build(options(c.profile, 1));
        EXPECT_TRUE(next(0x700 + c.spare).has_value());      // boot-up
        EXPECT_EQ(next(0x700 + c.cylinder1, c.cylinderBootUp ? 1000 : 200).has_value(), c.cylinderBootUp);
        EXPECT_TRUE(answers(c.spare));
        EXPECT_TRUE(answers(c.cylinder1));
        EXPECT_FALSE(answers(c.cylinder1 + 1));
        m_modules.reset();
        clearInbox();
    }
}

TEST_F(SimPersonality, OnTheMBusOnlyModuleZeroSendsHeartbeats) {
    build(options(sim::Profile::MBus, 2));
    ASSERT_TRUE(next(0x711).has_value());  // boot-up of module 0
    auto hb = next(0x711);
    ASSERT_TRUE(hb.has_value());
    EXPECT_EQ(hb->data, QByteArray(1, char(0x7F)));
    // Neither boot-up nor heartbeat of the cylinders, which answer all the same.
    EXPECT_TRUE(silent(0x721, 200));
    EXPECT_TRUE(silent(0x722, 10));
    EXPECT_TRUE(answers(0x22));
}

TEST_F(SimPersonality, ApplicationObjects) {
    auto o = options(sim::Profile::MBus, 3);
    o.spareId = 5;
    build(o);
    EXPECT_EQ(read(0x11, 0x1008, 0), QByteArray("KELB-3817 PXM-20 #05"));
    EXPECT_EQ(read(0x23, 0x1008, 0), QByteArray("KELB-3817 PXM-20 #03"));
    EXPECT_EQ(read(0x23, 0x1009, 0), QByteArray("7"));  // as the hardware info block says
    EXPECT_EQ(read(0x23, 0x100A, 0), QByteArray("5.20"));
    EXPECT_EQ(read(0x23, 0x1001, 0), QByteArray(1, '\0'));
    EXPECT_EQ(u32At(read(0x23, 0x1005, 0), 0), 0x80u);
    EXPECT_EQ(read(0x23, 0x1018, 0), QByteArray(1, char(4)));
    EXPECT_EQ(u32At(read(0x23, 0x1018, 4), 0), 1003u);
    EXPECT_EQ(u32At(read(0x11, 0x1017, 0), 0), 50u);
    EXPECT_EQ(u32At(read(0x23, 0x1017, 0), 0), 0u);
    o.profile = sim::Profile::Qtm;
    o.appName = "VEDR";
    m_modules.reset();
    build(o);
    EXPECT_EQ(read(0x50, 0x1008, 0), QByteArray("VEDR #05"));
}

TEST_F(SimPersonality, ServiceBitSwitchesPublicationOfTheModulesOwnKey) {
    build(options(sim::Profile::SBus, 2));
    EXPECT_FALSE(published(kPlain, 150).has_value());
    serviceBit(kPlain + 2 * 4096, true);
    EXPECT_EQ(published(kPlain + 2 * 4096), 6u);
    EXPECT_EQ(published(kPlain + 2 * 4096), 6u);  // periodically
    EXPECT_FALSE(published(kPlain, 10).has_value());
    EXPECT_TRUE(m_modules->published(2, kPlain));
    EXPECT_FALSE(m_modules->published(1, kPlain));
    serviceBit(kPlain + 2 * 4096, false);
    ASSERT_TRUE(waitFor([&] { return !m_modules->published(2, kPlain); }, 1000));
    clearInbox();
    EXPECT_FALSE(published(kPlain + 2 * 4096, 150).has_value());
    serviceBit(999, true);  // a symbol the module does not have
    EXPECT_FALSE(published(999, 150).has_value());
}

TEST_F(SimPersonality, WritesAreEchoedAndReadOnlySymbolsKeepTheirValue) {
    build(options(sim::Profile::MBus, 1));
    writeSymbol(kPlain + 4096, 0x01020304);
    EXPECT_EQ(published(kPlain + 4096), 0x01020304u);
    EXPECT_EQ(m_modules->symbolValue(1, kPlain), 0x01020304u);
    EXPECT_EQ(m_modules->symbolValue(0, kPlain), 6u);
    writeSymbol(kStandstill + 4096, 0);
    EXPECT_EQ(published(kStandstill + 4096), 1u);  // standing still, and read-only
}

TEST_F(SimPersonality, BelowTheRequiredUserLevelNothingIsTaken) {
    auto o = options(sim::Profile::MBus, 0);
    o.minUserLevel = 11;
    build(o);
    userLevel(10);
    serviceBit(kState, true);
    EXPECT_FALSE(published(kState, 200).has_value());
    EXPECT_EQ(m_modules->userLevel(0), 10);
    userLevel(11);
    serviceBit(kState, true);
    EXPECT_EQ(published(kState), 1u);  // module 0 runs its application
}

TEST_F(SimPersonality, EngineStandstillPerCylinder) {
    auto o = options(sim::Profile::MBus, 2);
    o.engine = sim::Engine::Running;
    build(o);
    serviceBit(kStandstill + 2 * 4096, true);
    EXPECT_EQ(published(kStandstill + 2 * 4096), 0u);
    m_modules->setSymbolValue(2, kStandstill, 1);
    EXPECT_TRUE(publishedUntil(kStandstill + 2 * 4096, [](quint32 v) { return v == 1; }).has_value());
    m_modules.reset();
    o.engine = sim::Engine::Silent;
    build(o);
    serviceBit(kStandstill + 4096, true);
    EXPECT_FALSE(published(kStandstill + 4096, 200).has_value());
}

TEST_F(SimPersonality, ModuleZeroReportsTheCylindersAndSwitchesThem) {
    build(options(sim::Profile::MBus, 3));
    login();
    EXPECT_EQ(published(kState), 0x0000000Fu);
    EXPECT_EQ(published(kFailure), 0u);
    ASSERT_TRUE(command(sim::AutoDownloadGateway::kStartBootloader, 0x000A));  // 1 and 3
    EXPECT_TRUE(publishedUntil(kState, [](quint32 v) { return v == 0x000A0005; }).has_value());
    EXPECT_EQ(m_modules->mode(1), PxmModule::Mode::Bootloader);
    EXPECT_EQ(m_modules->mode(2), PxmModule::Mode::Application);
    EXPECT_FALSE(answers(0x21));
    clearInbox();
    ASSERT_TRUE(command(sim::AutoDownloadGateway::kStartApplication, 0x0002));
    EXPECT_TRUE(publishedUntil(kState, [](quint32 v) { return v == 0x00080007; }).has_value());
    EXPECT_TRUE(answers(0x21));  // the application is back, without a boot-up on the M-Bus
    EXPECT_TRUE(silent(0x721, 10));
}

TEST_F(SimPersonality, PublicationsEndWithTheApplicationAndStayOffAfterItsRestart) {
    build(options(sim::Profile::MBus, 1));
    login();
    EXPECT_EQ(published(kState), 0x00000003u);
    m_modules->setMode(0, PxmModule::Mode::Bootloader);
    drain();
    // The state symbol changes, but module 0 runs no application that could send it.
    m_modules->setMode(1, PxmModule::Mode::Bootloader);
    EXPECT_EQ(m_modules->symbolValue(0, kState), 0x00020000u);
    EXPECT_FALSE(published(kState, 300).has_value());
    m_modules->setMode(0, PxmModule::Mode::Application);
    EXPECT_EQ(m_modules->userLevel(0), 0);
    EXPECT_FALSE(m_modules->published(0, kState));
    EXPECT_FALSE(published(kState, 200).has_value());
    login();
    EXPECT_EQ(published(kState), 0x00020001u);
}

TEST_F(SimPersonality, SectionDownloadServesTheModulesInTurn) {
    auto o = options(sim::Profile::MBus, 3);
    o.retryMask = 0x0004;  // module 2: first attempt fails
    o.failMask = 0x0008;   // module 3: every attempt fails
    o.sectionMs = 300;
    build(o);
    m_modules->setMode(1, PxmModule::Mode::Bootloader);
    m_modules->setMode(2, PxmModule::Mode::Bootloader);
    m_modules->setMode(3, PxmModule::Mode::Bootloader);
    login();
    waitFor([] { return false; }, 100);
    clearInbox();
    writeSymbol(kRegister, 0x0040000E);  // section 6 to modules 1 to 3
    EXPECT_TRUE(publishedUntil(kRegister, [](quint32 v) { return v == 0x0040000E; }).has_value());  // pending
    // Module 2's progress, and its attempt counter rising to 2.
    EXPECT_TRUE(publishedUntil(kUpdate, [](quint32 v) { return (v & 0x0F) == 2 && ((v >> 16) & 0x1F) == 2; }).has_value());
    writeSymbol(kRegister, 0x00100002);  // refused while busy
    waitFor([] { return false; }, 100);
    EXPECT_EQ(m_modules->symbolValue(0, kRegister), 0x0040000Eu);
    EXPECT_TRUE(publishedUntil(kRegister, [](quint32 v) { return v == 0x0000000E; }, 5000).has_value());
    EXPECT_EQ(m_modules->loadedSections(1), QList<int>{6});
    EXPECT_EQ(m_modules->loadedSections(2), QList<int>{6});
    EXPECT_TRUE(m_modules->loadedSections(3).isEmpty());
    EXPECT_TRUE(publishedUntil(kFailure, [](quint32 v) { return v == 0x00000008; }).has_value());
    // A module in its application cannot be served.
    m_modules->setMode(1, PxmModule::Mode::Application);
    ASSERT_TRUE(command(0x0080, 0x0002));
    EXPECT_TRUE(publishedUntil(kFailure, [](quint32 v) { return v == 0x00020008; }).has_value());
    ASSERT_TRUE(command(sim::AutoDownloadGateway::kClearFailure, 0));
    EXPECT_TRUE(publishedUntil(kFailure, [](quint32 v) { return v == 0; }).has_value());
}

TEST_F(SimPersonality, AbortEndsARunningDownload) {
    auto o = options(sim::Profile::MBus, 2);
    o.sectionMs = 5000;
    build(o);
    m_modules->setMode(1, PxmModule::Mode::Bootloader);
    login();
    writeSymbol(kRegister, 0x00200002);
    EXPECT_TRUE(publishedUntil(kUpdate, [](quint32 v) { return (v & 0x1F) == 0x11; }).has_value());
    EXPECT_TRUE(m_modules->autoDownloadBusy());
    ASSERT_TRUE(command(sim::AutoDownloadGateway::kAbort, 0));
    EXPECT_FALSE(m_modules->autoDownloadBusy());
    EXPECT_TRUE(m_modules->loadedSections(1).isEmpty());
}

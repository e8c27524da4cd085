// The modules as the update run sees them: the system information they publish on
// request, the CRCs of the application they hold, the first-application CRC and the
// auto-download activation they take, and the switches for what goes wrong in an update.
#include "lib/applicationimage.h"
#include "lib/autodownloadgateway.h"
#include "lib/flashmodel.h"
#include "lib/scenario.h"
#include "modulesfixture.h"
#include "simargs.h"


using namespace simtest;
using sim::PxmModule;

namespace {
constexpr quint16 kFirstCrc = 200, kCylinders = 201, kBuild = 202, kDeveloper = 203, kHull = 210, kAutoDownload = 220,
                  kImoCrc = 221, kImoLen = 222, kApplCrc = 223, kApplLen = 224;
constexpr int kFlashMs = 50;

sim::ProfileOptions site(int cylinders = 2) {
    sim::ProfileOptions o;
    o.setQuick(sim::Profile::MBus, cylinders);
    o.sectionMs = 100;
    o.symbols = {{sim::kSymModuleStateRO, kState},
                 {sim::kSymModuleStateRW, kRegister},
                 {sim::kSymUpdateStateRO, kUpdate},
                 {sim::kSymUpdateFailureRO, kFailure},
                 {sim::kSymEngineStandstill, kStandstill},
                 {sim::kSymCrcFirstApplication, kFirstCrc, 0},
                 {"PAR_TOT_NO_OF_CYL", kCylinders, quint32(cylinders)},
                 {"PAR_SWINFO_BUILD", kBuild, 1234},
                 {"PAR_SWINFO_DEVELOPER_NO", kDeveloper, 42},
                 {"PAR_SWINFO_HULL_NO", kHull, 0x4C4C5548},  // "HULL"
                 {sim::kSymAutoDownloadActivate, kAutoDownload, 1},
                 {sim::kSymCrcValueImo, kImoCrc},
                 {sim::kSymCrcLenImo, kImoLen},
                 {sim::kSymCrcValueApplication, kApplCrc},
                 {sim::kSymCrcLenApplication, kApplLen}};
    return o;
}

sim::BootOptions boot() {
    sim::BootOptions b;
    b.flashMs = kFlashMs;
    return b;
}

QByteArray newApplication() {
    QByteArray b("KELB-3817 PXM-20 application, new build");
    while (b.size() < 3000) b += char((b.size() * 11) & 0xFF);
    return b;
}
}  // namespace

class SimSystemInfo : public SimModules {
protected:
    // Module 0 takes a new application through its bootloader, as the tool sends it, and
    // runs it again; true when every step was taken.
    bool replaceSpareApplication(const QByteArray& image) {
        if (download(0x11, 0x1F51, 3, QByteArray(1, '\1')) != 0) return false;
        if (!waitFor([&] { return answers(0x7F); }, 2000)) return false;
        const QByteArray block = sim::infoblock::make(6, "KELB", 2, "Dec 10 2026", 0x100000, image);
        if (download(0x7F, 0x5FFE, 6, block) != 0 || blockDownload(0x7F, 0x1F50, 6, image) != 0) return false;
        if (!waitFor([&] { return read(0x7F, 0x5FFF, 3) == QByteArray(1, '\0'); }, 2000)) return false;
        if (download(0x7F, 0x1F51, 6, QByteArray(1, '\1')) != 0) return false;
        return waitFor([&] { return m_modules->mode(0) == PxmModule::Mode::Application; }, 2000);
    }
    // Module 0 loads the application section into the cylinders of the mask and starts them.
    bool serveCylinders(quint16 mask) {
        login();
        drain();  // the register's first publication is no answer to a command
        return command(sim::AutoDownloadGateway::kStartBootloader, mask) && command(0x0040, mask, 8000) &&
               command(sim::AutoDownloadGateway::kStartApplication, mask);
    }
    // The value a module publishes when asked for the key; nothing when it stays silent.
    std::optional<quint32> ask(quint16 key, int timeoutMs = 1000) {
        clearInbox();
        serviceBit(key, true);
        auto v = published(key, timeoutMs);
        serviceBit(key, false);
        drain();  // a periodic publication under way is no answer to what comes next
        return v;
    }
};

TEST(SimApplicationImage, CrcsAreTheXmodemCrcsOfTheImageAndItsImoPart) {
    EXPECT_EQ(sim::applicationCrc("123456789"), 0x31C3);
    const QByteArray factory = sim::factoryApplication();
    EXPECT_EQ(sim::imoLength(factory), 512u);
    EXPECT_EQ(sim::imoLength("abc"), 3u);
    EXPECT_EQ(sim::imoCrc(factory), sim::applicationCrc(factory.left(512)));
    EXPECT_TRUE(factory.startsWith("KELB-3817 PXM-20 application"));
    EXPECT_NE(sim::applicationCrc(sim::factoryApplication(true)), sim::applicationCrc(factory));
}

TEST(SimProfileOptions, ReadsTheUpdateFaultSwitches) {
    expectReads<sim::ProfileOptions>(
        {
            {{"--symbol", "PAR_SWINFO_BUILD=202", "--withhold", "PAR_SWINFO_BUILD", "--unknown-build", "--auto-download-off",
              "--absent", "0x4", "--wrong-crc-echo", "--silent-after-update"},
             true},
            {{"--withhold", "PAR_SWINFO_BUILD"}, false},  // no such symbol
            {{"--absent", "0x8000"}, false},
            {{"--absent", "two"}, false},
        },
        [&](const QStringList& args, const sim::ProfileOptions& o) {
            EXPECT_EQ(o.withheld, QStringList{"PAR_SWINFO_BUILD"});
            EXPECT_TRUE(o.foreignBuild && o.autoDownloadOff && o.refuseCrcWrite && o.silentAfterUpdate);
            EXPECT_EQ(o.absentMask, 0x4);
        });
}

TEST_F(SimSystemInfo, ModuleZeroPublishesTheSystemInformationOnRequest) {
    buildWithFlash(site(), boot());
    const QByteArray factory = sim::factoryApplication();
    struct Case {
        quint16 key;
        quint32 value;
    };
    const Case cases[] = {
        {kHull, 0x4C4C5548},
        {kCylinders, 2},
        {kBuild, 1234},
        {kDeveloper, 42},
        {kAutoDownload, 1},
        {kApplCrc, sim::applicationCrc(factory)},
        {kApplLen, quint32(factory.size())},
        {kImoCrc, sim::imoCrc(factory)},
        {kImoLen, 512},
        {kFirstCrc, 0},
        {kApplCrc + 4096, sim::applicationCrc(factory)},  // asked of cylinder 1
    };
    for (const Case& c : cases) EXPECT_EQ(ask(c.key), c.value) << c.key;
    // Publication stops when the PC switches the service bit off again.
    EXPECT_FALSE(published(kBuild, 200).has_value());
}

TEST_F(SimSystemInfo, ANewApplicationReachesEveryModulesFlashAndItsCrcIsPublished) {
    buildWithFlash(site(), boot());
    const QByteArray image = newApplication();
    ASSERT_TRUE(replaceSpareApplication(image));
    ASSERT_TRUE(serveCylinders(0x0006));
    for (int m = 0; m <= 2; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(m_boot->image(m, 6), image);
        EXPECT_EQ(m_boot->info(m, 6), m_boot->info(0, 6));
        EXPECT_EQ(m_modules->mode(m), PxmModule::Mode::Application);
        EXPECT_EQ(ask(quint16(kApplCrc + m * 4096)), sim::applicationCrc(image));
        EXPECT_EQ(ask(quint16(kApplLen + m * 4096)), quint32(image.size()));
        EXPECT_EQ(ask(quint16(kImoCrc + m * 4096)), sim::imoCrc(image));
    }
    EXPECT_EQ(m_modules->loadedSections(1), QList<int>{6});
}

TEST_F(SimSystemInfo, FirstApplicationCrcAndAutoDownloadActivationAreTakenAndEchoed) {
    buildWithFlash(site(), boot());
    writeSymbol(kFirstCrc, 0x1A2B);
    EXPECT_EQ(published(kFirstCrc), 0x1A2Bu);
    EXPECT_EQ(ask(kFirstCrc), 0x1A2Bu);

    auto o = site();
    o.autoDownloadOff = true;
    o.refuseCrcWrite = true;
    m_boot.reset();
    buildWithFlash(o, boot());
    EXPECT_EQ(ask(kAutoDownload), 0u);
    writeSymbol(kAutoDownload, 1);
    EXPECT_EQ(published(kAutoDownload), 1u);
    // The wrong echo: the module keeps its old first-application CRC.
    writeSymbol(kFirstCrc, 0x1A2B);
    EXPECT_EQ(published(kFirstCrc), 0u);
    EXPECT_EQ(m_modules->symbolValue(0, kFirstCrc), 0u);
}

TEST_F(SimSystemInfo, AWithheldSymbolIsNeverPublishedTheOthersAre) {
    auto o = site();
    o.withheld = {"PAR_SWINFO_BUILD"};
    buildWithFlash(o, boot());
    EXPECT_FALSE(ask(kBuild, 300).has_value());
    EXPECT_EQ(ask(kDeveloper), 42u);
}

TEST_F(SimSystemInfo, AnUnknownBuildIsAFactoryApplicationOfAnotherCrc) {
    auto o = site();
    o.foreignBuild = true;
    buildWithFlash(o, boot());
    EXPECT_EQ(ask(kApplCrc), sim::applicationCrc(sim::factoryApplication(true)));
    EXPECT_TRUE(m_boot->applicationValid(0));
}

TEST_F(SimSystemInfo, AnAbsentCylinderAnswersNothingAndIsInNoStateMask) {
    auto o = site(3);
    o.absentMask = 0x0004;
    buildWithFlash(o, boot());
    login();
    EXPECT_EQ(published(kState), 0x0000000Bu);
    EXPECT_FALSE(answers(0x22));
    EXPECT_FALSE(answers(0x72));
    EXPECT_TRUE(answers(0x23));
}

TEST_F(SimSystemInfo, ACylinderWhoseApplicationDoesNotStartStaysInItsBootloader) {
    sim::BootOptions b = boot();
    b.faults.refuseStart = true;
    b.faultModules = 0x0002;
    buildWithFlash(site(), b);
    ASSERT_TRUE(serveCylinders(0x0006));
    EXPECT_EQ(m_modules->mode(1), PxmModule::Mode::Bootloader);
    EXPECT_EQ(m_modules->mode(2), PxmModule::Mode::Application);
    EXPECT_TRUE(publishedUntil(kState, [](quint32 v) { return v == 0x00020005; }).has_value());
}

TEST_F(SimSystemInfo, SilentAfterUpdateStopsTheSystemInformationButNotAutoDownload) {
    auto o = site();
    o.silentAfterUpdate = true;
    buildWithFlash(o, boot());
    EXPECT_EQ(ask(kBuild), 1234u);  // the factory application still answers
    ASSERT_TRUE(replaceSpareApplication(newApplication()));
    EXPECT_FALSE(ask(kBuild, 300).has_value());
    EXPECT_FALSE(ask(kApplCrc, 100).has_value());
    // The echo of a write still comes, and so does the module state.
    writeSymbol(kFirstCrc, 0x1A2B);
    EXPECT_EQ(published(kFirstCrc), 0x1A2Bu);
    login();
    EXPECT_EQ(published(kState), 0x00000007u);
}

// Mode change end to end: the CAN master against the simulated modules of each profile,
// in real time. The modules go into their bootloader and are started again.
#include "can/frmcanopen.h"
#include "can/modautodownload.h"
#include "can/modconnectionstatus.h"
#include "can/modmodechange.h"
#include "caninterface/caninterface.h"
#include "desktop/timeservice.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "modechangefixture.h"
#include "services/modglobal.h"

using namespace mastertest;
using modechangetest::FakeMain;
using modechangetest::select;
using moduleProtocol::ModuleState;
using sim::PxmModule;

namespace {
class ModeChangeBus : public MasterTest {
protected:
    void SetUp() override {
        MasterTest::SetUp();
        clock.reset();  // against the simulator everything runs in real time
        modeChangeMainWindowLink::install(&main);
    }
    void TearDown() override {
        modeChangeMainWindowLink::install(nullptr);
        bootloaders.reset();
        modules.reset();
        using namespace modGlobal;
        g_qtmMode = g_bzmMode = false;
        g_updateMode = true;
        MasterTest::TearDown();
    }

    void start(sim::Profile profile, int cylinders) {
        using namespace modGlobal;
        g_qtmMode = profile == sim::Profile::Qtm;
        g_bzmMode = profile == sim::Profile::Bzm;
        g_updateMode = !(g_qtmMode || g_bzmMode);
        g_moduleKind = g_qtmMode ? "QTM" : g_bzmMode ? "BZM" : "PXM";
        sim::ProfileOptions o;
        o.setQuick(profile, cylinders);
        o.symbols = stateSymbols();
        modules = std::make_unique<sim::PxmModules>(bus(0), o);
        bootloaders = std::make_unique<sim::PxmBootloaders>(bus(0), *modules, o, sim::BootOptions());
        ASSERT_TRUE(initialise(profile == sim::Profile::MBus ? QStringLiteral("M-Bus") : QStringLiteral("S-Bus")));
        // The bus is shared with the other tests of the run: a slow answer is no failure.
        qint32 status = 0;
        master().m_CANInterface->setSdoTimeout(1000, status);
        for (int m = 0; m <= cylinders; ++m) main.green[m] = true;
    }

    // The states as the connection display sees them. On the M-Bus that logs in to module 0
    // while it runs its application; while it is in its bootloader nobody reports the others.
    bool allIn(ModuleState state, int count) {
        const moduleProtocol::ModuleStates s = modConnectionStatus::g_getConnectionStatus();
        const bool othersUnknown = modGlobal::g_isMBusConnection && state == ModuleState::bootloader;
        for (int m = 0; m < count; ++m)
            if (s[m] != (m > 0 && othersUnknown ? ModuleState::none : state)) return false;
        return true;
    }

    bool simModes(PxmModule::Mode mode, int count) {
        for (int m = 0; m < count; ++m)
            if (modules->mode(m) != mode) return false;
        return true;
    }

    // Into the bootloader and back, all modules selected.
    void roundTrip(int count) {
        const moduleProtocol::Selection all = [&] {
            moduleProtocol::Selection s{};
            for (int m = 0; m < count; ++m) s[m] = true;
            return s;
        }();
        ASSERT_TRUE(waitFor([&] { return allIn(ModuleState::application, count); }, 5000)) << "modules up";
        // The cylinders' standstill signal, asked for as they came up.
        if (modGlobal::g_isMBusConnection) {
            ASSERT_TRUE(waitFor([] { return modAutoDownload::g_getEngineStandStillStatus() == 1; }, 3000));
        }

        EXPECT_TRUE(modModeChange::g_startBootloader(all, false)) << main.lines.join('\n').toStdString();
        EXPECT_TRUE(simModes(PxmModule::Mode::Bootloader, count));
        EXPECT_TRUE(main.failures.empty());
        EXPECT_TRUE(waitFor([&] { return allIn(ModuleState::bootloader, count); }, 3000));
        bootLines = main.lines;

        main.lines.clear();
        EXPECT_TRUE(modModeChange::g_startApplication(all, false)) << main.lines.join('\n').toStdString();
        EXPECT_TRUE(simModes(PxmModule::Mode::Application, count));
        EXPECT_EQ(main.lines.size(), count + 1);
        for (int m = 1; m < main.lines.size(); ++m) EXPECT_TRUE(main.lines[m].endsWith(": ok")) << main.lines[m].toStdString();
        EXPECT_TRUE(waitFor([&] { return allIn(ModuleState::application, count); }, 3000));
        EXPECT_TRUE(errors.empty());
    }

    FakeMain main;
    QStringList bootLines;  // the log of the bootloader start
    std::unique_ptr<sim::PxmModules> modules;
    std::unique_ptr<sim::PxmBootloaders> bootloaders;
};
}  // namespace

TEST_F(ModeChangeBus, SBusModulesGoIntoTheirBootloaderAndBack) {
    start(sim::Profile::SBus, 2);
    roundTrip(3);
}

TEST_F(ModeChangeBus, MBusCylindersGoThroughModuleZeroAndModuleZeroByItsOwnCommand) {
    start(sim::Profile::MBus, 3);
    roundTrip(4);
    EXPECT_EQ(bootLines, QStringList({"   Start bootloader", "      PXM 3: ok", "      PXM 2: ok", "      PXM 1: ok",
                                      "      PXM 0: ok"}));
}

TEST_F(ModeChangeBus, QtmModuleGoesIntoItsBootloaderAndBack) {
    start(sim::Profile::Qtm, 0);
    roundTrip(1);
    EXPECT_EQ(bootLines, QStringList({"   Start bootloader", "      QTM 0: ok"}));
}

TEST_F(ModeChangeBus, BzmModuleGoesIntoItsBootloaderAndBack) {
    start(sim::Profile::Bzm, 0);
    roundTrip(1);
}

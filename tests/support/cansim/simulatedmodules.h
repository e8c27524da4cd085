#pragma once
// The simulated modules a fixture runs against: the simulator on the process's private
// bus, the modules' applications and their bootloaders, started together and stopped in
// the order the nodes need.
#include "lib/bootoptions.h"
#include "lib/profileoptions.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "lib/scenario.h"
#include "lib/simulator.h"

#include <memory>

namespace cansim {

struct SimulatedModules {
    // Joins the scenario's bus, adds its nodes and starts the modules of the profile with
    // their bootloaders; a failure is fatal to the test.
    void startModules(const sim::Scenario& scenario, const sim::ProfileOptions& profile, const sim::BootOptions& boot);
    // The bootloaders, then the modules, then the bus.
    void stopModules();

    sim::Simulator simulator;
    std::unique_ptr<sim::PxmModules> modules;
    std::unique_ptr<sim::PxmBootloaders> bootloaders;
};

}  // namespace cansim

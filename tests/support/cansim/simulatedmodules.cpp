#include "simulatedmodules.h"

#include <gtest/gtest.h>

namespace cansim {

void SimulatedModules::startModules(const sim::Scenario& scenario, const sim::ProfileOptions& profile,
                                    const sim::BootOptions& boot) {
    QString error;
    ASSERT_TRUE(simulator.start(scenario.busUrl, &error)) << error.toStdString();
    ASSERT_TRUE(simulator.waitConnected());
    scenario.apply(simulator);
    modules = std::make_unique<sim::PxmModules>(simulator, profile, scenario.faults);
    bootloaders = std::make_unique<sim::PxmBootloaders>(simulator, *modules, profile, boot, scenario.faults);
}

void SimulatedModules::stopModules() {
    bootloaders.reset();
    modules.reset();
    simulator.stop();
}

}  // namespace cansim

#include "lib/pxmbootloaders.h"

#include "lib/autodownloadgateway.h"
#include "lib/personality_boot.h"
#include "lib/pxmmodules.h"
#include "lib/simulator.h"

namespace sim {

PxmBootloaders::PxmBootloaders(Simulator& sim, PxmModules& modules, const ProfileOptions& profile,
                               const BootOptions& options, const Faults& faults)
    : m_sim(sim), m_modules(modules) {
    modules.invoke([&](QList<PxmModule*>& list, AutoDownloadGateway* gateway) {
        for (PxmModule* m : list) m_bootloaders << new ModuleBootloader(sim, *m, profile, options, faults);
        if (!gateway) return;
        // Module 0 loads the cylinders from its own flash, and starts only what can start.
        gateway->setStartCheck([this](int module) { return m_bootloaders[module]->canStartApplication(); });
        gateway->setSectionLoaded([this](int module, int section) {
            m_bootloaders[module]->takeSection(section, m_bootloaders[0]->flash());
        });
    });
}

PxmBootloaders::~PxmBootloaders() {
    m_modules.invoke([this](QList<PxmModule*>&, AutoDownloadGateway* gateway) {
        if (gateway) {
            gateway->setStartCheck({});
            gateway->setSectionLoaded({});
        }
        qDeleteAll(m_bootloaders);
    });
}

void PxmBootloaders::invoke(const std::function<void(QList<ModuleBootloader*>&)>& f) const {
    m_sim.invoke([&] { f(m_bootloaders); });
}

void PxmBootloaders::sync() {
    invoke([](QList<ModuleBootloader*>& list) {
        for (ModuleBootloader* b : list) b->sync();
    });
}

int PxmBootloaders::status(int module) const {
    int r = -1;
    invoke([&](QList<ModuleBootloader*>& list) {
        if (module >= 0 && module < list.size()) r = list[module]->status();
    });
    return r;
}

QByteArray PxmBootloaders::info(int module, int section) const {
    QByteArray r;
    invoke([&](QList<ModuleBootloader*>& list) {
        if (module >= 0 && module < list.size()) r = list[module]->flash().info(section);
    });
    return r;
}

QByteArray PxmBootloaders::image(int module, int section) const {
    QByteArray r;
    invoke([&](QList<ModuleBootloader*>& list) {
        if (module >= 0 && module < list.size()) r = list[module]->flash().image(section);
    });
    return r;
}

bool PxmBootloaders::applicationValid(int module) const {
    bool r = false;
    invoke([&](QList<ModuleBootloader*>& list) {
        if (module >= 0 && module < list.size()) r = list[module]->applicationValid();
    });
    return r;
}

}  // namespace sim

#include "lib/pxmbootloaders.h"

#include "lib/personality_boot.h"
#include "lib/pxmmodules.h"
#include "lib/simulator.h"

namespace sim {

PxmBootloaders::PxmBootloaders(Simulator& sim, PxmModules& modules, const ProfileOptions& profile,
                               const BootOptions& options, const Faults& faults)
    : m_sim(sim) {
    modules.invoke([&](QList<PxmModule*>& list, AutoDownloadGateway*) {
        for (PxmModule* m : list) m_bootloaders << new ModuleBootloader(sim, *m, profile, options, faults);
    });
}

PxmBootloaders::~PxmBootloaders() {
    m_sim.invoke([this] { qDeleteAll(m_bootloaders); });
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

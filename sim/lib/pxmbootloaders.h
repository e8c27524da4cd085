#pragma once
// The bootloaders of the simulated modules on a started Simulator, one per module of a
// PxmModules, with their flash.
//
//   sim::PxmModules modules(s, profile, faults);
//   sim::PxmBootloaders bootloaders(s, modules, profile, boot, faults);  // ends before modules
//
// Every member is thread-safe (the work runs in the simulator's thread).
#include "lib/bootoptions.h"
#include "lib/faults.h"
#include "lib/profileoptions.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace sim {

class ModuleBootloader;
class PxmModules;
class Simulator;

class PxmBootloaders {
public:
    PxmBootloaders(Simulator& sim, PxmModules& modules, const ProfileOptions& profile, const BootOptions& options,
                   const Faults& faults = Faults());
    ~PxmBootloaders();
    PxmBootloaders(const PxmBootloaders&) = delete;
    PxmBootloaders& operator=(const PxmBootloaders&) = delete;

    // Brings every module's bootloader side in line with the module's mode, after a switch
    // made elsewhere (module 0's auto-download, PxmModules::setMode).
    void sync();
    // -1 for a module that does not exist.
    int status(int module) const;
    QByteArray info(int module, int section) const;
    QByteArray image(int module, int section) const;
    bool applicationValid(int module) const;

    // Runs f in the simulator's thread with the bootloaders (index = module number).
    void invoke(const std::function<void(QList<ModuleBootloader*>&)>& f) const;

private:
    Simulator& m_sim;
    PxmModules& m_modules;
    mutable QList<ModuleBootloader*> m_bootloaders;  // touched in the simulator's thread only
};

}  // namespace sim

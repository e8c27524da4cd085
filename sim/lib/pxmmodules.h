#pragma once
// The simulated control system on a started Simulator: module 0 and the cylinder modules
// of the profile, their symbol protocol, and on the M-Bus module 0's auto-download.
//
//   sim::Simulator s;  s.start(url);
//   sim::PxmModules modules(s, options);   // ends before s
//
// Every member is thread-safe (the work runs in the simulator's thread).
#include "lib/faults.h"
#include "lib/personality_app.h"
#include "lib/profileoptions.h"

#include <QList>
#include <functional>
#include <memory>


namespace sim {

class Simulator;
class AutoDownloadGateway;

class PxmModules {
public:
    PxmModules(Simulator& sim, const ProfileOptions& options, const Faults& faults = Faults());
    ~PxmModules();
    PxmModules(const PxmModules&) = delete;
    PxmModules& operator=(const PxmModules&) = delete;

    int count() const;  // module 0 and the cylinder modules; 0 without a profile
    PxmModule::Mode mode(int module) const;
    void setMode(int module, PxmModule::Mode mode);
    QList<int> loadedSections(int module) const;
    quint32 symbolValue(int module, quint16 number) const;
    void setSymbolValue(int module, quint16 number, quint32 value);
    bool published(int module, quint16 number) const;
    int userLevel(int module) const;
    // Module 0's auto-download is running a command.
    bool autoDownloadBusy() const;

    // Runs f in the simulator's thread with the modules (index = module number) and the
    // gateway (nullptr off the M-Bus).
    void invoke(const std::function<void(QList<PxmModule*>&, AutoDownloadGateway*)>& f) const;

private:
    class Core;
    Simulator& m_sim;
    Core* m_core = nullptr;
};

}  // namespace sim

#include "lib/pxmmodules.h"

#include "lib/autodownloadgateway.h"
#include "lib/simulator.h"

#include <QObject>
#include <QTimer>

namespace sim {

class PxmModules::Core : public QObject {
public:
    Core(Simulator& sim, const ProfileOptions& o, const Faults& faults) : m_sim(sim) {
        if (o.profile == Profile::None) return;
        for (int module = 0; module <= o.cylinders; ++module) {
            m_modules << new PxmModule(sim, o, faults, module);
            // A module that is not there stays off: no node, in no state mask.
            if (!(o.absentMask & (1u << module))) m_modules.last()->runApplication();
        }
        if (o.profile == Profile::MBus) m_gateway = std::make_unique<AutoDownloadGateway>(*m_modules[0], m_modules.mid(1), o);
        m_listener = sim.addFrameListener([this](const Frame& f) {
            for (PxmModule* m : m_modules) m->handleFrame(f);
        });
        connect(&m_publish, &QTimer::timeout, this, [this] {
            if (m_gateway) m_gateway->refresh();
            for (PxmModule* m : m_modules)
                if (m->mode() == PxmModule::Mode::Application) m->symbols().publishAll();
        });
        m_publish.start(o.publishMs);
    }
    ~Core() override {
        if (m_listener) m_sim.removeFrameListener(m_listener);
        m_gateway.reset();
        qDeleteAll(m_modules);
    }

    Simulator& m_sim;
    QList<PxmModule*> m_modules;
    std::unique_ptr<AutoDownloadGateway> m_gateway;
    int m_listener = 0;
    QTimer m_publish;
};

PxmModules::PxmModules(Simulator& sim, const ProfileOptions& options, const Faults& faults) : m_sim(sim) {
    sim.invoke([&] { m_core = new Core(sim, options, faults); });
}

PxmModules::~PxmModules() {
    Core* core = m_core;
    m_sim.invoke([core] { delete core; });
}

void PxmModules::invoke(const std::function<void(QList<PxmModule*>&, AutoDownloadGateway*)>& f) const {
    m_sim.invoke([&] { f(m_core->m_modules, m_core->m_gateway.get()); });
}

int PxmModules::count() const {
    int n = 0;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) { n = int(m.size()); });
    return n;
}

PxmModule::Mode PxmModules::mode(int module) const {
    PxmModule::Mode r = PxmModule::Mode::Off;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) r = m[module]->mode();
    });
    return r;
}

void PxmModules::setMode(int module, PxmModule::Mode mode) {
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway* g) {
        if (module < 0 || module >= m.size()) return;
        switch (mode) {
        case PxmModule::Mode::Application: m[module]->runApplication(); break;
        case PxmModule::Mode::Bootloader: m[module]->runBootloader(); break;
        case PxmModule::Mode::Off: m[module]->powerOff(); break;
        }
        if (g) g->refresh();
    });
}

QList<int> PxmModules::loadedSections(int module) const {
    QList<int> r;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) r = m[module]->loadedSections;
    });
    return r;
}

quint32 PxmModules::symbolValue(int module, quint16 number) const {
    quint32 r = 0;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) r = m[module]->symbols().value(number);
    });
    return r;
}

void PxmModules::setSymbolValue(int module, quint16 number, quint32 value) {
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) m[module]->symbols().setValue(number, value);
    });
}

bool PxmModules::published(int module, quint16 number) const {
    bool r = false;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) r = m[module]->symbols().published(number);
    });
    return r;
}

int PxmModules::userLevel(int module) const {
    int r = 0;
    invoke([&](QList<PxmModule*>& m, AutoDownloadGateway*) {
        if (module >= 0 && module < m.size()) r = m[module]->symbols().userLevel();
    });
    return r;
}

bool PxmModules::autoDownloadBusy() const {
    bool r = false;
    invoke([&](QList<PxmModule*>&, AutoDownloadGateway* g) { r = g && g->busy(); });
    return r;
}

}  // namespace sim

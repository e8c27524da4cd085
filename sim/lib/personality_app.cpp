#include "lib/personality_app.h"

#include "lib/applicationimage.h"
#include "lib/node.h"
#include "lib/simulator.h"

namespace sim {

namespace {
QByteArray text(const char* s) { return QByteArray(s); }
}  // namespace

PxmModule::PxmModule(Simulator& sim, const ProfileOptions& options, const Faults& faults, int number)
    : m_sim(sim), m_options(options), m_faults(faults), m_number(number),
      // Only a running application sends its symbols.
      m_symbols(number, [this](const Frame& f) {
          if (m_mode == Mode::Application) m_sim.send(f);
      }) {
    m_symbols.setMinUserLevel(options.minUserLevel);
    const quint16 standstill = options.symbolNumber(QLatin1String(kSymEngineStandstill));
    for (const SymbolSpec& s : options.symbols)
        if (s.number != standstill) m_symbols.define(s.number, s.value, !s.name.endsWith(QLatin1String("_RO")));
    if (standstill != 0 && options.engine != Engine::Silent)
        m_symbols.define(standstill, options.engine == Engine::Standstill ? 1 : 0, false);
    for (const QString& name : options.withheld) m_symbols.withhold(options.symbolNumber(name));
    if (options.refuseCrcWrite) m_symbols.refuseWrites(symbol(kSymCrcFirstApplication));
    if (options.autoDownloadOff) m_symbols.setValue(symbol(kSymAutoDownloadActivate), 0);
}

quint16 PxmModule::symbol(const char* name) const { return m_options.symbolNumber(QLatin1String(name)); }

void PxmModule::setApplicationImage(const QByteArray& image, bool replaced) {
    const std::pair<const char*, quint32> values[] = {{kSymCrcValueApplication, applicationCrc(image)},
                                                      {kSymCrcLenApplication, quint32(image.size())},
                                                      {kSymCrcValueImo, imoCrc(image)},
                                                      {kSymCrcLenImo, imoLength(image)}};
    for (const auto& [name, value] : values) m_symbols.setValue(symbol(name), value);
    if (replaced && m_options.silentAfterUpdate) {
        // Only what auto-download needs still answers.
        QList<quint16> keep;
        for (const char* name : {kSymModuleStateRO, kSymModuleStateRW, kSymUpdateStateRO, kSymUpdateFailureRO,
                                 kSymEngineStandstill})
            keep << symbol(name);
        m_symbols.withholdAllBut(keep);
    }
}

PxmModule::~PxmModule() { removeApplicationNode(); }

void PxmModule::addApplicationObjects(Node& n) const {
    ObjectDictionary& od = n.od();
    od.addU32(0x1000, 0, 0x00000191, Access::ReadOnly);
    od.addU8(0x1001, 0, 0, Access::ReadOnly);
    od.addU32(0x1005, 0, 0x80);
    od.addDomain(0x1008, 0, deviceName(m_options, m_number), Access::ReadOnly);
    // The bootloader side, where there is one, reads it from the hardware info block.
    od.addDomain(0x1009, 0, QByteArray::number(kFactoryHardwareVersion), Access::ReadOnly);
    od.addDomain(0x100A, 0, text("5.20"), Access::ReadOnly);
    od.addU16(0x1017, 0, quint16(announced(m_options.profile, m_number) ? m_options.heartbeatMs : 0));
    od.addU8(0x1018, 0, 4, Access::ReadOnly);
    od.addU32(0x1018, 1, 0x0000004B, Access::ReadOnly);
    od.addU32(0x1018, 2, 0x00003817, Access::ReadOnly);
    od.addU32(0x1018, 3, 0x00050014, Access::ReadOnly);
    od.addU32(0x1018, 4, quint32(1000 + m_number), Access::ReadOnly);
}

void PxmModule::runApplication() {
    if (m_mode == Mode::Application) return;
    m_mode = Mode::Application;
    // A new start: the PC logs in again and switches the publications it wants back on.
    m_symbols.restart();
    m_appNode = m_sim.addNode(applicationNodeId(), announced(m_options.profile, m_number));
    m_appNode->setFaults(m_faults);
    addApplicationObjects(*m_appNode);
    if (m_modeListener) m_modeListener();
}

void PxmModule::runBootloader() {
    removeApplicationNode();
    m_mode = Mode::Bootloader;
    if (m_modeListener) m_modeListener();
}

void PxmModule::powerOff() {
    removeApplicationNode();
    m_mode = Mode::Off;
    if (m_modeListener) m_modeListener();
}

void PxmModule::removeApplicationNode() {
    if (!m_appNode) return;
    // By id: the simulator may have dropped its nodes already.
    m_sim.removeNode(applicationNodeId());
    m_appNode = nullptr;
}

void PxmModule::handleFrame(const Frame& f) {
    if (m_mode == Mode::Application) m_symbols.handleFrame(f);
}

}  // namespace sim

#pragma once
// One simulated PXM module: its number, which of its programs runs, and while that is the
// application, the application's CANopen node (device type, error register, SYNC COB-ID,
// device name, hardware and software version, heartbeat time, identity) and its symbols.
// The bootloader side attaches where the module leaves its application. Lives in the
// simulator's thread.
#include "lib/faults.h"
#include "lib/profileoptions.h"
#include "lib/symboltable.h"

#include <QList>
#include <functional>

namespace sim {

class Node;
class Simulator;

// The hardware version the modules leave the factory with: the one their hardware info
// block holds and their 0x1009 reports, in the application as in the bootloader.
inline constexpr quint32 kFactoryHardwareVersion = 7;

class PxmModule {
public:
    enum class Mode { Off, Application, Bootloader };

    PxmModule(Simulator& sim, const ProfileOptions& options, const Faults& faults, int number);
    ~PxmModule();

    int number() const { return m_number; }
    Mode mode() const { return m_mode; }
    quint8 applicationNodeId() const { return quint8(applicationBase(m_options.profile, m_number) + m_number); }
    SymbolTable& symbols() { return m_symbols; }
    const SymbolTable& symbols() const { return m_symbols; }
    // The node of the running application; nullptr otherwise.
    Node* applicationNode() const { return m_appNode; }

    // Starts the application: its node comes up with a boot-up message.
    void runApplication();
    // Leaves the application for the bootloader: the application node goes off the bus.
    void runBootloader();
    void powerOff();
    // Told after every change of mode, so the bootloader side can follow.
    void setModeListener(std::function<void()> f) { m_modeListener = std::move(f); }

    // The application in the module's flash: its CRC symbols follow it. replaced: it came
    // with a download (not from the factory or the flash kept from an earlier run).
    void setApplicationImage(const QByteArray& image, bool replaced);

    // Sections that module 0 loaded into this module, in order.
    QList<int> loadedSections;

    // Symbol-protocol frames reach the application only.
    void handleFrame(const Frame& f);

private:
    void addApplicationObjects(Node& n) const;
    quint16 symbol(const char* name) const;  // 0 when the scenario has none
    void removeApplicationNode();

    Simulator& m_sim;
    const ProfileOptions m_options;
    const Faults m_faults;
    const int m_number;
    Mode m_mode = Mode::Off;
    Node* m_appNode = nullptr;
    SymbolTable m_symbols;
    std::function<void()> m_modeListener;
};

}  // namespace sim

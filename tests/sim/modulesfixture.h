#pragma once
// The simulated PXM modules on the private bus, with the PC's side of the symbol protocol
// played frame by frame: user level, service bits, symbol writes and the publications.
#include "lib/bootoptions.h"
#include "lib/profileoptions.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"
#include "simbus.h"

#include <memory>
#include <optional>

namespace simtest {

// The auto-download symbols of the tests' scenarios.
constexpr quint16 kState = 100, kRegister = 101, kUpdate = 102, kFailure = 103, kStandstill = 104;

class SimModules : public SimBus {
protected:
    void build(const sim::ProfileOptions& o) { m_modules = std::make_unique<sim::PxmModules>(*m_sim, o); }
    // The modules with their bootloaders and flash.
    void buildWithFlash(const sim::ProfileOptions& o, const sim::BootOptions& b = {});
    void TearDown() override;

    void userLevel(int level);
    void serviceBit(quint16 key, bool on);
    void writeSymbol(quint16 key, quint32 value);
    // The value of the next publication of the key.
    std::optional<quint32> published(quint16 key, int timeoutMs = 1000);
    // The next published value of the key that satisfies pred.
    std::optional<quint32> publishedUntil(quint16 key, const std::function<bool(quint32)>& pred, int timeoutMs = 3000);
    // The PC's log-in: user level 11 and the four auto-download symbols switched on.
    void login();
    // Writes module 0's register and waits until it publishes it done (command word 0).
    bool command(quint16 word, quint16 mask, int timeoutMs = 5000);
    // An expedited or segmented upload from any node; empty on an abort or time-out.
    QByteArray read(quint8 node, quint16 index, quint8 sub);
    bool answers(quint8 node) { return !read(node, 0x1000, 0).isEmpty(); }

    std::unique_ptr<sim::PxmModules> m_modules;
    std::unique_ptr<sim::PxmBootloaders> m_boot;
};

}  // namespace simtest

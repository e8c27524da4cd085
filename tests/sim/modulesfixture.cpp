#include "modulesfixture.h"

namespace simtest {

namespace {
QByteArray symbolFrame(quint16 key, quint8 kind, quint32 value) {
    return bytes({key & 0xFF, key >> 8, 0, kind, int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF),
                  int(value >> 24)});
}
}  // namespace

void SimModules::buildWithFlash(const sim::ProfileOptions& o, const sim::BootOptions& b) {
    // The nodes of earlier modules must be gone before the new ones take their ids.
    m_boot.reset();
    m_modules.reset();
    build(o);
    m_boot = std::make_unique<sim::PxmBootloaders>(*m_sim, *m_modules, o, b);
}

void SimModules::TearDown() {
    m_boot.reset();
    m_modules.reset();
    SimBus::TearDown();
}

void SimModules::userLevel(int level) { send(0x482, bytes({level | 0x80})); }
void SimModules::serviceBit(quint16 key, bool on) { send(0x382, symbolFrame(key, 0x85, on ? 1 : 0)); }
void SimModules::writeSymbol(quint16 key, quint32 value) { send(0x382, symbolFrame(key, 0x80, value)); }

std::optional<quint32> SimModules::published(quint16 key, int timeoutMs) {
    const auto f = nextMatching(
        [key](const sim::Frame& f) {
            return f.id == 0x411 && f.data.size() == 8 && quint8(f.data[0]) + 256 * quint8(f.data[1]) == key;
        },
        timeoutMs);
    return f ? std::optional<quint32>(u32At(f->data, 4)) : std::nullopt;
}

std::optional<quint32> SimModules::publishedUntil(quint16 key, const std::function<bool(quint32)>& pred, int timeoutMs) {
    std::optional<quint32> v;
    waitFor(
        [&] {
            auto p = published(key, 20);
            if (p && pred(*p)) v = p;
            return v.has_value();
        },
        timeoutMs);
    return v;
}

void SimModules::login() {
    userLevel(11);
    for (quint16 s : {kState, kRegister, kUpdate, kFailure}) serviceBit(s, true);
}

bool SimModules::command(quint16 word, quint16 mask, int timeoutMs) {
    clearInbox();
    writeSymbol(kRegister, quint32(mask) | quint32(word) << 16);
    return publishedUntil(kRegister, [](quint32 v) { return (v >> 16) == 0; }, timeoutMs).has_value();
}

QByteArray SimModules::read(quint8 node, quint16 index, quint8 sub) {
    QByteArray out;
    return upload(node, index, sub, out, 500) == 0 ? out : QByteArray();
}

}  // namespace simtest

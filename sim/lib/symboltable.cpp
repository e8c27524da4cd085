#include "lib/symboltable.h"

namespace sim {

namespace {
constexpr quint8 kWrite = 0x80, kServiceBit = 0x85;
quint8 at(const QByteArray& b, int i) { return i < b.size() ? quint8(b[i]) : 0; }
quint32 u32At(const QByteArray& b, int i) {
    return quint32(at(b, i)) | quint32(at(b, i + 1)) << 8 | quint32(at(b, i + 2)) << 16 | quint32(at(b, i + 3)) << 24;
}
}  // namespace

QByteArray symbolValueFrame(quint16 key, quint32 value) {
    QByteArray d(8, '\0');
    d[0] = char(key & 0xFF);
    d[1] = char(key >> 8);
    for (int i = 0; i < 4; ++i) d[4 + i] = char((value >> (8 * i)) & 0xFF);
    return d;
}

void SymbolTable::define(quint16 number, quint32 value, bool writable, bool periodic) {
    Symbol& s = m_symbols[number];
    s.value = value;
    s.writable = writable;
    s.periodic = periodic;
}

quint32 SymbolTable::value(quint16 number) const {
    auto it = m_symbols.find(number);
    return it == m_symbols.end() ? 0 : it->second.value;
}

bool SymbolTable::published(quint16 number) const {
    auto it = m_symbols.find(number);
    return it != m_symbols.end() && it->second.published;
}

void SymbolTable::setValue(quint16 number, quint32 value) {
    auto it = m_symbols.find(number);
    if (it == m_symbols.end() || it->second.value == value) return;
    it->second.value = value;
    if (it->second.published) publish(number, it->second);
}

bool SymbolTable::handleFrame(const Frame& f) {
    if (f.id == kCobUserLevel && f.data.size() >= 1) {
        // The level comes with bit 7 set.
        m_userLevel = at(f.data, 0) & 0x7F;
        return true;
    }
    if (f.id != kCobSymbolWrite || f.data.size() < 8) return false;
    const quint16 key = quint16(at(f.data, 0) | at(f.data, 1) << 8);
    if ((key >> 12) != m_cylinder) return false;
    const quint16 number = key & 0x0FFF;
    auto it = m_symbols.find(number);
    if (it == m_symbols.end() || m_userLevel < m_minUserLevel) return true;
    Symbol& s = it->second;
    switch (at(f.data, 3)) {
    case kServiceBit:
        if (s.withheld) break;
        s.published = at(f.data, 4) != 0;
        if (s.published) publish(number, s);
        break;
    case kWrite: {
        const quint32 v = u32At(f.data, 4);
        if (s.writable && !s.refused && (!m_writeHandler || m_writeHandler(number, v))) s.value = v;
        // The echo shows what the module holds now, also when it refused the value.
        publish(number, s);
        break;
    }
    default: break;
    }
    return true;
}

void SymbolTable::withhold(quint16 number) {
    auto it = m_symbols.find(number);
    if (it == m_symbols.end()) return;
    it->second.withheld = true;
    it->second.published = false;
}

void SymbolTable::withholdAllBut(const QList<quint16>& keep) {
    for (const auto& [number, s] : m_symbols)
        if (!keep.contains(number)) withhold(number);
}

void SymbolTable::refuseWrites(quint16 number) {
    auto it = m_symbols.find(number);
    if (it != m_symbols.end()) it->second.refused = true;
}

void SymbolTable::restart() {
    for (auto& [number, s] : m_symbols) s.published = false;
    m_userLevel = 0;
}

void SymbolTable::publishAll() {
    for (const auto& [number, s] : m_symbols)
        if (s.published && s.periodic) publish(number, s);
}

void SymbolTable::publish(quint16 number, const Symbol& s) {
    m_sender(Frame{kCobSymbolValue, symbolValueFrame(quint16(number + m_cylinder * 4096), s.value)});
}

}  // namespace sim

#pragma once
// A module's symbols as the PC sees them: values published on 0x411 while their service
// bit is on, written by the PC on 0x382 (each write is echoed on 0x411), and the user level
// the PC announces on 0x482. A module answers only the keys that carry its own cylinder
// number (key = symbol number + cylinder * 4096). Lives in the simulator's thread.
#include "lib/frame.h"

#include <QList>
#include <QtGlobal>
#include <functional>
#include <map>

namespace sim {

inline constexpr quint32 kCobSymbolValue = 0x411;  // module -> PC
inline constexpr quint32 kCobSymbolWrite = 0x382;  // PC -> module: writes and service bits
inline constexpr quint32 kCobUserLevel = 0x482;    // PC -> module

// The 8 data bytes of a published symbol value: key low and high, two zero bytes, value
// little-endian.
QByteArray symbolValueFrame(quint16 key, quint32 value);

class SymbolTable {
public:
    using Sender = std::function<void(const Frame&)>;
    // A PC write of a writable symbol; returns false to refuse it (the value stays).
    using WriteHandler = std::function<bool(quint16 number, quint32 value)>;

    SymbolTable(int cylinder, Sender sender) : m_cylinder(cylinder), m_sender(std::move(sender)) {}

    // periodic: sent on every publication round while its publication is on; otherwise only
    // when switched on, written or changed.
    void define(quint16 number, quint32 value, bool writable = true, bool periodic = true);
    bool has(quint16 number) const { return m_symbols.count(number) != 0; }
    quint32 value(quint16 number) const;
    // Stores a value; a published symbol whose value changes is sent at once.
    void setValue(quint16 number, quint32 value);
    bool published(quint16 number) const;
    void setWriteHandler(WriteHandler h) { m_writeHandler = std::move(h); }
    // A withheld symbol ignores its service bit and is never published on request; a
    // write is still echoed. Survives restarts: it is the module software's doing.
    void withhold(quint16 number);
    // Withholds every symbol but those given.
    void withholdAllBut(const QList<quint16>& keep);
    // Writes of the symbol are refused: the echo shows the value it keeps.
    void refuseWrites(quint16 number);
    void setMinUserLevel(int level) { m_minUserLevel = level; }
    int userLevel() const { return m_userLevel; }

    // The application starts afresh: every publication off, no user level announced; the
    // values stay.
    void restart();

    // A frame from the bus; true when it was a symbol-protocol frame for this module.
    bool handleFrame(const Frame& f);
    // Sends every symbol whose publication is on (the periodic publication).
    void publishAll();

private:
    struct Symbol {
        quint32 value = 0;
        bool writable = true;
        bool published = false;
        bool periodic = true;
        bool withheld = false;
        bool refused = false;
    };
    void publish(quint16 number, const Symbol& s);

    const int m_cylinder;
    Sender m_sender;
    WriteHandler m_writeHandler;
    std::map<quint16, Symbol> m_symbols;
    int m_userLevel = 0;
    int m_minUserLevel = 0;
};

}  // namespace sim

#pragma once
// The system information that the modules publish by symbol when the update run asks:
// one row per value names its setter, its symbol, where it is kept and how its four value
// bytes read. The receive drain, the main window and the update run all go by these rows,
// so that a new value is a row here and its field in SystemValues.
#include "services/modglobal.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <array>

// A text the modules publish in parts of four characters, one symbol per part.
struct SystemText {
    QString text = QString(16, QLatin1Char(' '));
    int parts = 0;  // distinct parts received

    // Back to 16 blanks (length blanks) with no part received.
    void clear(int length = 16);
    // The part at index (0 based); a part counts once however often it arrives.
    void place(int index, const QByteArray& bytes);

private:
    quint32 m_received = 0;  // a bit per part index
};

// The values as received; the update run's SystemInfo builds on them.
struct SystemValues {
    SystemText hullNumber;
    SystemText engineType;
    qint32 buildNo;
    qint32 developerNo;
    qint32 noOfCyl;
    qint32 autoDownload;  // 0 off, 1 or more on
    qint32 crcValueAppl;
    qint32 crcLenAppl;
    qint32 crcValueImo;
    qint32 crcLenImo;
    qint32 firstApplCrc;  // the module's echo of the first-application CRC the run wrote

    // Every value at its mark for "not received".
    SystemValues();

    // The four value bytes as a little-endian signed 32-bit number (missing bytes are 0).
    static qint32 value32(const QByteArray& bytes);
    // Data byte 0 alone (0 to 255).
    static qint32 value8(const QByteArray& bytes);
};

enum class Decoding { Signed32, Byte0, TextPart };

struct SystemSymbol {
    const char* setter;      // the setter's name, as the error handler reports it
    const qint32* symbol;    // the (first) symbol number, read from the configuration
    int symbols = 1;         // a text: the symbols from there on that carry its parts
    Decoding decoding = Decoding::Signed32;
    qint32 SystemValues::*number = nullptr;  // where a number is kept
    SystemText SystemValues::*text = nullptr;  // where a text part is placed
    // A number: its place among the run's third group of requests; 0 when the run asks
    // for it by itself, so that a read neither clears it nor waits for it.
    int asked = 0;
    bool ofBusModule = false;  // asked with key + 4096 × the module that carries the bus
    qint32 notReceived = 0;
    qint32 receivedFrom = 1;   // the least value that counts as received
};

// In the order the receive drain tries them.
inline constexpr std::array<SystemSymbol, 11> systemSymbols{{
    {.setter = "g_setFirstApplicationCrc", .symbol = &modGlobal::g_symCrcFirstApplication,
     .number = &SystemValues::firstApplCrc, .notReceived = -1},
    {.setter = "g_setBuild", .symbol = &modGlobal::g_symSwInfoBuild, .number = &SystemValues::buildNo, .asked = 1},
    {.setter = "g_setDeveloper", .symbol = &modGlobal::g_symSwInfoDeveloperNo, .number = &SystemValues::developerNo,
     .asked = 2},
    {.setter = "g_setNoOfCyl", .symbol = &modGlobal::g_symTotNoOfCyl, .decoding = Decoding::Byte0,
     .number = &SystemValues::noOfCyl, .asked = 4},
    {.setter = "g_setHullNumber", .symbol = &modGlobal::g_symSwInfoHullNo, .symbols = 4,
     .decoding = Decoding::TextPart, .text = &SystemValues::hullNumber},
    {.setter = "g_setEngineType", .symbol = &modGlobal::g_symSwInfoEngineType, .symbols = 8,
     .decoding = Decoding::TextPart, .text = &SystemValues::engineType},
    {.setter = "g_setAutoDownload", .symbol = &modGlobal::g_symAutoDownloadActivate, .decoding = Decoding::Byte0,
     .number = &SystemValues::autoDownload, .asked = 3, .notReceived = -1, .receivedFrom = 0},
    {.setter = "g_setCrcValueImo", .symbol = &modGlobal::g_symCrcValueImo, .number = &SystemValues::crcValueImo,
     .asked = 5, .ofBusModule = true, .notReceived = -1, .receivedFrom = 0},
    {.setter = "g_setCrcLenImo", .symbol = &modGlobal::g_symCrcLenImo, .number = &SystemValues::crcLenImo, .asked = 6,
     .ofBusModule = true},
    {.setter = "g_setCrcValueApplication", .symbol = &modGlobal::g_symCrcValueApplication,
     .number = &SystemValues::crcValueAppl, .asked = 7, .ofBusModule = true, .notReceived = -1, .receivedFrom = 0},
    {.setter = "g_setCrcLenApplication", .symbol = &modGlobal::g_symCrcLenApplication,
     .number = &SystemValues::crcLenAppl, .asked = 8, .ofBusModule = true},
}};

// A row keeps either a number or a text part, and decodes it as such.
static_assert(std::ranges::all_of(systemSymbols, [](const SystemSymbol& row) {
    return (row.number != nullptr) != (row.text != nullptr) && (row.text != nullptr) == (row.decoding == Decoding::TextPart);
}));

// The row a received symbol number (the key's low 12 bits) belongs to, or nullptr. A
// symbol inside a text's range is taken by it, and goes nowhere while the range's first
// symbol is 0.
const SystemSymbol* systemSymbolOf(qint32 symbol);

// Keeps the value a row's symbol message carries; key is the whole received key.
void keepSystemValue(SystemValues& values, const SystemSymbol& row, qint32 key, const QByteArray& bytes);

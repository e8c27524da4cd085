#include "can/systemsymbols.h"

#include "can/moduleprotocol.h"
#include "bytes/bytes.h"
#include "services/modstringfct.h"

#include <bit>

void SystemText::clear(int length) {
    text = QString(length, QLatin1Char(' '));
    parts = 0;
    m_received = 0;
}

void SystemText::place(int index, const QByteArray& bytes) {
    if (index < 0 || index > 7) return;
    QString piece;
    for (int i = 0; i < 4; ++i) {
        const uchar b = i < bytes.size() ? uchar(bytes[i]) : 0;
        // A zero byte is a blank; so is any other control byte, which would break the log.
        piece += b < 32 ? QChar(QLatin1Char(' ')) : modStringFct::ansiChar(b);
    }
    const int n = 4 * index;
    // A part that arrives before the ones in front of it still lands at its own place.
    if (text.size() < n) text += QString(n - text.size(), QLatin1Char(' '));
    text = text.left(n) + piece + text.mid(n + 4);
    m_received |= 1u << index;
    parts = std::popcount(m_received);
}

SystemValues::SystemValues() {
    for (const SystemSymbol& row : systemSymbols)
        if (row.number) this->*row.number = row.notReceived;
}

qint32 SystemValues::value32(const QByteArray& bytes) {
    // A byte the value lacks reads 0.
    const QByteArray four = bytes.left(4).leftJustified(4, '\0');
    return qint32(bytes::getUnsigned(four, 0, 4, bytes::Order::LittleEndian).value_or(0));
}

qint32 SystemValues::value8(const QByteArray& bytes) { return bytes.isEmpty() ? 0 : uchar(bytes[0]); }

const SystemSymbol* systemSymbolOf(qint32 symbol) {
    for (const SystemSymbol& row : systemSymbols) {
        const qint32 first = *row.symbol;
        if (row.symbols > 1 && symbol >= first && symbol < first + row.symbols) return first != 0 ? &row : nullptr;
        if (symbol == first) return &row;
    }
    return nullptr;
}

void keepSystemValue(SystemValues& values, const SystemSymbol& row, qint32 key, const QByteArray& bytes) {
    switch (row.decoding) {
    case Decoding::TextPart: (values.*row.text).place(moduleProtocol::symbolOfKey(key) - *row.symbol, bytes); break;
    case Decoding::Byte0: values.*row.number = SystemValues::value8(bytes); break;
    case Decoding::Signed32: values.*row.number = SystemValues::value32(bytes); break;
    }
}

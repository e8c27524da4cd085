#include "updater/systeminfo.h"

#include "bytes/bytes.h"
#include "services/modstringfct.h"

#include <bit>

void SystemInfo::reset(bool keepEngineCount) {
    noOfCyl = developerNo = buildNo = crcLenAppl = crcLenImo = 0;
    hullParts = engineTypeParts = 0;
    m_hullMask = m_engineMask = 0;
    crcValueAppl = crcValueImo = autoDownload = -1;
    hullNumber = blanks(16);
    engineType = blanks(16);
    if (!keepEngineCount) engineTypeSymbols = notDecided;
}

void SystemInfo::decideEngineType(int symbols) {
    engineTypeSymbols = symbols;
    engineTypeParts = 0;
    m_engineMask = 0;
    engineType = blanks(4 * symbols);
}

bool SystemInfo::complete() const {
    return hullParts >= 4 && engineTypeParts >= engineTypeSymbols && developerNo >= 1 && buildNo >= 1 && noOfCyl >= 1 &&
           autoDownload != -1 && crcValueImo >= 0 && crcLenImo >= 1 && crcValueAppl >= 0 && crcLenAppl >= 1;
}

void SystemInfo::setHullPart(int index, const QByteArray& bytes) { placePart(hullNumber, m_hullMask, hullParts, index, bytes); }

void SystemInfo::setEngineTypePart(int index, const QByteArray& bytes) {
    placePart(engineType, m_engineMask, engineTypeParts, index, bytes);
}

void SystemInfo::placePart(QString& text, quint32& mask, int& parts, int index, const QByteArray& bytes) {
    if (index < 0 || index > 7) return;
    QString piece;
    for (int i = 0; i < 4; ++i) {
        const uchar b = i < bytes.size() ? uchar(bytes[i]) : 0;
        // A zero byte is a blank; so is any other control byte, which would break the log.
        piece += b < 32 ? QChar(QLatin1Char(' ')) : modStringFct::ansiChar(b);
    }
    const int n = 4 * index;
    // A part that arrives before the ones in front of it still lands at its own place.
    if (text.size() < n) text += blanks(n - text.size());
    text = text.left(n) + piece + text.mid(n + 4);
    mask |= 1u << index;
    parts = std::popcount(mask);
}

qint32 SystemInfo::value32(const QByteArray& bytes) {
    // A byte the value lacks reads 0.
    const QByteArray four = bytes.left(4).leftJustified(4, '\0');
    return qint32(bytes::getUnsigned(four, 0, 4, bytes::Order::LittleEndian).value_or(0));
}

qint32 SystemInfo::value8(const QByteArray& bytes) { return bytes.isEmpty() ? 0 : uchar(bytes[0]); }

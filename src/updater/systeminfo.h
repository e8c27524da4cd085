#pragma once
// The system information that the modules publish on request: what the update run must
// know before it decides anything. Values are kept as they arrive, in any order; each has
// a mark for "not received" so that the run can tell when the record is complete.
#include <QByteArray>
#include <QString>

struct SystemInfo {
    static constexpr int notDecided = 999;  // engine-type symbol count before it is known

    QString hullNumber = blanks(16);
    int hullParts = 0;          // distinct hull parts received
    QString engineType = blanks(16);
    int engineTypeParts = 0;    // distinct engine-type parts received
    int engineTypeSymbols = notDecided;
    qint32 buildNo = 0;
    qint32 developerNo = 0;
    qint32 noOfCyl = 0;
    qint32 autoDownload = -1;   // -1 not received, 0 off, 1 or more on
    qint32 crcValueAppl = -1;
    qint32 crcLenAppl = 0;
    qint32 crcValueImo = -1;
    qint32 crcLenImo = 0;

    // Clears every value; a decided engine-type count is kept when keepEngineCount.
    void reset(bool keepEngineCount);
    // The engine-type count is decided: its text and parts start afresh.
    void decideEngineType(int symbols);
    bool complete() const;

    // A text part of four characters at index (0 based) of the hull or engine-type text.
    // A part counts once however often it arrives.
    void setHullPart(int index, const QByteArray& bytes);
    void setEngineTypePart(int index, const QByteArray& bytes);

    // The four value bytes as a little-endian signed 32-bit number (missing bytes are 0).
    static qint32 value32(const QByteArray& bytes);
    // Data byte 0 alone (0 to 255).
    static qint32 value8(const QByteArray& bytes);
    static QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

private:
    static void placePart(QString& text, quint32& mask, int& parts, int index, const QByteArray& bytes);
    quint32 m_hullMask = 0;
    quint32 m_engineMask = 0;
};

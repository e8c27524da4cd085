#pragma once
// The 312-byte hardware info block of section 1 as the repair reads and writes it. Numbers
// are big-endian:
//    0 block size       4 identification (8)   12 hardware version    16 production week (2)
//   18 production year (2)   20 serial number (signed 32-bit, -1 = none)   24 RAM size (2)
//   26 flash size (2)   28 code start   300 code length   304 code CRC
//  308 CRC-32 of bytes 0 to 307
// Week and year are written as two ASCII digits each; blocks of older modules may hold
// them as 16-bit numbers (the year then in full).
#include <QByteArray>
#include <QString>

namespace hwInfoBlock {

constexpr int blockSize = 312;
constexpr int ofsVersion = 12, ofsWeek = 16, ofsYear = 18, ofsSerial = 20, ofsCrc = 308;

// The leading number of a text (blanks before it skipped), 0 when there is none.
double numericValue(const QString& text);
// A whole number with at least two digits ("7" gives "07").
QString twoDigits(double value);

// Week 1 to 52, year 1980 to 2079, by their numeric values.
bool validateProductionDate(const QString& week, const QString& year);

// A serial number the block can hold: a whole decimal number of the signed 32-bit range.
bool validSerial(const QString& serial);

// What the repair shows of a block read from a module.
struct Decoded {
    QString serial;              // signed decimal
    bool serialPresent = false;  // not "-1"
    QString week = QStringLiteral("01");
    QString year = QStringLiteral("1980");
    QString version;             // at least two digits, as the template files are named
};
// block holds at least blockSize bytes.
Decoded decode(const QByteArray& block);

// The template's first blockSize bytes with the engineer's entries and a new block CRC.
// The week is written as its two digits, the year as the last two digits of its number,
// the serial number and the version as numbers.
QByteArray build(const QByteArray& templ, const QString& serial, const QString& week, const QString& year,
                 const QString& version);

}  // namespace hwInfoBlock

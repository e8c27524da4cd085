#pragma once
// The hardware info block of section 1 as the repair reads and writes it; its layout is in
// can/moduleprotocol.h. Week and year are written as two ASCII digits each.
#include "can/moduleprotocol.h"

#include <QByteArray>
#include <QString>

namespace hwInfoBlock {

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
// block holds at least hwInfoBlockSize bytes.
Decoded decode(const QByteArray& block);

// The template's first hwInfoBlockSize bytes with the engineer's entries and a new block CRC.
// The week is written as its two digits, the year as the last two digits of its number,
// the serial number and the version as numbers.
QByteArray build(const QByteArray& templ, const QString& serial, const QString& week, const QString& year,
                 const QString& version);

}  // namespace hwInfoBlock

#pragma once
// The CRC of a parameter group: the values of the group's dcEnums rows (id >= 0, in id
// order) as 32-bit big-endian numbers back to back, through the 16-bit CRC of the CRC
// library. The result is stored in the group's special entry "DC_CRC_FIRST_GROUP<g>".
#include <QByteArray>
#include <QString>
#include <vector>

namespace groupCrc {

// The symbol name of the group's CRC entry (empty, and reported, when the alias is missing).
QString symbolOf(int group);

// The CRC buffer of a group's values.
QByteArray buffer(const std::vector<qint32>& values);

struct Result {
    quint16 crc = 0;
    qint32 length = 0;  // 0: the group has no rows
    QString error;      // a row whose value is no 32-bit number; nothing is computed then
};
Result compute(const QString& db, int group);

// Writes the CRC into the entry's value when it differs; false when there is no such row.
bool store(const QString& db, const QString& symbol, quint16 crc);

}  // namespace groupCrc

#pragma once
// What the reconstruction checks of a template once the image has been read into it: the
// rows whose values the image did not give, and the CRC-group entries, whose values are
// 16-bit CRCs.
#include <QString>
#include <QStringList>
#include <functional>

namespace reconstructionCheck {

// The rows of dcEnums and alarmEnums (id >= 0) of which a column that the read pass
// restores still holds the template's placeholder, each as "name: column, column".
QStringList unfilledRows(const QString& db);

// The CRC-group entries (the rows named by symbolOf(1) to symbolOf(7)) whose value is no
// number from 0 to 65535, each as "name = value".
QStringList crcEntriesOutOfRange(const QString& db, const std::function<QString(int group)>& symbolOf);

}  // namespace reconstructionCheck

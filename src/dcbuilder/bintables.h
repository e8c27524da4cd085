#pragma once
// The builder's tables of a data-container database: the step tables of the binary image,
// `dcBinFile` (data part) and `alarmBinFile` (alarm part), and the old plant information
// `plantInfo`. This is the one place where their columns are written down.
//
// A step table row is one item of the image (or the head of a loop over items):
//   step       row number, the walk's order and the target of goto
//   content    TABLE rows: the enumeration-table column holding the item; else a label
//              (the row "dcVersion" carries the data-container version in its value)
//   value      "DC_..." special entry, "TABLE..." table item ("_" at the end: same record),
//              a number (decimal or "&H" hex), or the name of a sourceScan constant
//   noOfBytes  width and alignment: 1, 2, 4 numbers, any other width a text
//   loops      repeat count (number or constant name), loaded where the counter is 0
//   goto       step to jump back to while the counter stays at 1 or more
//   class, varGroup   TABLE rows: which records the item takes
#include "dao/dao.h"

#include <QString>

namespace dcBinTables {

inline const QString kDcBinFile = QStringLiteral("dcBinFile");
inline const QString kAlarmBinFile = QStringLiteral("alarmBinFile");
inline const QString kPlantInfo = QStringLiteral("plantInfo");

// The CREATE TABLE statement of dcBinFile, alarmBinFile or plantInfo; a RuntimeError for
// any other name.
QString g_createStatement(const QString& table);

// Creates the two step tables (and plantInfo when asked), skipping any that exists.
void g_createTables(dao::Database& db, bool withPlantInfo = false);

}  // namespace dcBinTables

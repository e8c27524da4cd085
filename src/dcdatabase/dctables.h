#pragma once
// The symbol tables of a data-container database: `sourceScan` (the raw header scan),
// `dcEnums` (parameters and variables) and `alarmEnums` (alarms), each with a backup copy
// named after it with "Backup" appended. This is the one place where their columns are
// written down; the scan, the editor and the builder read and write these columns.
//
// Conventions the tables carry:
//   - rows with id >= 0 are symbols; rows with id < 0 in dcEnums/alarmEnums are default
//     rows (new symbols take their attributes from them) and survive every rebuild;
//   - the alarm link ids use -1 (signalIndex, onDelayIndex, offDelayIndex) and 255
//     (onOffDelayId) for "no symbol";
//   - upDate holds the change code of the last scan: in sourceScan 0 new, 1 unchanged,
//     3 renamed, 4 new id, 5 set to not used; in sourceScanBackup 1 found again, 2 gone;
//     in dcEnums/alarmEnums after a rebuild 1 unchanged and 0 new or changed.
#include "dao/dao.h"

#include <QString>
#include <QStringList>

namespace dcTables {

inline const QString kSourceScan = QStringLiteral("sourceScan");
inline const QString kDcEnums = QStringLiteral("dcEnums");
inline const QString kAlarmEnums = QStringLiteral("alarmEnums");
inline const QString kBackupSuffix = QStringLiteral("Backup");

// The link sentinels of alarmEnums.
constexpr qint64 kNoDcLink = -1;
constexpr qint64 kNoDelayLink = 255;

// The seven columns that a scan writes; every other column of dcEnums/alarmEnums is an
// attribute that the rebuild keeps.
const QStringList& scannedColumns();

// The CREATE TABLE statement of one of the three tables or of its backup (the backup has
// the same columns). Text columns compare without regard to case; every identifier is
// quoted, so keywords such as "class", "value" or "condition" are plain column names.
// Raises a RuntimeError for any other table name.
QString g_createStatement(const QString& table);

// Creates the three tables in the database (and their backups when withBackups), skipping
// any that exists already.
void g_createTables(dao::Database& db, bool withBackups = false);

}  // namespace dcTables

#pragma once
// The header-file scan and the rebuild of the data-container symbol tables from it.
// Each operation is all or nothing: it works inside one transaction of the database, so
// a scan or rebuild that fails leaves every table as it was.
#include "dcdatabase/logwindow.h"

#include <QString>

namespace modScanHeaderFiles {

// Rebuilds the symbol table (the builder passes "sourceScan") from "global.h",
// "library.h" and "dataContainer.h" in the database's directory: parses them, shifts the
// parameter ids, groups and expands arrays, compares with the previous scan and writes the
// change report into the log window. True when the table was rebuilt; false when a file
// is missing, an expression cannot be evaluated, a file ends inside an entry or a scan
// section, a file holds a NUL byte or the grouping fails (each reported in the log), and the tables are then unchanged.
bool g_scanHeaderFiles(ScanLogWindow& log, const QString& dbPath, const QString& table);

// Rebuilds dcEnums or alarmEnums (a name containing "alarm") from the source table,
// keeping what was entered for each symbol found again and giving new symbols the
// attributes of the table's default rows (id < 0), which stay as they are.
void g_buildEnumTable(LogWindow& log, const QString& dbPath, const QString& table, const QString& sourceTable);

// Brings one link pair of every alarm in line ("signalIndex", "onDelayIndex",
// "offDelayIndex" against dcEnums, "onOffDelayId" against the DELAY_INST rows of
// sourceScan): a name gives the id, else an id gives the name. Returns the number of links
// that could not be resolved, each logged into the builder's log.
int g_buildAlarmListIndexes(const QString& dbPath, const QString& idColumn);

// "LOG:", "VAR:" or "PAR:" for the classes ALARM, VARIABLE and PARAMETER; else "".
QString symbolPrefix(const QString& cls);

}  // namespace modScanHeaderFiles

#pragma once
// Small data-container databases for tests: the three symbol tables with their real
// columns, a `version` table that says the database is current, and optional default
// rows; plus a writer for header files.
#include "dao/dao.h"

#include <QString>
#include <QVariantMap>
#include <vector>

namespace dcfixture {

struct Options {
    bool versionTable = true;  // a version row of this program, so no upgrade is asked for
    bool defaultRows = true;   // dcEnums: "PAR_DEFAULT" (id -1) and "GLB_DEFAULT" (id -2); alarmEnums: "ALARM_DEFAULT" (id -1)
    bool backups = false;      // also the three backup tables
};

// Creates a new database file at path (an existing file is replaced).
void makeDatabase(const QString& path, const Options& options = {});
// Inserts one row: column name -> value.
void insertRow(const QString& path, const QString& table, const QVariantMap& row);
// The rows of a query, each as column name -> value.
std::vector<QVariantMap> rows(const QString& path, const QString& sql);

// Writes a text file as Windows-1252 bytes, exactly as given (line ends included).
void writeFile(const QString& path, const QString& text);

// The "DC_" aliases of the special entries (software and plant information, group CRCs)
// into a configuration database's aliasSymbolName table, as a real site holds them.
void insertAliases(dao::Database& config);

// The header files a header scan reads: global.h (constants; with withVersions the
// software version 12, developer number 2042 and data-container version 9), library.h
// (one delay) and dataContainer.h (the variable ENGINE_SPEED, the alarm AL_OIL_LOW and the
// software-information parameters).
void writeHeaderSet(const QString& dir, bool withVersions = true);

}  // namespace dcfixture

#pragma once
// Access to the program's databases: the open with its two passwords, record sets on a
// query, the small schema operations of the data-container upgrade and tools, and the
// reader of a data-container database's version. The handles belong to the callers.
#include "dao/dao.h"
#include "dao/datacontrol.h"

#include <QString>
#include <memory>
#include <vector>

namespace modDataBase {

// One column of g_addTable: name, DAO field-type code (dao::FieldType), size (0 = default).
using FieldDescription = dao::FieldDef;

// Opens a database exclusively, first with the first password and, when that fails, with
// the second. When both fail an error box names the path and the read-only flag, and the
// reason the database layer gave (a missing, locked or broken file). The caller's handle
// is cleared first and set when the open succeeds.
bool g_openDBBothPasswords(const QString& dbName, std::shared_ptr<dao::Database>& db, bool readOnly);

// Opens the database and a record set on the SQL text. True when the record set is open and
// holds a row, or allowEmpty. A record set that cannot be opened shows an error box unless
// quiet; an empty one gives false silently and stays open in the caller's variables.
bool g_iniRecordset(const QString& dbName, const QString& sql, std::shared_ptr<dao::Database>& db,
                    std::shared_ptr<dao::Recordset>& rs, bool allowEmpty, bool readOnly, bool quiet);

// Binds a data control to the database and, when sql is not empty, to a record set on it
// (values go in as bound parameters). True when bound and (no SQL, or a row is there). An
// open failure of the record set shows an error box; the control then holds none.
bool g_iniDataObject(dao::DataControl& control, const QString& dbName, const QString& sql, bool readOnly,
                     const QVariantList& params = {});

// Adds a column of the given SQL type when the table lacks it; true when added, with one
// line appended to the log.
bool g_addColumn(const QString& dbName, const QString& table, const QString& column, const QString& sqlType,
                 QString& log, bool quiet);
// Sets the column of every row to an SQL expression (text values come with their quotes).
void g_setColumn(const QString& dbName, const QString& table, const QString& column, const QString& value);
// True when the column exists; removes it unless reportOnly, and logs either way.
bool g_removeColumn(const QString& dbName, const QString& table, const QString& column, QString& log,
                    bool reportOnly, bool quiet);
// True when the table has a field of that name (without regard to case, as the engine).
bool g_fieldExists(const QString& dbName, const QString& table, const QString& field);
// Creates the table with the given columns when no table of that name exists; true when created.
bool g_addTable(const QString& dbName, const QString& table, const std::vector<FieldDescription>& fields);
// Drops the table (true when it was dropped), or with reportOnly only logs that it could go.
bool g_removeTable(const QString& dbName, const QString& table, QString& log, bool reportOnly);

// The newest program version recorded in a data-container database's `version` table, or
// "0.0.0". upToDate becomes true when that version is not older than the program's; it is
// left as it was when the table cannot be read.
QString g_getDatabaseVersion(const QString& dbName, bool& upToDate);

}  // namespace modDataBase

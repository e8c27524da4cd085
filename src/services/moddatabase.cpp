#include "services/moddatabase.h"

#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"

#include <QFileInfo>
#include <QStringList>

namespace modDataBase {
using modStringFct::sprintf;

namespace {

// Every database of the program carries one of these two; the layer accepts and ignores them.
const QString kPassword1 = QStringLiteral("tavrepok");
const QString kPassword2 = QStringLiteral("brelun");
QString connectString(const QString& pwd) { return QStringLiteral(";pwd=") + pwd; }

QString errorDescription(const std::exception& e) { return ErrPtnr::describe({}, {}, &e).description; }

// The engine knows column names without regard to case: a column that differs only in
// case is there, and adding it again would fail.
bool hasField(const dao::Recordset& rs, const QString& name) { return rs.FieldIndex(name) >= 0; }

void closeQuietly(std::shared_ptr<dao::Recordset>& rs) {
    if (rs && rs->IsOpen()) rs->Close();
}
void closeQuietly(std::shared_ptr<dao::Database>& db) {
    if (db && db->IsOpen()) db->Close();
}

}  // namespace

bool g_openDBBothPasswords(const QString& dbName, std::shared_ptr<dao::Database>& db, bool readOnly) {
    db.reset();
    // The layer's reason tells a locked file from a broken one; the box shows it.
    QString cause;
    for (const QString& password : {kPassword1, kPassword2}) {
        try {
            db = dao::OpenDatabase(dbName, true, readOnly, connectString(password));
            if (db) return true;
        } catch (const std::exception& e) {
            db.reset();
            cause = errorDescription(e);
        } catch (...) {
            db.reset();
        }
    }
    modMsgBox::g_errorMsgBox(QStringLiteral("Error in opening database: modDataBase g_iniRecordset ") +
                                 (cause.isEmpty() ? QString() : QLatin1Char('\r') + cause),
                             sprintf("DB-Name: {*} / ReadOnly: {yes/no}", dbName, readOnly), true);
    return false;
}

bool g_iniRecordset(const QString& dbName, const QString& sql, std::shared_ptr<dao::Database>& db,
                    std::shared_ptr<dao::Recordset>& rs, bool allowEmpty, bool readOnly, bool quiet) {
    bool result = false;
    trap("modDataBase", "g_iniRecordset", [&] {
        rs.reset();
        if (!g_openDBBothPasswords(dbName, db, readOnly)) return;
        try {
            rs = db->OpenRecordset(sql);
        } catch (const std::exception& e) {
            rs.reset();
            if (!quiet)
                modMsgBox::g_errorMsgBox(
                    sprintf("Error in opening record set: modDataBase g_iniRecordset \\rDB-Name: {*}\\r"
                            "SQL-Query: {*}\\rVB Error Descrtiption: {*}",
                            dbName, sql, errorDescription(e)),
                    QString(), true);
            return;
        }
        result = !rs->eof() || allowEmpty;
    });
    return result;
}

bool g_iniDataObject(dao::DataControl& control, const QString& dbName, const QString& sql, bool readOnly,
                     const QVariantList& params) {
    bool result = false;
    trap("modDataBase", "g_iniDataObject", [&] {
        control.DatabaseName = dbName;
        control.ReadOnly = readOnly;
        control.Exclusive = false;
        control.Connect = connectString(kPassword1);
        try {
            control.Refresh();
        } catch (...) {
            control.Connect = connectString(kPassword2);
            try {
                control.Refresh();
            } catch (...) {
            }
        }
        if (sql.isEmpty()) {
            result = true;
            return;
        }
        try {
            if (!control.Database()) throw std::runtime_error("database not open");
            control.setRecordset(control.Database()->OpenRecordset(sql, params));
        } catch (const std::exception& e) {
            control.setRecordset(nullptr);
            modMsgBox::g_errorMsgBox(sprintf("Error in opening record set: modDataBase g_iniDataObject \\r{*}",
                                             errorDescription(e)),
                                     QString(), true);
            return;
        }
        result = !control.Recordset()->eof();
    });
    return result;
}

bool g_addColumn(const QString& dbName, const QString& table, const QString& column, const QString& sqlType,
                 QString& log, bool quiet) {
    bool result = false;
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    trap("modDataBase", "g_addColumn", [&] {
        if (!g_iniRecordset(dbName, sprintf("SELECT * FROM {*}", table), db, rs, true, false, quiet)) {
            if (!quiet)
                modMsgBox::g_informationMsgBox(
                    sprintf("Database {*} could not be opend to check\\rif field {*} does exist in table {*}!",
                            dbName, column, table),
                    QString(), true);
            return;
        }
        const bool exists = hasField(*rs, column);
        rs->Close();
        if (!exists) {
            // The database layer gives an added text column the case-blind comparison of the others.
            db->Execute(sprintf("ALTER TABLE {*} ADD COLUMN {*} {*};", table, column, sqlType));
            if (modGlobal::g_develop)
                modMsgBox::g_informationMsgBox2(sprintf("Field {*} has been added to the table {*}\\rin database {*}!",
                                                        column, table, modFileFct::g_fileName(dbName)),
                                                QString(), false, 1000);
            log += sprintf("Field '{*}' added to table '{*}'\\n", column, table);
            result = true;
        }
    });
    closeQuietly(rs);
    closeQuietly(db);
    return result;
}

void g_setColumn(const QString& dbName, const QString& table, const QString& column, const QString& value) {
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    trap("modDataBase", "g_setColumn", [&] {
        if (!g_iniRecordset(dbName, sprintf("SELECT * FROM {*}", table), db, rs, true, false, false)) return;
        rs->Close();
        db->Execute(sprintf("UPDATE {*} SET {*}={*};", table, column, value));
    });
    closeQuietly(rs);
    closeQuietly(db);
}

bool g_removeColumn(const QString& dbName, const QString& table, const QString& column, QString& log,
                    bool reportOnly, bool quiet) {
    bool found = false;
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    // A report changes nothing, so it has nothing to tell when the table is missing.
    const bool silent = quiet || reportOnly;
    trap("modDataBase", "g_removeColumn", [&] {
        if (!g_iniRecordset(dbName, sprintf("SELECT * FROM {*}", table), db, rs, true, false, silent)) {
            if (!silent)
                modMsgBox::g_informationMsgBox(sprintf("Database {*} could not be opend to remove\\rfield {*} in table {*}!",
                                                       dbName, column, table),
                                               QString(), true);
            return;
        }
        found = hasField(*rs, column);
        rs->Close();
        if (!found) return;
        if (reportOnly) {
            log += sprintf("Field '{*}' in table '{*}' is not needed anymore and could be removed\\n", column, table);
            return;
        }
        db->Execute(sprintf("ALTER TABLE {*} DROP COLUMN [{*}];", table, column));
        if (modGlobal::g_develop)
            modMsgBox::g_informationMsgBox2(sprintf("Field {*} has been removed from table {*}\\rin database {*}!",
                                                    column, table, modFileFct::g_fileName(dbName)),
                                            QString(), false, 1000);
        log += sprintf("Field '{*}' removed from table '{*}'\\n", column, table);
    });
    closeQuietly(rs);
    closeQuietly(db);
    return found;
}

bool g_fieldExists(const QString& dbName, const QString& table, const QString& field) {
    bool result = false;
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    trap("modDataBase", "g_fieldExists", [&] {
        if (!g_iniRecordset(dbName, sprintf("SELECT * FROM {*}", table), db, rs, true, true, false)) return;
        result = hasField(*rs, field);
    });
    closeQuietly(rs);
    closeQuietly(db);
    return result;
}

bool g_addTable(const QString& dbName, const QString& table, const std::vector<FieldDescription>& fields) {
    if (dbName.isEmpty() || table.isEmpty() || !QFileInfo(dbName).isFile()) return false;
    bool result = false;
    std::shared_ptr<dao::Database> db;
    trap("modDataBase", "g_addTable", [&] {
        db = dao::OpenDatabase(dbName, true, false, connectString(kPassword1));
        // The engine knows table names without regard to case, so "Version" is "version".
        if (db->TableExists(table)) return;
        db->CreateTable(table, fields);
        result = true;
    });
    closeQuietly(db);
    return result;
}

bool g_removeTable(const QString& dbName, const QString& table, QString& log, bool reportOnly) {
    if (reportOnly) {
        log += sprintf("Table '{*}' is not needed anymore and could be removed\\n", table);
        return false;
    }
    bool result = false;
    std::shared_ptr<dao::Database> db;
    trap("modDataBase", "g_removeTable", [&] {
        if (!g_openDBBothPasswords(dbName, db, false)) return;
        try {
            db->Execute(sprintf("DROP TABLE {*}", table));
            result = true;
        } catch (const std::exception&) {
            result = false;
        }
        // Only a table that is gone is logged as removed.
        if (result) log += sprintf("Table '{*}' removed\\n", table);
    });
    closeQuietly(db);
    return result;
}

QString g_getDatabaseVersion(const QString& dbName, bool& upToDate) {
    QString version = QStringLiteral("0.0.0");
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    trap("modDataBase", "g_getDatabaseVersion", [&] {
        if (!g_iniRecordset(dbName, QStringLiteral("SELECT * FROM version ORDER BY date DESC"), db, rs, false, true, true))
            return;
        version = rs->Value(QStringLiteral("applVersion")).toString();
        const QStringList parts = version.split(QLatin1Char('.'));
        if (parts.size() < 3) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
        qint32 v[3];
        for (int i = 0; i < 3; ++i) v[i] = modGlobal::decimalValue(parts[i]);
        const qint32 major = programInfo::versionMajor, minor = programInfo::versionMinor,
                     revision = programInfo::versionRevision;
        const bool older = v[0] < major || (v[0] == major && v[1] < minor) ||
                           (v[0] == major && v[1] == minor && v[2] < revision);
        upToDate = !older;
    });
    closeQuietly(rs);
    closeQuietly(db);
    return version;
}

}  // namespace modDataBase

#pragma once
// Small helpers over the SQLite C API shared by the database and record-set classes:
// a statement holder, the engine's errors as Jet-numbered RuntimeErrors, value binding
// and reading with the layer's conventions (dates as ISO text, booleans as -1/0).
#include "desktop/runtimeerror.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <sqlite3.h>

namespace dao::detail {

// Jet error numbers the layer raises.
enum JetError : long {
    errUpdateWithoutEdit = 3020,  // "Update or CancelUpdate without AddNew or Edit."
    errNoCurrentRecord = 3021,
    errDuplicate = 3022,
    errFileNotFound = 3024,
    errReadOnly = 3027,
    errTableExists = 3010,
    errTooFewParameters = 3061,
    errTextAfterEnd = 3142,
    errNoFields = 3264,
    errDatabaseExists = 3204,
    errFileInUse = 3045,
    errCannotOpen = 3051,
    errSyntax = 3075,
    errNoSuchTable = 3078,
    errRecordDeleted = 3167,
    errInvalidOperation = 3219,
    errLocked = 3260,
    errItemNotFound = 3265,
    errNotADatabase = 3343,
    errOpenedExclusively = 3356,
    errObjectInvalid = 3420,
    errTypeMismatch = 3464,
};

[[noreturn]] void fail(long number, const QString& description);
// Raises the connection's last error; the description is the engine's own message.
[[noreturn]] void failEngine(sqlite3* db, int rc);
// The stored text of a date, "yyyy-MM-dd HH:mm:ss", which sorts as the date does.
QString dateText(const QVariant& v);
// Quotes an identifier for SQL: "name" with inner quotes doubled.
QString quoteIdent(const QString& name);
// True for a declared type whose values read back as dates.
bool isDateDeclared(const QString& declType);

// A prepared statement; finalized when it goes.
class Stmt {
public:
    Stmt() = default;
    // Prepares the first statement of sql; tail() gives what followed it.
    Stmt(sqlite3* db, const QString& sql);
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt(Stmt&& o) noexcept : m_db(o.m_db), m_stmt(o.m_stmt), m_tail(std::move(o.m_tail)) { o.m_stmt = nullptr; }
    Stmt& operator=(Stmt&& o) noexcept;

    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }
    const QString& tail() const { return m_tail; }
    int paramCount() const { return sqlite3_bind_parameter_count(m_stmt); }

    // Binds values to the "?" parameters from the first on; too few or too many is an error.
    void bindAll(const QVariantList& params, int first = 1);
    void bind(int index, const QVariant& v);
    // One step: true when a row is there; an engine error is raised (and the statement reset).
    bool step();
    void reset() { sqlite3_reset(m_stmt); sqlite3_clear_bindings(m_stmt); }
    int columnCount() const { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const;
    QString declType(int i) const;
    // A column of the current row; a date column's ISO text comes back as QDateTime.
    QVariant value(int i, bool isDate = false) const;

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_tail;
};

// Prepares the one statement of sql; text after it is refused, as Jet refused it.
Stmt prepareOne(sqlite3* db, const QString& sql);

}  // namespace dao::detail

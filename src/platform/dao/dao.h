#pragma once
// A DAO-like database layer over SQLite: Database, Recordset and table definitions with
// the semantics the program relies on (see the notes on each member). Every failure is a
// RuntimeError (number and description), as the Jet engine raised them.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <vector>

namespace dao {

// DAO field-type codes, as stored in field descriptions.
enum FieldType : int {
    dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5, dbSingle = 6, dbDouble = 7,
    dbDate = 8, dbBinary = 9, dbText = 10, dbLongBinary = 11, dbMemo = 12, dbGUID = 15, dbBigInt = 16,
};

struct FieldDef {
    QString name;
    int type = dbText;  // a FieldType code
    int size = 0;       // 0 = the type's default
};

class Recordset;

class Database : public std::enable_shared_from_this<Database> {
public:
    virtual ~Database() = default;
    // The file's path as it was opened.
    virtual QString Name() const = 0;
    virtual bool ReadOnly() const = 0;
    // Runs one statement in SQLite's dialect; values are bound to its "?" parameters.
    virtual void Execute(const QString& sql, const QVariantList& params = {}) = 0;
    virtual qint64 RecordsAffected() const = 0;
    // Opens a record set on a query. Its rows are fixed when it opens.
    virtual std::shared_ptr<Recordset> OpenRecordset(const QString& sql, const QVariantList& params = {}) = 0;

    // Table definitions. Names are matched without regard to case.
    virtual QStringList TableNames() const = 0;
    virtual bool TableExists(const QString& table) const = 0;
    virtual std::vector<FieldDef> TableFields(const QString& table) const = 0;
    // Creates a table; text columns compare without regard to case.
    virtual void CreateTable(const QString& table, const std::vector<FieldDef>& fields) = 0;
    // In place of Jet's SELECT ... INTO: copies a table with its column definitions and rows.
    virtual void CopyTable(const QString& source, const QString& target) = 0;
    // In place of Jet's ... IN '<file>': copies a table into another database file.
    virtual void CopyTableTo(const QString& source, const QString& otherFile, const QString& target) = 0;

    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

class Recordset {
public:
    virtual ~Recordset() = default;
    virtual bool eof() const = 0;
    virtual bool bof() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveLast() = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;
    virtual int RecordCount() const = 0;
    virtual int AbsolutePosition() const = 0;
    // Moves to the row of that number (0 = first), as DAO's settable AbsolutePosition;
    // a grid reads its cells this way without walking the cursor.
    virtual void SetAbsolutePosition(int position) = 0;

    // Finds the first row of the set (rows it added itself included) that meets the
    // criterion, an SQL expression with "?" parameters. The current row moves there;
    // NoMatch() tells whether none did (the position is then undefined, as in DAO).
    virtual void FindFirst(const QString& criterion, const QVariantList& params = {}) = 0;
    virtual void FindNext(const QString& criterion, const QVariantList& params = {}) = 0;
    virtual bool NoMatch() const = 0;

    // Edit the current row or start a new one; Update writes only the changed fields, by
    // row id, at once. A new row joins the set and becomes the current row.
    virtual void Edit() = 0;
    virtual void AddNew() = 0;
    virtual void Update() = 0;
    virtual void CancelUpdate() = 0;
    virtual void Delete() = 0;

    // Fields in column order, also for an empty result.
    virtual int FieldCount() const = 0;
    virtual QString FieldName(int index) const = 0;
    virtual int FieldIndex(const QString& name) const = 0;  // -1 when missing; no regard to case
    virtual QVariant Value(int index) const = 0;
    virtual QVariant Value(const QString& name) const = 0;
    virtual void SetValue(int index, const QVariant& v) = 0;
    virtual void SetValue(const QString& name, const QVariant& v) = 0;

    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

// Opens a database file. Exclusive opening holds an advisory lock on the file, so another
// process is refused while this one has it open; inside one process the file is shared.
// The connect string (";pwd=...") is accepted and not checked: SQLite has no passwords.
std::shared_ptr<Database> OpenDatabase(const QString& path, bool exclusive, bool readOnly, const QString& connect = QString());
// Creates a new, empty database file.
std::shared_ptr<Database> CreateDatabase(const QString& path);

}  // namespace dao

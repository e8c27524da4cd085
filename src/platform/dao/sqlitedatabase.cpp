#include "dao/sqlitedatabase.h"

#include "dao/fieldtypes.h"
#include "dao/recordsetbase.h"
#include "dao/sqlitecore.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace dao::detail {

namespace {
const QString kReadOnlyText = QStringLiteral("Cannot update. Database or object is read-only.");

}  // namespace

void exec(sqlite3* db, const QString& sql, const QVariantList& params) {
    Stmt st = prepareOne(db, sql);
    st.bindAll(params);
    while (st.step()) {
    }
}

QString withNocaseAddedColumn(const QString& sql) {
    // An identifier: quoted in one of SQLite's ways, or a bare word.
    static const QString ident = QStringLiteral("(?:\"(?:[^\"]|\"\")*\"|\\[[^\\]]*\\]|`[^`]*`|[^\\s\"\\[`]+)");
    static const QRegularExpression addColumn(
        QStringLiteral("^\\s*ALTER\\s+TABLE\\s+%1\\s+ADD\\s+(?:COLUMN\\s+)?%1\\s+([^;]*?)\\s*;?\\s*$").arg(ident),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression constraint(
        QStringLiteral("\\b(CONSTRAINT|PRIMARY|NOT|NULL|UNIQUE|CHECK|DEFAULT|COLLATE|REFERENCES|GENERATED|AS)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = addColumn.match(sql);
    if (!m.hasMatch()) return sql;
    const QString def = m.captured(1);
    const qsizetype typeEnd = def.indexOf(constraint);
    if (!isTextDeclared(typeEnd < 0 ? def : def.left(typeEnd)) || def.contains(QLatin1String("COLLATE"), Qt::CaseInsensitive))
        return sql;
    return sql.left(m.capturedEnd(1)) + QLatin1String(" COLLATE NOCASE") + sql.mid(m.capturedEnd(1));
}

sqlite3* SqliteDatabase::conn() const {
    if (!m_lease) fail(errObjectInvalid, QStringLiteral("Object invalid or no longer set."));
    return m_lease->db();
}

void SqliteDatabase::requireWritable() const {
    conn();
    if (m_readOnly) fail(errReadOnly, kReadOnlyText);
}

void SqliteDatabase::Execute(const QString& sql, const QVariantList& params) {
    sqlite3* db = conn();
    Stmt st = prepareOne(db, withNocaseAddedColumn(sql));
    if (m_readOnly && !sqlite3_stmt_readonly(st.get())) fail(errReadOnly, kReadOnlyText);
    st.bindAll(params);
    const qint64 before = sqlite3_total_changes64(db);
    m_affected = 0;
    while (st.step()) {
    }
    // sqlite3_changes keeps the count of an earlier statement across DDL.
    m_affected = sqlite3_total_changes64(db) == before ? 0 : sqlite3_changes64(db);
}

std::shared_ptr<Recordset> SqliteDatabase::OpenRecordset(const QString& sql, const QVariantList& params) {
    conn();
    return openRecordset(m_lease, m_readOnly, sql, params);
}

QStringList SqliteDatabase::TableNames() const {
    Stmt st(conn(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name"));
    QStringList names;
    while (st.step()) names << st.value(0).toString();
    return names;
}

bool SqliteDatabase::TableExists(const QString& table) const {
    Stmt st(conn(), QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    st.bindAll({table});
    return st.step();
}

std::vector<FieldDef> SqliteDatabase::TableFields(const QString& table) const {
    Stmt st(conn(), QStringLiteral("SELECT name, type FROM pragma_table_info(?)"));
    st.bindAll({table});
    std::vector<FieldDef> fields;
    while (st.step()) fields.push_back(fieldFromDeclared(st.value(0).toString(), st.value(1).toString()));
    if (fields.empty()) fail(errNoSuchTable, QStringLiteral("Could not find table '%1'.").arg(table));
    return fields;
}

void SqliteDatabase::CreateTable(const QString& table, const std::vector<FieldDef>& fields) {
    requireWritable();
    if (TableExists(table)) fail(errTableExists, QStringLiteral("Table '%1' already exists.").arg(table));
    if (fields.empty()) fail(errNoFields, QStringLiteral("No field defined--cannot append TableDef or Index."));
    QStringList defs;
    for (const FieldDef& f : fields) defs << columnDefinition(f);
    exec(conn(), QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteIdent(table), defs.join(QLatin1String(", "))));
}

void SqliteDatabase::CopyTable(const QString& source, const QString& target) {
    requireWritable();
    copyTable(conn(), source, QStringLiteral("main"), target);
}

void SqliteDatabase::CopyTableTo(const QString& source, const QString& otherFile, const QString& target) {
    sqlite3* db = conn();
    // The other file is held like any open, so a file another process has open is refused.
    const std::shared_ptr<Lease> other = Lease::acquire(otherFile, true);
    exec(db, QStringLiteral("ATTACH DATABASE ? AS kelb_copy"), {QFileInfo(otherFile).absoluteFilePath()});
    try {
        copyTable(db, source, QStringLiteral("kelb_copy"), target);
    } catch (...) {
        exec(db, QStringLiteral("DETACH DATABASE kelb_copy"));
        throw;
    }
    exec(db, QStringLiteral("DETACH DATABASE kelb_copy"));
}

void copyTable(sqlite3* db, const QString& source, const QString& targetSchema, const QString& target) {
    Stmt cols(db, QStringLiteral("SELECT name, type FROM pragma_table_info(?, 'main')"));
    cols.bindAll({source});
    QStringList names, defs;
    while (cols.step()) {
        const QString name = cols.value(0).toString();
        QString def = quoteIdent(name) + QLatin1Char(' ') + cols.value(1).toString();
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db, "main", source.toUtf8().constData(), name.toUtf8().constData(), nullptr,
                                          &collation, nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation && qstricmp(collation, "BINARY") != 0)
            def += QLatin1String(" COLLATE ") + QString::fromUtf8(collation);
        names << quoteIdent(name);
        defs << def;
    }
    if (names.isEmpty()) fail(errNoSuchTable, QStringLiteral("Could not find table '%1'.").arg(source));
    Stmt exists(db, QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name=? COLLATE NOCASE").arg(targetSchema));
    exists.bindAll({target});
    if (exists.step()) fail(errTableExists, QStringLiteral("Table '%1' already exists.").arg(target));

    const QString to = targetSchema + QLatin1Char('.') + quoteIdent(target);
    const QString list = names.join(QLatin1String(", "));
    exec(db, QStringLiteral("SAVEPOINT kelb_copy_table"));
    try {
        exec(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(to, defs.join(QLatin1String(", "))));
        exec(db, QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM main.%3").arg(to, list, quoteIdent(source)));
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO kelb_copy_table; RELEASE kelb_copy_table", nullptr, nullptr, nullptr);
        throw;
    }
    exec(db, QStringLiteral("RELEASE kelb_copy_table"));
}

}  // namespace dao::detail

namespace dao {

std::shared_ptr<Database> OpenDatabase(const QString& path, bool exclusive, bool readOnly, const QString& connect) {
    Q_UNUSED(connect)  // SQLite has no database password
    return std::make_shared<detail::SqliteDatabase>(path, detail::Lease::acquire(path, exclusive), readOnly);
}

std::shared_ptr<Database> CreateDatabase(const QString& path) {
    if (QFileInfo::exists(path)) detail::fail(detail::errDatabaseExists, QStringLiteral("Database already exists."));
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Writing the header makes the file a database rather than an empty file.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA user_version=0", nullptr, nullptr, nullptr);
    const QString msg = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) {
        QFile::remove(path);
        detail::fail(detail::errCannotOpen, QStringLiteral("The database engine cannot create the file '%1': %2").arg(path, msg));
    }
    return OpenDatabase(path, true, false);
}

}  // namespace dao

#include "dcdatabase/tablewriter.h"

#include <algorithm>

namespace tableWriter {

namespace {
// Well under SQLite's limit of bound parameters per statement.
constexpr int kMaxParams = 4000;
}  // namespace

QString quoted(const QString& identifier) {
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void dropIfExists(dao::Database& db, const QString& table) {
    if (db.TableExists(table)) db.Execute(QStringLiteral("DROP TABLE ") + quoted(table));
}

void makeBackup(dao::Database& db, const QString& table) {
    const QString backup = table + QStringLiteral("Backup");
    dropIfExists(db, backup);
    db.CopyTable(table, backup);
}

QStringList columnNames(dao::Database& db, const QString& table) {
    QStringList names;
    for (const dao::FieldDef& f : db.TableFields(table)) names << f.name;
    return names;
}

void BatchInserter::add(const QStringList& columns, const QVariantList& values) {
    if (columns != m_columns || m_values.size() + values.size() > kMaxParams) flush();
    m_columns = columns;
    m_values += values;
    ++m_rows;
}

void BatchInserter::flush() {
    if (m_rows == 0) return;
    QStringList names;
    for (const QString& c : m_columns) names << quoted(c);
    const QString one = QLatin1Char('(') + QStringList(m_columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                            .arg(quoted(m_table), names.join(QLatin1Char(',')), QStringList(m_rows, one).join(QLatin1Char(',')));
    QVariantList values;
    values.swap(m_values);
    m_rows = 0;
    m_db.Execute(sql, values);
}

void setByRowId(dao::Database& db, const QString& table, const QString& column, const QVariant& value,
                const std::vector<qint64>& rowIds) {
    for (size_t start = 0; start < rowIds.size(); start += kMaxParams) {
        const size_t n = std::min(rowIds.size() - start, size_t(kMaxParams));
        QVariantList params{value};
        for (size_t i = start; i < start + n; ++i) params << rowIds[i];
        db.Execute(QStringLiteral("UPDATE %1 SET %2=? WHERE rowid IN (%3)")
                       .arg(quoted(table), quoted(column), QStringList(int(n), QStringLiteral("?")).join(QLatin1Char(','))),
                   params);
    }
}

std::vector<QVariantList> readAll(dao::Database& db, const QString& sql, const QVariantList& params) {
    // One read transaction for the whole set: the set reads its rows one at a time, and
    // each read on its own would take and drop the file's locks.
    Savepoint read(db);
    std::vector<QVariantList> rows;
    auto rs = db.OpenRecordset(sql, params);
    const int n = rs->FieldCount();
    for (; !rs->eof(); rs->MoveNext()) {
        QVariantList row;
        row.reserve(n);
        for (int i = 0; i < n; ++i) row << rs->Value(i);
        rows.push_back(std::move(row));
    }
    rs->Close();
    read.release();
    return rows;
}

}  // namespace tableWriter

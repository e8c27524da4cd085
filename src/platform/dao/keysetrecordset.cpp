#include "dao/recordsetsources.h"

#include <QRegularExpression>
#include <climits>

namespace dao::detail {

namespace {
QStringList namesOf(const Stmt& q, int first) {
    QStringList names;
    for (int i = first; i < q.columnCount(); ++i) names << q.columnName(i);
    return names;
}

std::vector<bool> datesOf(const Stmt& q, int first) {
    std::vector<bool> dates;
    for (int i = first; i < q.columnCount(); ++i) dates.push_back(isDateDeclared(q.declType(i)));
    return dates;
}

QString text(const char* s) { return QString::fromUtf8(s); }

// The key-set form of a query: its row id put first. False when the query's rows are not
// rows of one table (joins, groups, computed columns).
bool keysetForm(sqlite3* db, const QString& sql, Stmt& out) {
    static const QRegularExpression select(QStringLiteral("^\\s*SELECT\\s"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression grouped(QStringLiteral("\\b(DISTINCT|GROUP\\s+BY|HAVING|UNION|INTERSECT|EXCEPT|OVER)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression quoted(QStringLiteral("'(?:[^']|'')*'|\"(?:[^\"]|\"\")*\"|\\[[^\\]]*\\]"));
    const QRegularExpressionMatch m = select.match(sql);
    if (!m.hasMatch() || QString(sql).remove(quoted).contains(grouped)) return false;
    Stmt st;
    try {
        st = prepareOne(db, sql.left(m.capturedEnd()) + QLatin1String("rowid AS kelb_rowid__, ") + sql.mid(m.capturedEnd()));
    } catch (const RuntimeError&) {
        return false;  // a view, a join (rowid is ambiguous) or an error the plain query reports
    }
    sqlite3_stmt* s = st.get();
    const char* table = sqlite3_column_table_name(s, 0);
    const char* schema = sqlite3_column_database_name(s, 0);
    if (!table || !schema || st.columnCount() < 2) return false;
    for (int i = 1; i < st.columnCount(); ++i) {
        const char* t = sqlite3_column_table_name(s, i);
        const char* d = sqlite3_column_database_name(s, i);
        if (!t || !d || !sqlite3_column_origin_name(s, i) || qstrcmp(t, table) != 0 || qstrcmp(d, schema) != 0) return false;
    }
    out = std::move(st);
    return true;
}
}  // namespace

std::shared_ptr<Recordset> openRecordset(std::shared_ptr<Lease> lease, bool readOnly, const QString& sql,
                                         const QVariantList& params) {
    sqlite3* db = lease->db();
    Stmt query;
    if (keysetForm(db, sql, query)) {
        query.bindAll(params);
        return std::make_shared<KeysetRecordset>(std::move(lease), readOnly, query);
    }
    query = prepareOne(db, sql);
    if (query.columnCount() == 0) fail(errInvalidOperation, QStringLiteral("Invalid operation."));
    query.bindAll(params);
    return std::make_shared<SnapshotRecordset>(std::move(lease), query);
}

KeysetRecordset::KeysetRecordset(std::shared_ptr<Lease> lease, bool readOnly, Stmt& query)
    : RecordsetBase(std::move(lease), namesOf(query, 1), datesOf(query, 1), !readOnly) {
    sqlite3_stmt* s = query.get();
    m_table = quoteIdent(text(sqlite3_column_database_name(s, 0))) + QLatin1Char('.') +
              quoteIdent(text(sqlite3_column_table_name(s, 0)));
    for (int i = 1; i < query.columnCount(); ++i) m_columns << quoteIdent(text(sqlite3_column_origin_name(s, i)));
    while (query.step()) m_keys.push_back(sqlite3_column_int64(s, 0));
    m_indexStale = true;
    m_fetch = Stmt(db(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?").arg(m_columns.join(QLatin1String(", ")), m_table));
}

const QVariantList& KeysetRecordset::row(int i) const {
    const qint64 changes = sqlite3_total_changes64(db());
    if (i == m_cachedPos && changes == m_cachedAt) return m_cached;
    m_fetch.reset();
    m_cachedPos = -1;
    m_fetch.bind(1, m_keys[size_t(i)]);
    if (!m_fetch.step()) {
        m_fetch.reset();
        fail(errRecordDeleted, QStringLiteral("Record is deleted."));
    }
    m_cached.clear();
    for (int c = 0; c < m_columns.size(); ++c) m_cached << m_fetch.value(c, dateFields()[size_t(c)]);
    m_fetch.reset();  // a reset statement holds no lock
    m_cachedPos = i;
    m_cachedAt = changes;
    return m_cached;
}

int KeysetRecordset::findFrom(int start, const QString& criterion, const QVariantList& params) const {
    if (m_indexStale) {
        m_index.clear();
        for (int i = int(m_keys.size()) - 1; i >= 0; --i) m_index[m_keys[size_t(i)]] = i;
        m_indexStale = false;
    }
    Stmt st = prepareOne(db(), QStringLiteral("SELECT rowid FROM %1 WHERE (%2)").arg(m_table, criterion));
    st.bindAll(params);
    int best = INT_MAX;
    while (st.step()) {
        const auto it = m_index.find(sqlite3_column_int64(st.get(), 0));
        if (it != m_index.end() && it->second >= start && it->second < best) best = it->second;
    }
    return best == INT_MAX ? -1 : best;
}

void KeysetRecordset::writeEdit(int i, const QVariantList& values, const std::vector<bool>& changed) {
    QStringList sets;
    QVariantList params;
    for (int c = 0; c < m_columns.size(); ++c)
        if (changed[size_t(c)]) {
            sets << m_columns[c] + QLatin1String("=?");
            params << values[c];
        }
    if (sets.isEmpty()) return;
    params << m_keys[size_t(i)];
    Stmt st(db(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(m_table, sets.join(QLatin1String(", "))));
    st.bindAll(params);
    st.step();
    if (sqlite3_changes64(db()) == 0) fail(errRecordDeleted, QStringLiteral("Record is deleted."));
}

int KeysetRecordset::writeNew(const QVariantList& values, const std::vector<bool>& changed) {
    QStringList cols, marks;
    QVariantList params;
    for (int c = 0; c < m_columns.size(); ++c)
        if (changed[size_t(c)]) {
            cols << m_columns[c];
            marks << QStringLiteral("?");
            params << values[c];
        }
    const QString sql = cols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table)
                                       : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(m_table, cols.join(QLatin1String(", ")), marks.join(QLatin1String(", ")));
    Stmt st(db(), sql);
    st.bindAll(params);
    st.step();
    const qint64 key = sqlite3_last_insert_rowid(db());
    m_keys.push_back(key);
    if (!m_indexStale) m_index.emplace(key, int(m_keys.size()) - 1);
    return int(m_keys.size()) - 1;
}

void KeysetRecordset::deleteRow(int i) {
    Stmt st(db(), QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(m_table));
    st.bindAll({m_keys[size_t(i)]});
    st.step();
    m_keys.erase(m_keys.begin() + i);
    m_indexStale = true;
    m_cachedPos = -1;
}

}  // namespace dao::detail

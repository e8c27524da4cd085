#pragma once
// The two row sources of a record set.
#include "dao/recordsetbase.h"
#include "dao/sqlitecore.h"

#include <unordered_map>

namespace dao::detail {

// A query on one table: the row ids in the query's order, fixed when it opens; each row's
// values are read when asked for, so changes made meanwhile by statements are seen, and
// edits are written by row id, only the changed fields.
class KeysetRecordset : public RecordsetBase {
public:
    KeysetRecordset(std::shared_ptr<Lease> lease, bool readOnly, Stmt& query);

protected:
    int count() const override { return int(m_keys.size()); }
    const QVariantList& row(int i) const override;
    int findFrom(int start, const QString& criterion, const QVariantList& params) const override;
    void writeEdit(int i, const QVariantList& values, const std::vector<bool>& changed) override;
    int writeNew(const QVariantList& values, const std::vector<bool>& changed) override;
    void deleteRow(int i) override;
    void releaseSource() override { m_fetch = Stmt(); }

private:
    QString m_table;       // schema-qualified and quoted
    QStringList m_columns; // each field's column in the table, quoted
    std::vector<qint64> m_keys;
    mutable std::unordered_map<qint64, int> m_index;  // row id -> position; rebuilt after a delete
    mutable bool m_indexStale = false;
    mutable Stmt m_fetch;
    // The row last read, valid while the connection has made no change since.
    mutable int m_cachedPos = -1;
    mutable qint64 m_cachedAt = -1;
    mutable QVariantList m_cached;
};

// Any other query: the values of its rows as they were when it opened; read-only.
class SnapshotRecordset : public RecordsetBase {
public:
    SnapshotRecordset(std::shared_ptr<Lease> lease, Stmt& query);

protected:
    int count() const override { return int(m_rows.size()); }
    const QVariantList& row(int i) const override { return m_rows[size_t(i)]; }
    int findFrom(int start, const QString& criterion, const QVariantList& params) const override;

private:
    std::vector<QVariantList> m_rows;
};

}  // namespace dao::detail

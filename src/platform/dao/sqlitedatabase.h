#pragma once
// The Database of the layer: a handle on a process-wide open file (see openfile.h).
#include "dao/dao.h"
#include "dao/openfile.h"

namespace dao::detail {

class SqliteDatabase : public Database {
public:
    SqliteDatabase(const QString& path, std::shared_ptr<Lease> lease, bool readOnly)
        : m_path(path), m_lease(std::move(lease)), m_readOnly(readOnly) {}

    QString Name() const override { return m_path; }
    bool ReadOnly() const override { return m_readOnly; }
    void Execute(const QString& sql, const QVariantList& params = {}) override;
    qint64 RecordsAffected() const override { return m_affected; }
    std::shared_ptr<Recordset> OpenRecordset(const QString& sql, const QVariantList& params = {}) override;

    QStringList TableNames() const override;
    bool TableExists(const QString& table) const override;
    std::vector<FieldDef> TableFields(const QString& table) const override;
    void CreateTable(const QString& table, const std::vector<FieldDef>& fields) override;
    void CopyTable(const QString& source, const QString& target) override;
    void CopyTableTo(const QString& source, const QString& otherFile, const QString& target) override;

    // Record sets keep their own hold on the file, so they stay usable after Close.
    void Close() override { m_lease.reset(); }
    bool IsOpen() const override { return m_lease != nullptr; }

private:
    sqlite3* conn() const;
    void requireWritable() const;

    QString m_path;
    std::shared_ptr<Lease> m_lease;
    bool m_readOnly;
    qint64 m_affected = 0;
};

// Runs statements that take no values and return no rows.
void exec(sqlite3* db, const QString& sql, const QVariantList& params = {});
// Adds COLLATE NOCASE to a text column added by "ALTER TABLE t ADD [COLUMN] c TEXT...",
// so that columns added later compare as those created with the table.
QString withNocaseAddedColumn(const QString& sql);
// Copies a table's column definitions and rows from the main database into a schema.
void copyTable(sqlite3* db, const QString& source, const QString& targetSchema, const QString& target);

}  // namespace dao::detail

#pragma once
// Small database helpers of the scan and the rebuilds: a savepoint that rolls back unless
// released (so a failed operation leaves the tables as they were), a drop that tolerates
// a missing table, a batched insert, and the reading of whole tables.
#include "dao/dao.h"
#include "dao/transaction.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace tableWriter {

using Savepoint = dao::Transaction;

QString quoted(const QString& identifier);
void dropIfExists(dao::Database& db, const QString& table);
// Replaces the backup table (the table's name with "Backup") by a copy of the table.
void makeBackup(dao::Database& db, const QString& table);
QStringList columnNames(dao::Database& db, const QString& table);

// Inserts rows in few statements; rows keep their order. Each row names its columns.
class BatchInserter {
public:
    BatchInserter(dao::Database& db, const QString& table) : m_db(db), m_table(table) {}
    ~BatchInserter() noexcept(false) { flush(); }
    void add(const QStringList& columns, const QVariantList& values);
    void flush();

private:
    dao::Database& m_db;
    QString m_table;
    QStringList m_columns;
    QVariantList m_values;
    int m_rows = 0;
};

// Sets one column to a value in the rows with the given row ids.
void setByRowId(dao::Database& db, const QString& table, const QString& column, const QVariant& value,
                const std::vector<qint64>& rowIds);

// Every row of the query, in its order, each with the query's columns in order.
std::vector<QVariantList> readAll(dao::Database& db, const QString& sql, const QVariantList& params = {});

}  // namespace tableWriter

#pragma once
// A write of several steps to one database file, all or nothing: the file stays open with a
// transaction on it until release, and the steps' own opens of the same file join it. A
// failure or a killed program before release leaves the file as it was.
#include "dao/dao.h"
#include "dao/transaction.h"

#include <QString>
#include <memory>
#include <optional>

namespace modDataBase {

class WriteTransaction {
public:
    // Opens the file exclusively for writing; a failure to open is a RuntimeError.
    explicit WriteTransaction(const QString& path);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    dao::Database& db() { return *m_db; }
    void release();

private:
    std::shared_ptr<dao::Database> m_db;
    std::optional<dao::Transaction> m_transaction;
};

}  // namespace modDataBase

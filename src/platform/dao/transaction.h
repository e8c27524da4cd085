#pragma once
// One write that is all or nothing: a savepoint on the database's connection that rolls
// back unless released. Every handle on the same file in this process shares the
// connection, so the writes of helpers that open their own handles join it, as long as a
// handle stays open until release. Savepoints nest.
#include "dao/dao.h"

namespace dao {

class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void release();

private:
    Database& m_db;
    bool m_open = true;
};

}  // namespace dao

#include "dao/transaction.h"

namespace dao {

Transaction::Transaction(Database& db) : m_db(db) { m_db.Execute(QStringLiteral("SAVEPOINT kelb_dc_change")); }

Transaction::~Transaction() {
    if (!m_open) return;
    try {
        m_db.Execute(QStringLiteral("ROLLBACK TO kelb_dc_change"));
        m_db.Execute(QStringLiteral("RELEASE kelb_dc_change"));
    } catch (...) {
        // The connection is gone; SQLite has rolled the open transaction back itself.
    }
}

void Transaction::release() {
    m_db.Execute(QStringLiteral("RELEASE kelb_dc_change"));
    m_open = false;
}

}  // namespace dao

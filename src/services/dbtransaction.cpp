#include "services/dbtransaction.h"

namespace modDataBase {

WriteTransaction::WriteTransaction(const QString& path) : m_db(dao::OpenDatabase(path, true, false)) {
    m_transaction.emplace(*m_db);
}

// The transaction ends before the file's last handle.
WriteTransaction::~WriteTransaction() { m_transaction.reset(); }

void WriteTransaction::release() {
    if (m_transaction) m_transaction->release();
}

}  // namespace modDataBase

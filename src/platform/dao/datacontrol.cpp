#include "dao/datacontrol.h"

namespace dao {

void DataControl::Refresh() {
    setRecordset(nullptr);
    m_db.reset();
    m_db = OpenDatabase(DatabaseName, Exclusive, ReadOnly, Connect);
}

void DataControl::setRecordset(std::shared_ptr<dao::Recordset> rs) {
    m_rs = std::move(rs);
    if (onRecordsetChanged) onRecordsetChanged();
}

void DataControl::clear() {
    setRecordset(nullptr);
    m_db.reset();
}

}  // namespace dao

#pragma once
// The data control a window binds a grid to: the database it opens on Refresh and the
// record set the grid shows and edits. A grid model listens for a new record set.
#include "dao/dao.h"

#include <functional>
#include <memory>

namespace dao {

class DataControl {
public:
    QString DatabaseName;
    bool ReadOnly = false;
    bool Exclusive = false;
    QString Connect;

    // (Re)opens the database with the control's settings; raises as OpenDatabase does.
    // The record set of an earlier database is dropped.
    void Refresh();
    std::shared_ptr<dao::Database> Database() const { return m_db; }
    std::shared_ptr<dao::Recordset> Recordset() const { return m_rs; }
    void setRecordset(std::shared_ptr<dao::Recordset> rs);
    // Releases record set and database.
    void clear();

    // Called whenever the control's record set is replaced.
    std::function<void()> onRecordsetChanged;

private:
    std::shared_ptr<dao::Database> m_db;
    std::shared_ptr<dao::Recordset> m_rs;
};

}  // namespace dao

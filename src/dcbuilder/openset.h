#pragma once
// A database and one record set opened together through the database layer, closed
// together when the holder goes, also when a step fails part-way.
#include "dao/dao.h"
#include "services/moddatabase.h"

#include <memory>

struct OpenSet {
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;

    // g_iniRecordset: true when the set is open and holds a row (or allowEmpty).
    bool open(const QString& dbName, const QString& sql, bool allowEmpty = false, bool readOnly = false,
              bool quiet = false) {
        return modDataBase::g_iniRecordset(dbName, sql, db, rs, allowEmpty, readOnly, quiet);
    }
    ~OpenSet() {
        if (rs && rs->IsOpen()) rs->Close();
        if (db && db->IsOpen()) db->Close();
    }
};

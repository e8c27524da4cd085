#pragma once
// Small SQLite databases made by a test, and a recorder for the central error handler.
#include "dao/dao.h"
#include "services/errtrap.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace cfgtest {

// Creates a database file and runs the statements on it, then closes it.
inline void makeDb(const QString& path, const QStringList& statements) {
    auto db = dao::CreateDatabase(path);
    for (const QString& s : statements) db->Execute(s);
    db->Close();
}

// Runs one statement with parameters on an existing database.
inline void exec(const QString& path, const QString& sql, const QVariantList& params = {}) {
    auto db = dao::OpenDatabase(path, false, false);
    db->Execute(sql, params);
    db->Close();
}

// Counts the rows of a query.
inline int count(const QString& path, const QString& sql, const QVariantList& params = {}) {
    auto db = dao::OpenDatabase(path, false, true);
    auto rs = db->OpenRecordset(sql, params);
    int n = 0;
    for (; !rs->eof(); rs->MoveNext()) ++n;
    rs->Close();
    db->Close();
    return n;
}

// Records what reaches the central error handler while it lives; every error continues.
class ErrorRecorder : public ErrPtnr::ErrorHandler {
public:
    ErrorRecorder() { ErrPtnr::errorHandlerLink::install(this); }
    ~ErrorRecorder() override { ErrPtnr::errorHandlerLink::install(nullptr); }
    ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo& i) override {
        errors.push_back(i);
        return ErrPtnr::Choice::Continue;
    }
    std::vector<ErrPtnr::ErrorInfo> errors;
};

}  // namespace cfgtest

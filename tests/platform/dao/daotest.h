#pragma once
// Fixture of the database-layer tests: a private folder and a way to catch a RuntimeError.
#include "dao/dao.h"
#include "desktop/runtimeerror.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

struct DaoTest : ::testing::Test {
    QTemporaryDir dir;
    QString file(const QString& name) const { return dir.filePath(name); }

    // A new database holding table t (id, name TEXT(50), n INTEGER) with the given rows.
    std::shared_ptr<dao::Database> dbWithRows(const QStringList& names, const QString& fileName = QStringLiteral("t.mdb")) {
        auto db = dao::CreateDatabase(file(fileName));
        db->CreateTable(QStringLiteral("t"), {{QStringLiteral("id"), dao::dbLong, 0},
                                              {QStringLiteral("name"), dao::dbText, 50},
                                              {QStringLiteral("n"), dao::dbLong, 0}});
        for (int i = 0; i < names.size(); ++i)
            db->Execute(QStringLiteral("INSERT INTO t (id, name, n) VALUES (?, ?, ?)"), {i + 1, names[i], (i + 1) * 10});
        return db;
    }
};

// The number of the RuntimeError that f raises, 0 when it raises none.
inline long errorNumber(const std::function<void()>& f, QString* description = nullptr) {
    try {
        f();
    } catch (const RuntimeError& e) {
        if (description) *description = e.description();
        return e.number();
    }
    return 0;
}

// The values of one column over the whole record set, from its first row.
inline QStringList column(dao::Recordset& rs, const QString& field) {
    QStringList values;
    if (rs.RecordCount() == 0) return values;
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext()) values << rs.Value(field).toString();
    return values;
}

#include "dcfixture/dcfixture.h"

#include "dao/dao.h"
#include "dcdatabase/dctables.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <stdexcept>

namespace dcfixture {

void makeDatabase(const QString& path, const Options& options) {
    QFile::remove(path);
    auto db = dao::CreateDatabase(path);
    dcTables::g_createTables(*db, options.backups);
    if (options.versionTable) {
        db->CreateTable(QStringLiteral("version"), {{QStringLiteral("date"), dao::dbDate, 0},
                                                    {QStringLiteral("applVersion"), dao::dbText, 16},
                                                    {QStringLiteral("comment"), dao::dbMemo, 0}});
        db->Execute(QStringLiteral("INSERT INTO version (date, applVersion, comment) VALUES (?, ?, ?)"),
                    {QDateTime(QDate(2024, 1, 1), QTime(0, 0)), programInfo::versionText(), QStringLiteral("fixture")});
    }
    if (options.defaultRows) {
        db->Execute(QStringLiteral("INSERT INTO dcEnums (name, id, \"class\", syncCmd, readAccessLevel, writeAccessLevel, "
                                   "producerMask, minValue, maxValue) VALUES ('PAR_DEFAULT', -1, 'PARAMETER', 1, 3, 5, 32767, 0, 100)"));
        db->Execute(QStringLiteral("INSERT INTO dcEnums (name, id, \"class\", syncCmd, readAccessLevel, writeAccessLevel, "
                                   "producerMask, minValue, maxValue) VALUES ('GLB_DEFAULT', -2, 'VARIABLE', 0, 2, 6, 1, -10, 10)"));
        db->Execute(QStringLiteral("INSERT INTO alarmEnums (name, id, \"class\", producerMask, criterion) "
                                   "VALUES ('ALARM_DEFAULT', -1, 'ALARM', 30, 3)"));
    }
    db->Close();
}

void insertRow(const QString& path, const QString& table, const QVariantMap& row) {
    QStringList columns, marks;
    QVariantList values;
    for (auto it = row.begin(); it != row.end(); ++it) {
        columns << QLatin1Char('"') + it.key() + QLatin1Char('"');
        marks << QStringLiteral("?");
        values << it.value();
    }
    auto db = dao::OpenDatabase(path, false, false);
    db->Execute(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                values);
    db->Close();
}

std::vector<QVariantMap> rows(const QString& path, const QString& sql) {
    std::vector<QVariantMap> out;
    auto db = dao::OpenDatabase(path, false, true);
    auto rs = db->OpenRecordset(sql);
    for (; !rs->eof(); rs->MoveNext()) {
        QVariantMap row;
        for (int i = 0; i < rs->FieldCount(); ++i) row.insert(rs->FieldName(i), rs->Value(i));
        out.push_back(row);
    }
    rs->Close();
    db->Close();
    return out;
}

void writeFile(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write " + path.toStdString());
    f.write(modStringFct::toAnsi(text));
}

}  // namespace dcfixture

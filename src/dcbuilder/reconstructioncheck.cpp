#include "dcbuilder/reconstructioncheck.h"

#include "dao/dao.h"
#include "dcbuilder/dcnumber.h"
#include "dcbuilder/dctemplate.h"

#include <memory>

namespace reconstructionCheck {
namespace {

constexpr int kGroups = 7;

QString text(const dao::Recordset& rs, const QString& column) {
    const QVariant v = rs.Value(column);
    return v.isNull() ? QString() : v.toString();
}

QStringList stepColumns(dao::Database& db, const QString& sql) {
    const std::shared_ptr<dao::Recordset> steps = db.OpenRecordset(sql);
    const QStringList columns = steps->RecordCount() > 0 ? dcTemplate::restoredColumns(*steps) : QStringList();
    steps->Close();
    return columns;
}

// Appends the rows of the enumeration set whose columns (by the row's class) still hold
// their placeholders.
template <class ColumnsOf>
void collect(dao::Database& db, const QString& sql, ColumnsOf columnsOf, QStringList& rows) {
    const std::shared_ptr<dao::Recordset> rs = db.OpenRecordset(sql);
    for (; !rs->eof(); rs->MoveNext()) {
        QStringList unfilled;
        for (const QString& column : columnsOf(text(*rs, QStringLiteral("class"))))
            if (text(*rs, column) == dcTemplate::placeholder(column)) unfilled << column;
        if (!unfilled.isEmpty()) rows << text(*rs, QStringLiteral("name")) + QStringLiteral(": ") + unfilled.join(QStringLiteral(", "));
    }
    rs->Close();
}

}  // namespace

QStringList unfilledRows(const QString& path) {
    const std::shared_ptr<dao::Database> db = dao::OpenDatabase(path, false, true);
    const QStringList parameters = stepColumns(*db, QStringLiteral("SELECT * FROM dcBinFile WHERE class='PARAMETER'"));
    const QStringList variables = stepColumns(*db, QStringLiteral("SELECT * FROM dcBinFile WHERE class='VARIABLE'"));
    const QStringList alarms = stepColumns(*db, QStringLiteral("SELECT * FROM alarmBinFile"));
    QStringList rows;
    // As the template was made: a row's class chooses its step rows.
    collect(*db, QStringLiteral("SELECT * FROM dcEnums WHERE id>=0 ORDER BY id"), [&](const QString& cls) {
        if (cls.compare(QLatin1String("PARAMETER"), Qt::CaseInsensitive) == 0) return parameters;
        if (cls.compare(QLatin1String("VARIABLE"), Qt::CaseInsensitive) == 0) return variables;
        return QStringList();
    }, rows);
    collect(*db, QStringLiteral("SELECT * FROM alarmEnums WHERE id>=0 ORDER BY id"), [&](const QString&) { return alarms; }, rows);
    db->Close();
    return rows;
}

QStringList crcEntriesOutOfRange(const QString& path, const std::function<QString(int group)>& symbolOf) {
    const std::shared_ptr<dao::Database> db = dao::OpenDatabase(path, false, true);
    const std::shared_ptr<dao::Recordset> rs = db->OpenRecordset(QStringLiteral("SELECT * FROM dcEnums WHERE id>=0 ORDER BY id"));
    QStringList entries;
    for (int group = 1; group <= kGroups; ++group) {
        const QString symbol = symbolOf(group);
        if (symbol.isEmpty() || rs->RecordCount() == 0) continue;
        rs->FindFirst(QStringLiteral("name=?"), {symbol});
        if (rs->NoMatch()) continue;
        const std::optional<qint32> crc = dcNumber::whole32(rs->Value(QStringLiteral("value")));
        if (!crc || *crc < 0 || *crc > 0xFFFF) entries << symbol + QStringLiteral(" = ") + text(*rs, QStringLiteral("value"));
    }
    rs->Close();
    db->Close();
    return entries;
}

}  // namespace reconstructionCheck

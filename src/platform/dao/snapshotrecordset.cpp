#include "dao/recordsetsources.h"

namespace dao::detail {

namespace {
QStringList allNames(const Stmt& q) {
    QStringList names;
    for (int i = 0; i < q.columnCount(); ++i) names << q.columnName(i);
    return names;
}

std::vector<bool> allDates(const Stmt& q) {
    std::vector<bool> dates;
    for (int i = 0; i < q.columnCount(); ++i) dates.push_back(isDateDeclared(q.declType(i)));
    return dates;
}
}  // namespace

SnapshotRecordset::SnapshotRecordset(std::shared_ptr<Lease> lease, Stmt& query)
    : RecordsetBase(std::move(lease), allNames(query), allDates(query), false) {
    const std::vector<bool>& dates = dateFields();
    while (query.step()) {
        QVariantList values;
        for (int c = 0; c < query.columnCount(); ++c) values << query.value(c, dates[size_t(c)]);
        m_rows.push_back(values);
    }
}

// The criterion is tested against each row's values, given to it as a one-row table whose text
// compares without regard to case, as in the tables.
int SnapshotRecordset::findFrom(int start, const QString& criterion, const QVariantList& params) const {
    QStringList cols;
    for (int c = 0; c < FieldCount(); ++c) cols << QStringLiteral("? COLLATE NOCASE AS ") + quoteIdent(FieldName(c));
    Stmt st = prepareOne(db(), QStringLiteral("SELECT 1 FROM (SELECT %1) WHERE (%2)").arg(cols.join(QLatin1String(", ")), criterion));
    for (int i = start; i < count(); ++i) {
        st.reset();
        const QVariantList& values = m_rows[size_t(i)];
        for (int c = 0; c < values.size(); ++c) st.bind(c + 1, values[c]);
        st.bindAll(params, int(values.size()) + 1);
        if (st.step()) return i;
    }
    return -1;
}

}  // namespace dao::detail

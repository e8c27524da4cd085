#pragma once
// One row of the symbol table `sourceScan` while a scan builds it in memory.
#include <QString>
#include <QVariant>

struct ScanRow {
    QString name;
    qint64 id = 0;
    QString cls = QStringLiteral("?");  // the column's default until a rule or the grouping classes it
    QVariant varGroup;                   // a null variant is a column the scan does not write
    QVariant fupId;
    QVariant comment;
    int upDate = 0;
    int sourceLine = 0;
};

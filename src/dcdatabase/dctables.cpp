#include "dcdatabase/dctables.h"

#include "desktop/runtimeerror.h"

namespace dcTables {

namespace {

// Columns shared by the three tables.
const char* const kCommon =
    "\"name\" TEXT(100) COLLATE NOCASE, "
    "\"id\" INTEGER, "
    "\"class\" TEXT(20) COLLATE NOCASE DEFAULT '?', "
    "\"varGroup\" TEXT(20) COLLATE NOCASE, "
    "\"fupId\" TEXT(50) COLLATE NOCASE, "
    "\"comment\" TEXT(50) COLLATE NOCASE, "
    "\"upDate\" SMALLINT DEFAULT 0";

// Attributes shared by dcEnums and alarmEnums.
const char* const kAttributes =
    "\"introduced\" SMALLINT DEFAULT 1, "
    "\"condition\" TEXT(128) COLLATE NOCASE DEFAULT '', "
    "\"producerMask\" INTEGER DEFAULT 0, "
    "\"minValue\" INTEGER DEFAULT -2147483648, "
    "\"maxValue\" INTEGER DEFAULT 2147483647, "
    "\"modbusAddr\" INTEGER DEFAULT 0";

const char* const kSourceScanOnly = "\"sourceLine\" INTEGER";

const char* const kDcEnumsOnly =
    "\"value\" DOUBLE DEFAULT 0, "
    "\"crcGroup\" SMALLINT DEFAULT 0, "
    "\"readAccessLevel\" SMALLINT DEFAULT 7, "
    "\"writeAccessLevel\" SMALLINT DEFAULT 7, "
    "\"modbusScale\" DOUBLE DEFAULT 1, "
    "\"onlineValue\" DOUBLE DEFAULT 0, "
    "\"syncCmd\" SMALLINT DEFAULT -1";

const char* const kAlarmEnumsOnly =
    "\"criterion\" SMALLINT DEFAULT 0, "
    "\"hysteresis\" DOUBLE DEFAULT 0, "
    "\"inhibit\" INTEGER DEFAULT 0, "
    "\"signalIndex\" INTEGER DEFAULT -1, "
    "\"signalIndexName\" TEXT(100) COLLATE NOCASE DEFAULT '', "
    "\"onDelayIndex\" INTEGER DEFAULT -1, "
    "\"onDelayIndexName\" TEXT(100) COLLATE NOCASE DEFAULT '', "
    "\"offDelayIndex\" INTEGER DEFAULT -1, "
    "\"offDelayIndexName\" TEXT(100) COLLATE NOCASE DEFAULT '', "
    "\"onOffDelayId\" INTEGER DEFAULT 255, "
    "\"onOffDelayIdName\" TEXT(100) COLLATE NOCASE DEFAULT '', "
    "\"type\" SMALLINT DEFAULT 0, "
    "\"groupX\" SMALLINT DEFAULT 0, "
    "\"scanInternal\" SMALLINT DEFAULT 0";

QString baseName(const QString& table) {
    if (table.endsWith(kBackupSuffix, Qt::CaseInsensitive)) return table.left(table.size() - kBackupSuffix.size());
    return table;
}

const QStringList& allTables() {
    static const QStringList tables = {kSourceScan, kDcEnums, kAlarmEnums};
    return tables;
}

}  // namespace

const QStringList& scannedColumns() {
    static const QStringList columns = {QStringLiteral("name"),    QStringLiteral("id"),       QStringLiteral("fupId"),
                                        QStringLiteral("comment"), QStringLiteral("class"),    QStringLiteral("varGroup"),
                                        QStringLiteral("upDate")};
    return columns;
}

QString g_createStatement(const QString& table) {
    const QString base = baseName(table);
    QString columns = QString::fromLatin1(kCommon) + QStringLiteral(", ");
    if (base.compare(kSourceScan, Qt::CaseInsensitive) == 0)
        columns += QString::fromLatin1(kSourceScanOnly);
    else if (base.compare(kDcEnums, Qt::CaseInsensitive) == 0)
        columns += QString::fromLatin1(kAttributes) + QStringLiteral(", ") + QString::fromLatin1(kDcEnumsOnly);
    else if (base.compare(kAlarmEnums, Qt::CaseInsensitive) == 0)
        columns += QString::fromLatin1(kAttributes) + QStringLiteral(", ") + QString::fromLatin1(kAlarmEnumsOnly);
    else
        throw RuntimeError(3011, QStringLiteral("Could not find object '%1'.").arg(table));
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(quoted, columns);
}

void g_createTables(dao::Database& db, bool withBackups) {
    for (const QString& table : allTables()) {
        if (!db.TableExists(table)) db.Execute(g_createStatement(table));
        const QString backup = table + kBackupSuffix;
        if (withBackups && !db.TableExists(backup)) db.Execute(g_createStatement(backup));
    }
}

}  // namespace dcTables

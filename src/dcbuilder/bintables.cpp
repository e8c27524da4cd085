#include "dcbuilder/bintables.h"

#include "desktop/runtimeerror.h"

namespace dcBinTables {

namespace {
const char* const kStepColumns =
    "\"step\" INTEGER, "
    "\"content\" TEXT(50) COLLATE NOCASE, "
    "\"value\" TEXT(50) COLLATE NOCASE, "
    "\"noOfBytes\" SMALLINT, "
    "\"loops\" TEXT(50) COLLATE NOCASE, "
    "\"goto\" INTEGER, "
    "\"class\" TEXT(20) COLLATE NOCASE, "
    "\"varGroup\" TEXT(20) COLLATE NOCASE";

const char* const kPlantInfoColumns =
    "\"EngineType\" TEXT(32) COLLATE NOCASE, "
    "\"ManufacNo\" TEXT(32) COLLATE NOCASE, "
    "\"HullNo\" TEXT(32) COLLATE NOCASE, "
    "\"EpiDbNo\" TEXT(32) COLLATE NOCASE, "
    "\"SwVersion\" TEXT(16) COLLATE NOCASE, "
    "\"Build\" TEXT(16) COLLATE NOCASE, "
    "\"DeveloperNo\" TEXT(16) COLLATE NOCASE, "
    "\"Bootloader\" TEXT(16) COLLATE NOCASE, "
    "\"ImoSwNo\" TEXT(32) COLLATE NOCASE";
}  // namespace

QString g_createStatement(const QString& table) {
    const char* columns = nullptr;
    if (table.compare(kDcBinFile, Qt::CaseInsensitive) == 0 || table.compare(kAlarmBinFile, Qt::CaseInsensitive) == 0)
        columns = kStepColumns;
    else if (table.compare(kPlantInfo, Qt::CaseInsensitive) == 0)
        columns = kPlantInfoColumns;
    else
        throw RuntimeError(3011, QStringLiteral("Could not find object '%1'.").arg(table));
    return QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table, QString::fromLatin1(columns));
}

void g_createTables(dao::Database& db, bool withPlantInfo) {
    for (const QString& table : {kDcBinFile, kAlarmBinFile}) {
        if (!db.TableExists(table)) db.Execute(g_createStatement(table));
    }
    if (withPlantInfo && !db.TableExists(kPlantInfo)) db.Execute(g_createStatement(kPlantInfo));
}

}  // namespace dcBinTables

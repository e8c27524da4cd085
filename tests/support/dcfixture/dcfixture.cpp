#include "dcfixture/dcfixture.h"

#include "dao/dao.h"
#include "dcdatabase/dctables.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"

#include <QDateTime>
#include <QDir>
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

void insertAliases(dao::Database& config) {
    const char* const aliases[][2] = {
        {"DC_SWINFO_ENGINE_TYPE_", "PAR_SWINFO_ENGINE_TYPE_"}, {"DC_SWINFO_HULL_NO_", "PAR_SWINFO_HULL_NO_"},
        {"DC_SWINFO_BUILD", "PAR_SWINFO_BUILD"}, {"DC_SWINFO_BOOTLOADER_VERSION", "PAR_SWINFO_BOOTLOADER_VERSION"},
        {"DC_SWINFO_MANUFAC_NO_", "PAR_SWINFO_MANUFAC_NO_"}, {"DC_SWINFO_EPI_DB_NO_", "PAR_SWINFO_EPI_DB_NO_"},
        {"DC_SWINFO_IMO_SW_NO_", "PAR_SWINFO_IMO_SW_NO_"}, {"DC_SWINFO_SW_VERSION", "PAR_SWINFO_SW_VERSION"},
        {"DC_SWINFO_DEVELOPER_NO", "PAR_SWINFO_DEVELOPER_NO"}, {"DC_CRC_FIRST_APPLICATION", "PAR_CRC_FIRST_APPLICATION"}};
    const QString insert = QStringLiteral("INSERT INTO aliasSymbolName (aliasName, symbolName) VALUES (?, ?)");
    for (const auto& a : aliases) config.Execute(insert, {QString::fromLatin1(a[0]), QString::fromLatin1(a[1])});
    for (int g = 1; g <= 7; ++g)
        config.Execute(insert, {QStringLiteral("DC_CRC_FIRST_GROUP%1").arg(g), QStringLiteral("PAR_CRC_GROUP%1").arg(g)});
}

void writeHeaderSet(const QString& dir, bool withVersions) {
    const QDir d(dir);
    writeFile(d.filePath(QStringLiteral("global.h")),
              QStringLiteral("// scanStart: global constants\n") +
                  (withVersions ? QStringLiteral("#define APPL_VERSION 12\n#define APPL_DEVELOPER_NO 2042\n#define DAT_DC_VERSION 9\n")
                                : QString()) +
                  QStringLiteral("#define PARAMETER_OFFSET_1024 0\n// scanEnd\n"));
    writeFile(d.filePath(QStringLiteral("library.h")),
              QStringLiteral("// scanStart: global types\ntypedef enum\n{\n  DLY_ON_1,          // 100; delay 1\n} tDelay;\n// scanEnd\n"));
    writeFile(d.filePath(QStringLiteral("dataContainer.h")),
              QStringLiteral("// scanStart: global variables\ntypedef enum\n{\n  FIRST_VARIABLE = 2000,\n"
                             "  ENGINE_SPEED,            // 110.1; engine speed\n  LAST_VARIABLE\n} tVar;\n// scanEnd\n"
                             "// scanStart: alarms\ntypedef enum\n{\n  FIRST_ALARM = 3000,\n  AL_OIL_LOW,              // 120.1; oil low\n"
                             "  LAST_ALARM = 3010\n} tAlarm;\n// scanEnd\n"
                             "// scanStart: global parameters\ntypedef enum\n{\n  PARA_FIRST_ENUM = 300,\n"
                             "  PAR_SWINFO_SW_VERSION,    // 130.1; version\n  PAR_SWINFO_DEVELOPER_NO,  // 130.2; developer\n"
                             "  PAR_CRC_FIRST_APPLICATION, // 130.3; application CRC\n  PARA_LAST_ENUM\n} tPar;\n// scanEnd\n"));
}

}  // namespace dcfixture

#include "services/dbupgrade.h"

#include "dao/dao.h"
#include "dao/transaction.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/programinfo.h"

#include <QDateTime>
#include <QStringList>
#include <iterator>
#include <memory>
#include <optional>

namespace modDataBase {
using modStringFct::sprintf;

namespace {

const QString kUpdateMark = QStringLiteral("Database Update:");

// Closes what a step opened, also when the step fails part-way.
struct OpenSet {
    std::shared_ptr<dao::Database> db;
    std::shared_ptr<dao::Recordset> rs;
    ~OpenSet() {
        if (rs && rs->IsOpen()) rs->Close();
        if (db && db->IsOpen()) db->Close();
    }
};

QString programVersion() {
    return sprintf("{*}.{*}.{*}", programInfo::versionMajor, programInfo::versionMinor, programInfo::versionRevision);
}

// A version text newer than the program's; fewer than three parts is a damaged row.
bool isNewer(const QString& version) {
    const QStringList parts = version.split(QLatin1Char('.'));
    if (parts.size() < 3) throw RuntimeError(9, QStringLiteral("Subscript out of range"));
    const qint32 major = modGlobal::decimalValue(parts[0]);
    const qint32 minor = modGlobal::decimalValue(parts[1]);
    const qint32 revision = modGlobal::decimalValue(parts[2]);
    return major > programInfo::versionMajor ||
           (major == programInfo::versionMajor && minor > programInfo::versionMinor) ||
           (major == programInfo::versionMajor && minor == programInfo::versionMinor &&
            revision > programInfo::versionRevision);
}

void addVersionRow(dao::Recordset& rs, QDateTime& stamp, const QString& version, const QString& comment) {
    rs.AddNew();
    rs.SetValue(QStringLiteral("date"), stamp);
    rs.SetValue(QStringLiteral("applVersion"), version);
    rs.SetValue(QStringLiteral("comment"), comment);
    rs.Update();
    stamp = stamp.addSecs(1);
}

// Gives the first seven steps their symbol names and the dead band its flag. A table that
// lacks any of these rows is refused before a row is written, so it is never half done.
bool rewriteDcBinFile(const QString& dbName, QString& log) {
    static const char* const kValues[] = {
        "DC_SWINFO_ENGINE_TYPE_", "DC_SWINFO_HULL_NO_", "DC_SWINFO_MANUFAC_NO_", "DC_SWINFO_IMO_SW_NO_",
        "DC_SWINFO_SW_VERSION",   "DC_SWINFO_BUILD",    "DC_SWINFO_BOOTLOADER_VERSION"};
    const QString deadBand = QStringLiteral("content='deadBand'");
    OpenSet s;
    const bool filled =
        g_iniRecordset(dbName, QStringLiteral("SELECT * FROM dcBinFile ORDER BY step"), s.db, s.rs, false, false, false);
    if (!s.rs) return false;  // could not be opened: the record-set box has told why
    bool complete = filled && s.rs->RecordCount() >= int(std::size(kValues));
    if (complete) {
        s.rs->FindFirst(deadBand);
        complete = !s.rs->NoMatch();
    }
    if (!complete) {
        modMsgBox::g_errorMsgBox(
            sprintf("Table 'dcBinFile' in database {*} does not hold the rows to be updated\\r"
                    "(the first seven steps and the 'deadBand' row)!\\rThe database has not been updated.",
                    dbName),
            QString(), true);
        return false;
    }
    s.rs->MoveFirst();
    for (const char* value : kValues) {
        s.rs->Edit();
        s.rs->SetValue(QStringLiteral("value"), QString::fromLatin1(value));
        s.rs->Update();
        s.rs->MoveNext();
    }
    s.rs->FindFirst(deadBand);
    s.rs->Edit();
    s.rs->SetValue(QStringLiteral("value"), 1);
    s.rs->Update();
    log += QStringLiteral("Table 'dcBinFile' updated\r\n");
    return true;
}

std::optional<QString> stepFrom000(const QString& dbName, QString& log) {
    static const char* const kReports[][2] = {{"dcEnums", "deadBand"},  {"dcEnums", "module"},   {"dcEnums", "index"},
                                              {"alarmEnums", "module"}, {"alarmEnums", "index"}, {"sourceScan", "module"},
                                              {"sourceScan", "index"}};
    for (const auto& r : kReports)
        g_removeColumn(dbName, QString::fromLatin1(r[0]), QString::fromLatin1(r[1]), log, true, false);
    if (!rewriteDcBinFile(dbName, log)) return std::nullopt;
    modGlobal::g_setSymbolName(QStringLiteral("DC_CRC_FIRST_APPLICATION"), QStringLiteral("PAR_CRC_FIRST_APPLICATION"));
    modGlobal::g_setSymbolName(QStringLiteral("DC_SWINFO_EPI_DB_NO_"), QStringLiteral("PAR_SWINFO_EPI_DB_NO_"));
    if (plantInfoCopierLink::get().g_copyPlantInfosToDcEnums()) {
        log += QStringLiteral("Plant-Infos copied form table 'plantInfo' to 'dcEnums'\r\n");
        g_removeTable(dbName, QStringLiteral("plantInfo"), log, true);
    }
    return QStringLiteral("4.4.4");
}

QString stepFrom444(const QString& dbName, QString& log) {
    for (const char* table : {"dcEnums", "alarmEnums"}) {
        g_addColumn(dbName, QString::fromLatin1(table), QStringLiteral("introduced"), QStringLiteral("smallint"), log, false);
        g_addColumn(dbName, QString::fromLatin1(table), QStringLiteral("condition"), QStringLiteral("Text(128)"), log, false);
    }
    for (const char* table : {"dcEnums", "alarmEnums"}) {
        g_setColumn(dbName, QString::fromLatin1(table), QStringLiteral("introduced"), QStringLiteral("1"));
        g_setColumn(dbName, QString::fromLatin1(table), QStringLiteral("condition"), QStringLiteral("''"));
    }
    for (const char* table : {"sourceScan", "dcEnums", "alarmEnums"})
        g_removeColumn(dbName, QString::fromLatin1(table), QStringLiteral("oldId"), log, true, false);
    return programVersion();
}

// The step for a database version; nothing when the step refused the database.
std::optional<QString> upgradeStep(const QString& dbName, const QString& version, QString& log) {
    if (version == QLatin1String("0.0.0")) return stepFrom000(dbName, log);
    if (version == QLatin1String("4.4.4")) return stepFrom444(dbName, log);
    return programVersion();
}

bool updateDatabase(const QString& dbName, bool& changed) {
    // Stored dates keep whole seconds; the stamp does too, so that the next one is later.
    QDateTime stamp = TimeService::now();
    stamp = stamp.addMSecs(-stamp.time().msec());

    const std::vector<FieldDescription> fields = {
        {QStringLiteral("date"), dao::dbDate, 0},
        {QStringLiteral("applVersion"), dao::dbText, 16},
        {QStringLiteral("comment"), dao::dbMemo, 0},
    };
    OpenSet s;
    QString version;
    if (g_addTable(dbName, QStringLiteral("version"), fields)) {
        g_iniRecordset(dbName, QStringLiteral("SELECT * FROM version"), s.db, s.rs, true, false, false);
        if (!s.rs) throw RuntimeError(91, QStringLiteral("Object variable or With block variable not set"));
        version = QStringLiteral("0.0.0");
        addVersionRow(*s.rs, stamp, version, QStringLiteral("Version table created"));
    } else {
        g_iniRecordset(dbName, QStringLiteral("SELECT * FROM version ORDER BY date DESC"), s.db, s.rs, false, false,
                       false);
        if (!s.rs || s.rs->eof()) throw RuntimeError(3021, QStringLiteral("No current record."));
        version = s.rs->Value(QStringLiteral("applVersion")).toString();
        // A PC clock that is behind must not give a row that sorts below the newest one,
        // or the next run would read an older version than the database has.
        const QDateTime newest = s.rs->Value(QStringLiteral("date")).toDateTime();
        if (newest.isValid() && stamp <= newest) stamp = newest.addSecs(1);
    }

    bool newerSeen = false;
    bool refused = false;
    while (isNewer(version)) {
        newerSeen = true;
        if (s.rs->Value(QStringLiteral("comment")).toString().left(16) == kUpdateMark) {
            refused = true;
            break;
        }
        s.rs->MoveNext();
        if (s.rs->eof()) {
            refused = true;
            break;
        }
        version = s.rs->Value(QStringLiteral("applVersion")).toString();
    }
    if (refused) {
        // The formatter's \n is carriage return and line feed.
        modMsgBox::g_errorMsgBox(sprintf("The polyDesk-configuration-database was updated to a newer program-version!"
                                         "\\nPlease use at least loader-tool version {*}",
                                         version),
                                 QString(), true);
        return false;
    }
    if (newerSeen) return true;

    bool asked = false;
    while (version != programVersion()) {
        if (!asked) {
            asked = true;
            if (!modMsgBox::g_questionMsgBox(
                    QStringLiteral("The DC-database-version does not fit to the program-version and has to be updated.\r\n"
                                   "After update it is not possible to use the former program-version again.\r\n\r\n"
                                   "Do you want to create a new DC-database-version?"),
                    QStringLiteral("Update Datacontainer"), true))
                return false;
        }
        // A step and its history row are one write: the row never claims a step half done.
        dao::Transaction step(*s.db);
        QString log;
        const std::optional<QString> next = upgradeStep(dbName, version, log);
        if (!next) return false;
        version = *next;
        addVersionRow(*s.rs, stamp, version, log.isEmpty() ? QStringLiteral("no changes") : kUpdateMark + "\r\n" + log);
        step.release();
        changed = true;
    }
    return true;
}

}  // namespace

bool g_updateDatabase(const QString& dbName, bool& changed) {
    bool result = false;
    trap("modDataBase", "g_updateDatabase", [&] { result = updateDatabase(dbName, changed); });
    return result;
}

}  // namespace modDataBase

#include "dcdatabase/builderlog.h"
#include "dcdatabase/dctables.h"
#include "dcdatabase/modscanheaderfiles.h"
#include "dcdatabase/tablewriter.h"

#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modstringfct.h"

#include <QHash>

using modStringFct::sprintf;
using tableWriter::quoted;

namespace modScanHeaderFiles {

namespace {

int buildAlarmListIndexes(const QString& dbPath, const QString& idColumn) {
    std::shared_ptr<dao::Database> db;
    if (!modDataBase::g_openDBBothPasswords(dbPath, db, false)) return 0;
    const QString nameColumn = idColumn + QStringLiteral("Name");
    const auto alarms = tableWriter::readAll(
        *db, sprintf("SELECT rowid, \"name\", {*}, {*} FROM alarmEnums WHERE \"id\">=0", quoted(idColumn), quoted(nameColumn)));
    if (alarms.empty()) return 0;

    const bool delay = idColumn == QLatin1String("onOffDelayId");
    const qint64 sentinel = delay ? dcTables::kNoDelayLink : dcTables::kNoDcLink;
    const auto reference = tableWriter::readAll(*db, delay ? QStringLiteral("SELECT \"name\", \"id\" FROM sourceScan WHERE \"class\"='DELAY_INST'")
                                                           : QStringLiteral("SELECT \"name\", \"id\" FROM dcEnums WHERE \"id\">=0"));
    QHash<QString, size_t> byName;
    QHash<qint64, size_t> byId;
    // Filled from the last row up, so that the first matching row wins, as a look-up does.
    for (size_t i = reference.size(); i-- > 0;) {
        byName.insert(reference[i][0].toString().toUpper(), i);
        if (!reference[i][1].isNull()) byId.insert(reference[i][1].toLongLong(), i);
    }

    LogWindow& log = frmDcBuilderLogLink::get();
    tableWriter::Savepoint transaction(*db);
    int unresolved = 0;
    for (const QVariantList& a : alarms) {
        const qint64 rowId = a[0].toLongLong();
        const QVariant& id = a[2];
        const QVariant& name = a[3];
        if (name.toString().size() > 0) {
            const auto it = byName.constFind(name.toString().toUpper());
            if (it == byName.constEnd()) {
                log.addMessage(sprintf("      Variable {*} not found (see {*})!", name.toString(), a[1].toString()));
                ++unresolved;
            } else if (!id.isNull() && !reference[*it][1].isNull() && id.toLongLong() != reference[*it][1].toLongLong()) {
                tableWriter::setByRowId(*db, dcTables::kAlarmEnums, idColumn, reference[*it][1], {rowId});
            }
        } else if (!id.isNull() && id.toLongLong() != sentinel) {
            const auto it = byId.constFind(id.toLongLong());
            if (it == byId.constEnd()) {
                log.addMessage(sprintf("      Variable {*} not found (see {*})!", id.toLongLong(), a[1].toString()));
                ++unresolved;
            } else if (!name.isNull() && name.toString() != reference[*it][0].toString()) {
                tableWriter::setByRowId(*db, dcTables::kAlarmEnums, nameColumn, reference[*it][0], {rowId});
            }
        }
    }
    transaction.release();
    db->Close();
    return unresolved;
}

}  // namespace

int g_buildAlarmListIndexes(const QString& dbPath, const QString& idColumn) {
    int unresolved = 0;
    trap("modScanHeaderFiles", "g_buildAlarmListIndexes", [&] { unresolved = buildAlarmListIndexes(dbPath, idColumn); });
    return unresolved;
}

}  // namespace modScanHeaderFiles

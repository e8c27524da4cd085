#include "dcdatabase/grouping.h"
#include "dcdatabase/headerparser.h"
#include "dcdatabase/modscanheaderfiles.h"
#include "dcdatabase/tablewriter.h"

#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modfilefct.h"
#include "services/modglobal.h"
#include "services/modstringfct.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

using modStringFct::sprintf;
using tableWriter::quoted;

namespace modScanHeaderFiles {

namespace {

struct HeaderFile {
    const char* name;
    int lineBase;
};
const HeaderFile kFiles[] = {{"global.h", 10000}, {"library.h", 20000}, {"dataContainer.h", 0}};

// A row of the previous scan, as the comparison and the report need it.
struct PreviousRow {
    qint64 rowId = 0;
    QString name;
    QVariant id;
    QString cls;
    QString fupId;
    int upDate = 2;
};

bool isCompared(const QString& cls) {
    for (const char* c : {"PARAMETER", "VARIABLE", "ALARM"})
        if (cls.compare(QLatin1String(c), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool notUsed(const QString& name) { return name.toUpper().contains(QLatin1String("NOT_USED")); }

// The header file in the directory; the files come from Windows trees, so a name that
// differs only in case is taken when the exact one is missing.
QString headerPath(const QString& dir, const QString& name) {
    const QString exact = modFileFct::g_fullName(dir, name);
    if (QFileInfo::exists(exact)) return exact;
    const QStringList found = QDir(dir).entryList({name}, QDir::Files);  // QDir matches without regard to case
    return found.isEmpty() ? exact : modFileFct::g_fullName(dir, found.first());
}

const ScanRow* firstNamed(const std::vector<ScanRow>& rows, const char* name) {
    for (const ScanRow& r : rows)
        if (r.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return &r;
    return nullptr;
}

// Puts the enumeration of parameters at its fixed place: PARA_FIRST_ENUM at
// 1024 - PARAMETER_OFFSET_1024, the parameters keeping their distance from it.
void shiftParameters(std::vector<ScanRow>& rows) {
    const ScanRow* offsetRow = firstNamed(rows, "PARAMETER_OFFSET_1024");
    if (!offsetRow) return;
    const qint64 d = 1024 - offsetRow->id;
    const ScanRow* firstRow = firstNamed(rows, "PARA_FIRST_ENUM");
    if (!firstRow) return;
    const qint64 offset = d - firstRow->id;
    for (ScanRow& r : rows) {
        const bool first = r.name.compare(QLatin1String("PARA_FIRST_ENUM"), Qt::CaseInsensitive) == 0;
        const bool last = r.name.compare(QLatin1String("PARA_LAST_ENUM"), Qt::CaseInsensitive) == 0;
        if (r.cls.compare(QLatin1String("PARAMETER"), Qt::CaseInsensitive) == 0) r.id += offset;
        if (first) r.id += offset;
        if (last) {
            r.id += offset;
            r.cls = QStringLiteral("CONSTANT");
        }
    }
}

std::vector<PreviousRow> readPrevious(dao::Database& db, const QString& backup) {
    std::vector<PreviousRow> previous;
    for (const QVariantList& v : tableWriter::readAll(
             db, sprintf("SELECT rowid, \"name\", \"id\", \"class\", \"fupId\" FROM {*} ORDER BY rowid", quoted(backup)))) {
        PreviousRow p{v[0].toLongLong(), v[1].toString(), v[2], v[3].toString(), v[4].toString()};
        previous.push_back(p);
    }
    return previous;
}

// Gives each new parameter, variable and alarm its change code and marks the previous rows
// found again with 1 (the others keep 2).
void compare(std::vector<ScanRow>& rows, std::vector<PreviousRow>& previous, LogWindow& log) {
    log.addMessage(QStringLiteral("   Compare scan with previous scanned symbols"));
    log.updateProgress(0);
    QHash<QString, size_t> byName;
    QHash<qint64, size_t> byId;
    // Filled from the last row up, so that the first matching row wins, as a look-up does.
    for (size_t i = previous.size(); i-- > 0;) {
        if (!isCompared(previous[i].cls)) continue;
        byName.insert(previous[i].name.toUpper(), i);
        if (!previous[i].id.isNull()) byId.insert(previous[i].id.toLongLong(), i);
    }
    const auto compared = std::count_if(rows.begin(), rows.end(), [](const ScanRow& r) { return isCompared(r.cls); });
    if (compared == 0) return;  // nothing to compare; the bar stays at zero
    const float step = 1.0f / float(compared);
    for (ScanRow& row : rows) {
        if (!isCompared(row.cls)) continue;
        if (const auto n = byName.constFind(row.name.toUpper()); n != byName.constEnd()) {
            PreviousRow& p = previous[*n];
            row.upDate = (!p.id.isNull() && p.id.toLongLong() == row.id) ? 1 : 4;
            p.upDate = 1;
        } else if (const auto d = byId.constFind(row.id); d != byId.constEnd()) {
            PreviousRow& p = previous[*d];
            row.upDate = notUsed(row.name) ? 5 : notUsed(p.name) ? 0 : 3;
            p.upDate = 1;
        }
        log.updateProgress(step, true);
    }
}

void writeRows(dao::Database& db, const QString& table, const std::vector<ScanRow>& rows) {
    QStringList columns = {QStringLiteral("name"),    QStringLiteral("id"),     QStringLiteral("class"),
                           QStringLiteral("varGroup"), QStringLiteral("fupId"), QStringLiteral("comment"),
                           QStringLiteral("upDate"),  QStringLiteral("sourceLine")};
    // Databases of the oldest layout still carry a module column; it names the module type.
    const bool withModule = tableWriter::columnNames(db, table).contains(QStringLiteral("module"), Qt::CaseInsensitive);
    if (withModule) columns << QStringLiteral("module");
    tableWriter::BatchInserter insert(db, table);
    for (const ScanRow& r : rows) {
        QVariantList values = {r.name, r.id, r.cls, r.varGroup, r.fupId, r.comment, r.upDate, r.sourceLine};
        if (withModule) values << QStringLiteral("PXM");
        insert.add(columns, values);
    }
    insert.flush();
}

void writePreviousCodes(dao::Database& db, const QString& backup, const std::vector<PreviousRow>& previous) {
    db.Execute(sprintf("UPDATE {*} SET \"upDate\"=2", quoted(backup)));
    std::vector<qint64> found;
    for (const PreviousRow& p : previous)
        if (p.upDate == 1) found.push_back(p.rowId);
    tableWriter::setByRowId(db, backup, QStringLiteral("upDate"), 1, found);
}

struct ReportLine {
    QString cls;
    QString name;
    QString id;
    QString fupId;
};

void reportCategory(LogWindow& log, std::vector<ReportLine> lines, const char* countFormat, bool listRows,
                    const char* closing = nullptr) {
    if (lines.empty()) return;
    std::stable_sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) {
        const int c = a.cls.compare(b.cls, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.id.toLongLong() < b.id.toLongLong();
    });
    log.addMessage(sprintf(QString::fromLatin1(countFormat), qint64(lines.size())));
    if (listRows)
        for (const ReportLine& l : lines)
            log.addMessage(sprintf("         {*} {*} ({*}) \\{{*}}", symbolPrefix(l.cls), l.name, l.id, l.fupId));
    if (closing) log.addMessage(QString::fromLatin1(closing));
}

void report(LogWindow& log, const std::vector<ScanRow>& rows, const std::vector<PreviousRow>& previous) {
    auto newRows = [&](int code) {
        std::vector<ReportLine> lines;
        for (const ScanRow& r : rows)
            if (isCompared(r.cls) && r.upDate == code)
                lines.push_back({r.cls, r.name, QString::number(r.id), r.fupId.toString()});
        return lines;
    };
    std::vector<ReportLine> deleted;
    for (const PreviousRow& p : previous)
        if (isCompared(p.cls) && p.upDate == 2) deleted.push_back({p.cls, p.name, p.id.toString(), p.fupId});
    reportCategory(log, newRows(0), "      {*} new items scanned", true, "      !!!!!! Please fill in attributes !!!!!!");
    reportCategory(log, newRows(3), "      {*} items renamed", true);
    reportCategory(log, newRows(5), "      {*} items set to 'not used'", true);
    reportCategory(log, newRows(4), "      Enums of {*} items has changed", false);
    reportCategory(log, std::move(deleted), "      {*} items has been deleted", true);
}

bool scanHeaderFiles(ScanLogWindow& log, const QString& dbPath, const QString& table) {
    std::shared_ptr<dao::Database> db;
    if (!modDataBase::g_openDBBothPasswords(dbPath, db, false)) return false;
    struct Closer {
        std::shared_ptr<dao::Database>& db;
        ~Closer() {
            if (db && db->IsOpen()) db->Close();
        }
    } closer{db};
    // The files are read and grouped before the write begins, so that the database is held
    // only for the database work, not for the parser's log.
    std::vector<ScanRow> rows;
    {
        HeaderParser parser(log, rows);
        const QString dir = modFileFct::g_filePath(dbPath);
        for (const HeaderFile& f : kFiles) {
            const QString path = headerPath(dir, QString::fromLatin1(f.name));
            int lineCounter = f.lineBase;
            if (!parser.scanSource(path, lineCounter)) {
                log.addMessage(sprintf("      {*} not found", path));
                return false;
            }
        }
        if (parser.failed()) return false;
    }
    shiftParameters(rows);
    if (!grouping::buildGroup(rows, log)) return false;

    tableWriter::Savepoint transaction(*db);
    const QString backup = table + QStringLiteral("Backup");
    tableWriter::makeBackup(*db, table);
    db->Execute(sprintf("DELETE FROM {*}", quoted(table)));
    std::vector<PreviousRow> previous = readPrevious(*db, backup);
    compare(rows, previous, log);
    writeRows(*db, table, rows);
    writePreviousCodes(*db, backup, previous);

    if (!modGlobal::g_debugMode) tableWriter::dropIfExists(*db, backup);
    transaction.release();
    // The window's report takes its time; the database is no longer held for it.
    report(log, rows, previous);
    return true;
}

}  // namespace

QString symbolPrefix(const QString& cls) {
    if (cls == QLatin1String("ALARM")) return QStringLiteral("LOG:");
    if (cls == QLatin1String("VARIABLE")) return QStringLiteral("VAR:");
    if (cls == QLatin1String("PARAMETER")) return QStringLiteral("PAR:");
    return QString();
}

bool g_scanHeaderFiles(ScanLogWindow& log, const QString& dbPath, const QString& table) {
    bool result = false;
    trap("modScanHeaderFiles", "g_scanHeaderFiles", [&] { result = scanHeaderFiles(log, dbPath, table); });
    return result;
}

}  // namespace modScanHeaderFiles

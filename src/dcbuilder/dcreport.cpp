#include "dcbuilder/dcreport.h"

#include "dao/dao.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/moddatabase.h"
#include "services/modstringfct.h"

#include "dcbuilder/reportpages.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace dcReport {
namespace {
const char* const kTables[] = {"dcEnums", "alarmEnums", "dcBinFile"};

struct Section {
    const char* heading;
    const char* sql;
    std::vector<const char*> columns;
};

// What each part of the report shows; columns a database of an older layout lacks are left out.
// The expression column makes each a snapshot, read in one pass, not a set that fetches
// every row by its key again.
const Section kSections[] = {
    {"Parameters and variables (dcEnums)", "SELECT *, 0 AS reportRow FROM dcEnums WHERE id>=0 ORDER BY id",
     {"id", "name", "class", "varGroup", "value", "minValue", "maxValue", "crcGroup", "readAccessLevel",
      "writeAccessLevel", "modbusAddr", "comment"}},
    {"Alarms (alarmEnums)", "SELECT *, 0 AS reportRow FROM alarmEnums WHERE id>=0 ORDER BY id",
     {"id", "name", "criterion", "hysteresis", "inhibit", "signalIndexName", "onDelayIndexName", "offDelayIndexName",
      "onOffDelayIdName", "comment"}},
    {"Image steps (dcBinFile)", "SELECT *, 0 AS reportRow FROM dcBinFile ORDER BY step",
     {"step", "content", "value", "noOfBytes", "loops", "goto", "class", "varGroup"}},
};

QString cellText(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

// The section's rows as texts; rowRead after each.
reportPages::Table sectionTable(dao::Recordset& rs, const Section& section, const std::function<void()>& rowRead) {
    reportPages::Table table;
    table.heading = QString::fromLatin1(section.heading);
    std::vector<int> shown;
    for (const char* column : section.columns) {
        const int index = rs.FieldIndex(QString::fromLatin1(column));
        if (index < 0) continue;
        shown.push_back(index);
        table.columns << QString::fromLatin1(column);
        table.oneLine.push_back(qstrcmp(column, "name") == 0);
    }
    for (; !rs.eof(); rs.MoveNext()) {
        QStringList row;
        row.reserve(qsizetype(shown.size()));
        for (const int index : shown) row << cellText(rs.Value(index));
        table.rows.push_back(std::move(row));
        rowRead();
    }
    return table;
}

// The sections of the report database, read.
std::vector<reportPages::Table> readSections(dao::Database& db, const std::function<void(float)>& progress) {
    std::vector<std::shared_ptr<dao::Recordset>> sets;
    std::size_t total = 0, read = 0;
    for (const Section& s : kSections) {
        sets.push_back(db.OpenRecordset(QString::fromLatin1(s.sql)));
        total += std::size_t(std::max(0, sets.back()->RecordCount()));
    }
    std::vector<reportPages::Table> tables;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        tables.push_back(sectionTable(*sets[i], kSections[i], [&] {
            if (++read % reportPages::kRowsPerTurn == 0 && progress && total) progress(float(read) / float(total));
        }));
        sets[i]->Close();
    }
    return tables;
}
}  // namespace

void fill(const QString& sourceDb, const QString& reportDb) {

    if (QFile::exists(reportDb) && !QFile::remove(reportDb))
        throw RuntimeError(75, modStringFct::sprintf("Path/File access error: {*}", reportDb));
    dao::CreateDatabase(reportDb)->Close();
    std::shared_ptr<dao::Database> db;
    if (!modDataBase::g_openDBBothPasswords(sourceDb, db, false))
        throw RuntimeError(3051, modStringFct::sprintf("Could not open {*}", sourceDb));
    try {
        for (const char* table : kTables) db->CopyTableTo(QString::fromLatin1(table), reportDb, QString::fromLatin1(table));
    } catch (...) {
        db->Close();
        throw;
    }
    db->Close();
}

void writePdf(const QString& reportDb, const QString& pdfPath, const QString& title,
              const std::function<void(float)>& progress) {
    // Reading takes a share of the time, the pages the rest.
    constexpr float kRead = 0.2f;
    const auto part = [&](float from, float to) {
        return [&progress, from, to](float share) {
            if (progress) progress(from + (to - from) * share);
        };
    };
    reportPages::Document document;
    document.title = title;
    document.heading = QStringLiteral("Data Container Report");
    document.titleLines = {title, modStringFct::sprintf("{*}", TimeService::now())};
    const std::shared_ptr<dao::Database> db = dao::OpenDatabase(reportDb, false, true);
    try {
        document.tables = readSections(*db, part(0, kRead));
    } catch (...) {
        db->Close();
        throw;
    }
    db->Close();

    // Written beside the file and put in its place whole: a report that fails leaves the
    // one before it, and says why.
    QSaveFile file(pdfPath);
    const auto refuse = [&] {
        throw RuntimeError(75, modStringFct::sprintf("Path/File access error: {*}: {*}", pdfPath, file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly)) refuse();
    // Made in memory and written at once: the PDF writer asks its device for its position
    // at every object, which a file answers from the file system.
    QBuffer pages;
    pages.open(QIODevice::WriteOnly);
    reportPages::write(pages, document, part(kRead, 1));
    if (file.write(pages.data()) != pages.data().size() || !file.commit()) refuse();
}

}  // namespace dcReport

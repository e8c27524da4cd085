#include "dcbuilder/dcreport.h"

#include "dao/dao.h"
#include "desktop/runtimeerror.h"
#include "desktop/timeservice.h"
#include "services/moddatabase.h"
#include "services/modstringfct.h"

#include <QFile>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>

namespace dcReport {
namespace {
const char* const kTables[] = {"dcEnums", "alarmEnums", "dcBinFile"};

struct Section {
    const char* heading;
    const char* sql;
    std::vector<const char*> columns;
};

// What each part of the report shows; columns a database of an older layout lacks are left out.
const Section kSections[] = {
    {"Parameters and variables (dcEnums)", "SELECT * FROM dcEnums WHERE id>=0 ORDER BY id",
     {"id", "name", "class", "varGroup", "value", "minValue", "maxValue", "crcGroup", "readAccessLevel",
      "writeAccessLevel", "modbusAddr", "comment"}},
    {"Alarms (alarmEnums)", "SELECT * FROM alarmEnums WHERE id>=0 ORDER BY id",
     {"id", "name", "criterion", "hysteresis", "inhibit", "signalIndexName", "onDelayIndexName", "offDelayIndexName",
      "onOffDelayIdName", "comment"}},
    {"Image steps (dcBinFile)", "SELECT * FROM dcBinFile ORDER BY step",
     {"step", "content", "value", "noOfBytes", "loops", "goto", "class", "varGroup"}},
};

QString cellText(const QVariant& v) { return v.isNull() ? QString() : v.toString().toHtmlEscaped(); }

QString sectionHtml(dao::Database& db, const Section& section) {
    const std::shared_ptr<dao::Recordset> rs = db.OpenRecordset(QString::fromLatin1(section.sql));
    std::vector<std::pair<int, bool>> shown;  // column index, kept on one line
    QString html = QStringLiteral("<h2>%1</h2><table border='1' cellspacing='0' cellpadding='2' width='100%'><tr>")
                       .arg(QString::fromLatin1(section.heading));
    for (const char* column : section.columns) {
        const int index = rs->FieldIndex(QString::fromLatin1(column));
        if (index < 0) continue;
        shown.emplace_back(index, qstrcmp(column, "name") == 0);
        html += QStringLiteral("<th bgcolor='#d8d8d8'>%1</th>").arg(QString::fromLatin1(column));
    }
    html += QStringLiteral("</tr>");
    int rows = 0;
    for (; !rs->eof(); rs->MoveNext(), ++rows) {
        html += QStringLiteral("<tr>");
        for (const auto& [index, oneLine] : shown)
            html += (oneLine ? QStringLiteral("<td style='white-space:nowrap'>%1</td>") : QStringLiteral("<td>%1</td>"))
                        .arg(cellText(rs->Value(index)));
        html += QStringLiteral("</tr>");
    }
    rs->Close();
    return html + QStringLiteral("</table><p>%1 rows</p>").arg(rows);
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

void writePdf(const QString& reportDb, const QString& pdfPath, const QString& title) {
    const std::shared_ptr<dao::Database> db = dao::OpenDatabase(reportDb, false, true);
    QString html = QStringLiteral("<h1>Data Container Report</h1><p>%1<br>%2</p>")
                       .arg(title.toHtmlEscaped(), modStringFct::sprintf("{*}", TimeService::now()));
    try {
        for (const Section& s : kSections) html += sectionHtml(*db, s);
    } catch (...) {
        db->Close();
        throw;
    }
    db->Close();

    QTextDocument doc;
    QFont font = doc.defaultFont();
    font.setPointSizeF(7.5);
    doc.setDefaultFont(font);
    doc.setHtml(html);
    {
        // The file is complete once the writer is gone. The document keeps margins of its own.
        QPdfWriter writer(pdfPath);
        writer.setTitle(title);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                                         QPageLayout::Millimeter));
        doc.print(&writer);
    }
    if (!QFile::exists(pdfPath) || QFile(pdfPath).size() == 0)
        throw RuntimeError(75, modStringFct::sprintf("Path/File access error: {*}", pdfPath));
}

}  // namespace dcReport

// The binary image of the data container: one part (data or alarms) written from, or read
// into, a data-container database by the part's step table.
#include "dcbuilder/dcnumber.h"
#include "dcbuilder/frmdcbuilder.h"
#include "dcbuilder/groupcheck.h"
#include "dcbuilder/openset.h"

#include "desktop/runtimeerror.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"
#include "services/modstringfct.h"
#include "services/wholefile.h"

#include <QFile>
#include <map>

using modStringFct::sprintf;

namespace {
constexpr char kObject[] = "frmDcBuilder";

QString text(const dao::Recordset& rs, const char* field) {
    const QVariant v = rs.Value(QString::fromLatin1(field));
    return v.isNull() ? QString() : v.toString();
}
qint32 number(const dao::Recordset& rs, const char* field) {
    return dcNumber::whole32(rs.Value(QString::fromLatin1(field))).value_or(0);
}

// A set that may be empty: moving to the first row of an empty set is a run-time error.
void rewind(dao::Recordset& rs) {
    if (rs.RecordCount() > 0) rs.MoveFirst();
}

std::vector<dcImage::StepRow> stepRows(dao::Recordset& rs) {
    std::vector<dcImage::StepRow> rows;
    for (rewind(rs); !rs.eof(); rs.MoveNext())
        rows.push_back({number(rs, "step"), text(rs, "content"), text(rs, "value"), number(rs, "noOfBytes"),
                        text(rs, "loops"), number(rs, "goto"), text(rs, "class"), text(rs, "varGroup")});
    return rows;
}

std::vector<dcImage::EnumRecord> enumRecords(dao::Recordset& rs) {
    std::vector<dcImage::EnumRecord> records;
    for (rs.MoveFirst(); !rs.eof(); rs.MoveNext()) {
        dcImage::EnumRecord r;
        for (int i = 0; i < rs.FieldCount(); ++i) r.columns.insert(rs.FieldName(i).toLower(), rs.Value(i));
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<dcImage::Constant> constants(dao::Recordset& rs) {
    std::vector<dcImage::Constant> list;
    for (rewind(rs); !rs.eof(); rs.MoveNext()) list.push_back({text(rs, "name"), number(rs, "id")});
    return list;
}

// The values read go into the enumeration table, record by record, in one pass.
void storeValues(dao::Recordset& rs, const std::vector<dcImage::StoredValue>& stored) {
    std::multimap<int, const dcImage::StoredValue*> byRecord;
    for (const auto& v : stored) byRecord.emplace(v.record, &v);
    int index = 0;
    for (rs.MoveFirst(); !rs.eof() && !byRecord.empty(); rs.MoveNext(), ++index) {
        auto [first, last] = byRecord.equal_range(index);
        if (first == last) continue;
        rs.Edit();
        for (auto it = first; it != last; ++it) rs.SetValue(it->second->column, it->second->value);
        rs.Update();
        byRecord.erase(first, last);
    }
}

void appendLines(const QString& path, const QStringList& lines) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    for (const QString& l : lines) f.write(modStringFct::toAnsi(l) + "\r\n");
}

// "PXM_DATA.txt" beside "PXM_DATA.bin": the walk's item log, kept in debug mode only.
QString debugLogOf(const QString& binFile) { return binFile.left(binFile.size() - 3) + QStringLiteral("txt"); }

void startDebugLog(const QString& logFile) {
    if (QFile::exists(logFile)) QFile::remove(logFile);
    if (modGlobal::g_debugMode) appendLines(logFile, {});
}
}  // namespace

bool frmDcBuilder::walkImage(const QString& db, QByteArray& image, bool build, const QString& prefix, qint64& position,
                             LogWindow& progress, QStringList* debugLines) {
    if (m_tempDc.isEmpty()) m_tempDc = db;
    progress.updateProgress(0, false);
    progress.addMessage(sprintf(build ? "   Build {*}-Bin-File" : "   Read {*}-Bin-File", prefix.toUpper()));
    bool ok = false;
    trap(kObject, "g_buildBinFile", [&] {
        // An empty table leaves its part out of the image: the walk stops with a line naming it.
        const auto refuse = [&](const char* table, const char* what) {
            const QString error = sprintf("Table {*}{*} holds no {*}: the {*}-part cannot be {*}!", prefix,
                                          QString::fromLatin1(table), QString::fromLatin1(what), prefix.toUpper(),
                                          build ? QStringLiteral("built") : QStringLiteral("read"));
            progress.addMessage(QStringLiteral("      ") + error);
            modMsgBox::g_errorMsgBox(error);
        };
        OpenSet records;
        if (!records.open(db, sprintf("SELECT * FROM {*}Enums WHERE id>=0 ORDER BY id", prefix)))
            return refuse("Enums", "entries");
        OpenSet steps, consts;
        dcImage::Tables tables;
        tables.enumTable = prefix + QStringLiteral("Enums");
        if (steps.open(db, sprintf("SELECT * FROM {*}BinFile ORDER BY step", prefix), true)) tables.steps = stepRows(*steps.rs);
        if (tables.steps.empty()) return refuse("BinFile", "steps");
        if (consts.open(db, QStringLiteral("SELECT * FROM sourceScan WHERE class='CONSTANT' ORDER BY id"), true))
            tables.constants = constants(*consts.rs);
        tables.records = enumRecords(*records.rs);

        const float step = 1.0f / float(tables.records.size());
        const dcImage::SpecialEntries special{
            [&](const QString& alias) { return specialText(db, alias); },
            [&](const QString& alias) { return specialNumber(db, alias, QString()); }};
        const dcImage::WalkResult r =
            dcImage::walk(build ? dcImage::Direction::Write : dcImage::Direction::Read, tables, special, image, position,
                          [&] { progress.updateProgress(step, true); });
        if (debugLines) *debugLines << r.debugLines;
        // The group CRCs the image carries must agree with the values read from it.
        const QString error = !r.ok ? r.error
                              : !build && prefix.compare(QLatin1String("dc"), Qt::CaseInsensitive) == 0
                                  ? groupCrc::verifyRead(tables, r, &groupCrc::symbolOf)
                                  : QString();
        if (!error.isEmpty()) {
            progress.addMessage(QStringLiteral("      ") + error);
            modMsgBox::g_errorMsgBox(error);
            return;
        }
        if (!build) storeValues(*records.rs, r.stored);
        ok = true;
    });
    progress.updateProgress(0, false);
    return ok;
}

bool frmDcBuilder::g_buildBinFile(const QString& db, const QString& binFile, bool build, const QString& prefix,
                                  qint64& position, LogWindow& progress, bool append) {
    const QString logFile = debugLogOf(binFile);
    QByteArray image;
    bool readable = true;
    const bool fileOk = trap(kObject, "g_buildBinFile", [&] {
        if (!append) startDebugLog(logFile);
        // A new image starts empty; the old file stays until the new one replaces it.
        if (build && !append) return;
        QFile f(binFile);
        if (!build || f.exists()) {
            readable = f.open(QIODevice::ReadOnly);
            if (readable) image = f.readAll();
        }
    });
    if (!fileOk) return false;
    if (!readable) {
        const QString error = sprintf("Image file {*} cannot be read!", binFile);
        progress.addMessage(QStringLiteral("      ") + error);
        modMsgBox::g_errorMsgBox(error);
        return false;
    }
    QStringList lines;
    const bool ok = walkImage(db, image, build, prefix, position, progress, &lines);
    if (modGlobal::g_debugMode) appendLines(logFile, lines);
    if (!ok || !build) return ok;
    return writeImageFile(binFile, image, progress);
}

bool frmDcBuilder::writeImageFile(const QString& bin, const QByteArray& image, LogWindow& progress) {
    QString reason;
    if (wholeFile::write(bin, image, &reason)) return true;
    const QString error = sprintf("Image file {*} cannot be written: {*}", bin, reason);
    progress.addMessage(QStringLiteral("      ") + error);
    modMsgBox::g_errorMsgBox(error);
    return false;
}

bool frmDcBuilder::buildImage(const QString& db, const QString& bin, QByteArray& image, bool& writeFailed) {
    addMessage(QStringLiteral("Build S19"));
    const QString logFile = debugLogOf(bin);
    trap(kObject, "g_buildBinFile", [&] { startDebugLog(logFile); });
    qint64 position = 0;
    QStringList lines;
    image.clear();
    const bool ok = walkImage(db, image, true, QStringLiteral("dc"), position, *this, &lines) &&
                    walkImage(db, image, true, QStringLiteral("alarm"), position, *this, &lines);
    if (modGlobal::g_debugMode) appendLines(logFile, lines);
    if (!ok || !modGlobal::g_debugMode) return ok;
    writeFailed = !writeImageFile(bin, image, *this);
    return !writeFailed;
}

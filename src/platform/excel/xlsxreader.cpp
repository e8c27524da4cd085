// The .xlsx reader: the workbook part names the sheets and their parts, the shared-string
// part holds the texts, and each sheet part its cells. Only what the values need is read.
#include "excel/workbook.h"

#include <QFile>
#include <QXmlStreamReader>
#include <zip.h>

namespace excel::detail {
namespace {

class Archive {
public:
    explicit Archive(const QString& path) {
        int err = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    }
    ~Archive() {
        if (m_zip) zip_discard(m_zip);
    }
    bool isOpen() const { return m_zip != nullptr; }

    // The unpacked part, or false when it is missing, damaged or larger than the limit.
    bool read(const QString& name, QByteArray& out) const {
        zip_stat_t st;
        zip_stat_init(&st);
        const QByteArray n = name.toUtf8();
        if (zip_stat(m_zip, n.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
        if (st.size > quint64(Workbook::maxPartBytes)) return false;
        zip_file_t* f = zip_fopen(m_zip, n.constData(), 0);
        if (!f) return false;
        out.resize(qsizetype(st.size));
        zip_int64_t got = 0;
        while (got < zip_int64_t(st.size)) {
            const zip_int64_t r = zip_fread(f, out.data() + got, st.size - zip_uint64_t(got));
            if (r <= 0) break;
            got += r;
        }
        zip_fclose(f);
        if (got != zip_int64_t(st.size)) return false;
        return true;
    }

private:
    zip_t* m_zip = nullptr;
};

// A part's target relative to "xl/", resolved as the relationship file means it.
QString partPath(const QString& target) {
    if (target.startsWith(QLatin1Char('/'))) return target.mid(1);
    QString t = target;
    while (t.startsWith(QLatin1String("./"))) t = t.mid(2);
    return QStringLiteral("xl/") + t;
}

// The text of an <si> or <is> element: its <t>, or its runs' <t> in order; phonetic runs
// (<rPh>) are readings, not text.
QString readRichText(QXmlStreamReader& x) {
    const QString end = x.name().toString();
    QString text;
    int phonetic = 0;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            if (x.name() == QLatin1String("rPh")) ++phonetic;
            else if (x.name() == QLatin1String("t") && phonetic == 0) text += x.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (x.isEndElement()) {
            if (x.name() == QLatin1String("rPh")) --phonetic;
            else if (x.name() == end) break;
        }
    }
    return text;
}

std::vector<QString> readSharedStrings(const QByteArray& xml) {
    std::vector<QString> strings;
    QXmlStreamReader x(xml);
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("si")) strings.push_back(readRichText(x));
    }
    return strings;
}

QString cellText(const QString& type, const QString& value, const QString& inlineText,
                 const std::vector<QString>& shared) {
    if (type == QLatin1String("s")) {
        bool ok = false;
        const qulonglong i = value.trimmed().toULongLong(&ok);
        return ok && i < shared.size() ? shared[size_t(i)] : QString();
    }
    if (type == QLatin1String("inlineStr")) return inlineText;
    if (type == QLatin1String("str")) return value;
    if (type == QLatin1String("b")) return value.trimmed() == QLatin1String("1") ? QStringLiteral("True") : QStringLiteral("False");
    if (type == QLatin1String("e")) return QString();  // an error value has no text
    if (value.isEmpty()) return QString();
    bool ok = false;
    const double d = value.trimmed().toDouble(&ok);
    return ok ? numberText(d) : value;
}

void readSheetCells(const QByteArray& xml, const std::vector<QString>& shared, Sheet& sheet) {
    QXmlStreamReader x(xml);
    int row = 0, column = 0;
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement()) continue;
        if (x.name() == QLatin1String("row")) {
            bool ok = false;
            const int r = x.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok ? r : row + 1;
            column = 0;
        } else if (x.name() == QLatin1String("c")) {
            int r = row, c = column + 1;
            const QString ref = x.attributes().value(QLatin1String("r")).toString();
            if (!ref.isEmpty() && !parseCellReference(ref, r, c)) {
                x.skipCurrentElement();
                continue;
            }
            column = c;
            const QString type = x.attributes().value(QLatin1String("t")).toString();
            QString value, inlineText;
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement()) {
                    if (x.name() == QLatin1String("v")) value = x.readElementText(QXmlStreamReader::IncludeChildElements);
                    else if (x.name() == QLatin1String("is")) inlineText = readRichText(x);
                    else x.skipCurrentElement();
                } else if (x.isEndElement() && x.name() == QLatin1String("c")) {
                    break;
                }
            }
            if (r < 1 || r > Workbook::maxRows || c < 1 || c > Workbook::maxColumns) continue;
            const QString text = cellText(type, value, inlineText, shared);
            if (!text.isEmpty()) sheet.cells.insert((quint64(r) << 16) | quint64(c), text);
        }
    }
}

}  // namespace

std::unique_ptr<Workbook> readXlsx(const QString& path, QString& error) {
    Archive zip(path);
    QByteArray workbookXml, relsXml, sharedXml;
    if (!zip.isOpen() || !zip.read(QStringLiteral("xl/workbook.xml"), workbookXml) ||
        !zip.read(QStringLiteral("xl/_rels/workbook.xml.rels"), relsXml)) {
        error = QStringLiteral("%1 is no readable .xlsx workbook.").arg(path);
        return nullptr;
    }
    QHash<QString, QString> targets;  // relationship id -> part
    {
        QXmlStreamReader x(relsXml);
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("Relationship"))
                targets.insert(x.attributes().value(QLatin1String("Id")).toString(),
                               partPath(x.attributes().value(QLatin1String("Target")).toString()));
        }
    }
    std::vector<QString> shared;
    if (zip.read(QStringLiteral("xl/sharedStrings.xml"), sharedXml)) shared = readSharedStrings(sharedXml);

    auto book = std::make_unique<Workbook>();
    QXmlStreamReader x(workbookXml);
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement() || x.name() != QLatin1String("sheet")) continue;
        Sheet sheet;
        const auto a = x.attributes();
        sheet.name = a.value(QLatin1String("name")).toString();
        const QString state = a.value(QLatin1String("state")).toString();
        sheet.hidden = state == QLatin1String("hidden") || state == QLatin1String("veryHidden");
        QString rid;
        for (const auto& attr : a)
            if (attr.name() == QLatin1String("id")) rid = attr.value().toString();  // r:id
        QByteArray sheetXml;
        if (targets.contains(rid) && zip.read(targets.value(rid), sheetXml)) readSheetCells(sheetXml, shared, sheet);
        book->m_sheets.push_back(std::move(sheet));
    }
    if (x.hasError() && book->m_sheets.empty()) {
        error = QStringLiteral("%1 is no readable .xlsx workbook.").arg(path);
        return nullptr;
    }
    return book;
}

}  // namespace excel::detail

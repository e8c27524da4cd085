// The .xlsx reader: the workbook part names the sheets and their parts, the shared-string
// part holds the texts, the styles part tells which numbers are dates, and each sheet part
// holds its cells. Only what the values need is read, and only the sheets asked for; a part
// that does not read whole, or leaves a cell's value in doubt, refuses the workbook.
#include "excel/dateformat.h"
#include "excel/workbook.h"

#include <QFile>
#include <QXmlStreamReader>
#include <optional>
#include <zip.h>

namespace excel::detail {
namespace {

// The first fault found, naming the file and the part; reading stops at it.
struct Damage {
    QString path;
    QString error;
    bool part(const QString& name, const QString& what) {
        if (error.isEmpty()) error = QStringLiteral("%1 is a damaged .xlsx workbook: its part %2 %3.").arg(path, name, what);
        return false;
    }
    bool xml(const QString& name, const QXmlStreamReader& x) {
        if (!x.hasError()) return true;
        QString why = x.errorString();
        if (why.endsWith(QLatin1Char('.'))) why.chop(1);
        return part(name, QStringLiteral("is no well-formed XML (line %1: %2)").arg(x.lineNumber()).arg(why));
    }
};

// A declaration can stand only before the root element: the reading stops there.
bool hasDoctype(const QByteArray& xml) {
    QXmlStreamReader x(xml);
    while (!x.atEnd()) {
        const auto token = x.readNext();
        if (token == QXmlStreamReader::DTD) return true;
        if (token == QXmlStreamReader::StartElement) return false;
    }
    return false;
}

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

    // What every entry says it unpacks to, added up; -1 when an entry does not say.
    qint64 declaredBytes() const {
        qint64 total = 0;
        const zip_int64_t n = zip_get_num_entries(m_zip, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return -1;
            if (st.size > quint64(Workbook::maxWorkbookBytes)) return qint64(st.size);
            total += qint64(st.size);
        }
        return total;
    }

    bool contains(const QString& name) const { return zip_name_locate(m_zip, name.toUtf8().constData(), 0) >= 0; }

    // The unpacked part. It must unpack to exactly the size the zip records and pass its
    // checksum, which libzip verifies only once it has read to the end of the entry.
    bool read(const QString& name, QByteArray& out, Damage& damage) const {
        zip_stat_t st;
        zip_stat_init(&st);
        const QByteArray n = name.toUtf8();
        if (zip_stat(m_zip, n.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            return damage.part(name, QStringLiteral("is missing"));
        zip_file_t* f = zip_fopen(m_zip, n.constData(), 0);
        if (!f) return damage.part(name, QStringLiteral("cannot be unpacked"));
        out.resize(qsizetype(st.size) + 1);  // one byte more shows an entry longer than recorded
        zip_int64_t got = 0, r = 0;
        while (got < out.size() && (r = zip_fread(f, out.data() + got, zip_uint64_t(out.size() - got))) > 0) got += r;
        zip_fclose(f);
        if (r < 0 || got != zip_int64_t(st.size))
            return damage.part(name, QStringLiteral("does not unpack to its recorded size and checksum"));
        out.resize(qsizetype(got));
        // A document type declaration brings entities, external ones included, whose text
        // the reader would not see; no writer of workbooks puts one in.
        if (hasDoctype(out)) return damage.part(name, QStringLiteral("holds a document type declaration"));
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

bool readSharedStrings(const QString& part, const QByteArray& xml, std::vector<QString>& strings, Damage& damage) {
    QXmlStreamReader x(xml);
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == QLatin1String("si")) strings.push_back(readRichText(x));
    }
    return damage.xml(part, x);
}

// One <c> element as read.
struct RawCell {
    QString type, value, inlineText;
    int style = 0;  // index into the cell formats
    bool hasValue = false, formula = false;
};

// What the styles say of the cells' numbers: the date kind of each cell format.
struct Formats {
    std::vector<DateKind> cellFormats;
    bool date1904 = false;
    DateKind of(int style) const { return style >= 0 && size_t(style) < cellFormats.size() ? cellFormats[size_t(style)] : DateKind::None; }
};

// The number formats of the cell formats (<cellXfs>), custom ones by their code.
bool readStyles(const QString& part, const QByteArray& xml, Formats& formats, Damage& damage) {
    QXmlStreamReader x(xml);
    QHash<int, DateKind> custom;
    bool inCellFormats = false;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isEndElement() && x.name() == QLatin1String("cellXfs")) inCellFormats = false;
        if (!x.isStartElement()) continue;
        const auto a = x.attributes();
        if (x.name() == QLatin1String("numFmt")) {
            custom.insert(a.value(QLatin1String("numFmtId")).toInt(), formatCodeKind(a.value(QLatin1String("formatCode")).toString()));
        } else if (x.name() == QLatin1String("cellXfs")) {
            inCellFormats = true;
        } else if (inCellFormats && x.name() == QLatin1String("xf")) {
            const int id = a.value(QLatin1String("numFmtId")).toInt();
            formats.cellFormats.push_back(custom.contains(id) ? custom.value(id) : builtinFormatKind(id));
        }
    }
    return damage.xml(part, x);
}

// What a cell reads as: its text, or none for a formula or boolean without a value; or a
// fault when the cell contradicts the workbook (a shared-string index past the table, a
// boolean not 0 or 1).
struct CellValue {
    std::optional<QString> text;
    QString fault;
};

CellValue cellValue(const RawCell& c, const std::vector<QString>& shared, const Formats& formats) {
    const QString v = c.value.trimmed();
    if (c.type == QLatin1String("s")) {
        if (!c.hasValue) return {QString(), {}};
        bool ok = false;
        const qulonglong i = v.toULongLong(&ok);
        if (!ok || i >= shared.size())
            return {{}, QStringLiteral("the shared-string index %1, past the table's %2 strings").arg(c.value).arg(shared.size())};
        return {shared[size_t(i)], {}};
    }
    if (c.type == QLatin1String("inlineStr")) return {c.inlineText, {}};
    if (c.type == QLatin1String("str")) return {c.hasValue ? std::optional<QString>(c.value) : std::nullopt, {}};
    if (c.type == QLatin1String("b")) {
        if (v.isEmpty()) return {};
        if (v != QLatin1String("0") && v != QLatin1String("1"))
            return {{}, QStringLiteral("the boolean \"%1\"").arg(c.value)};
        return {v == QLatin1String("1") ? QStringLiteral("True") : QStringLiteral("False"), {}};
    }
    if (c.type == QLatin1String("e")) return {QString(), {}};  // an error value has no text
    if (v.isEmpty()) return {c.formula ? std::nullopt : std::optional<QString>(QString()), {}};
    const DateKind kind = formats.of(c.style);
    if (c.type == QLatin1String("d")) {
        if (const std::optional<QString> t = isoDateText(v, kind)) return {t, {}};
        return {{}, QStringLiteral("the date \"%1\"").arg(c.value)};
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok) return {{}, QStringLiteral("the number \"%1\"").arg(c.value)};
    if (kind == DateKind::None) return {numberText(d), {}};
    // A date reads as its date, never as the day number it is stored as.
    if (const std::optional<QString> t = serialDateText(d, kind, formats.date1904)) return {t, {}};
    return {{}, QStringLiteral("the date number %1, which is no date a workbook shows").arg(c.value)};
}

bool readSheetCells(const QString& part, const QByteArray& xml, const std::vector<QString>& shared, const Formats& formats,
                    Sheet& sheet, Damage& damage) {
    QXmlStreamReader x(xml);
    int row = 0, column = 0;
    QSet<quint64> seen;  // a cell claimed twice holds two values: neither can be trusted
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement()) continue;
        if (x.name() == QLatin1String("row")) {
            const auto r = x.attributes().value(QLatin1String("r"));
            bool ok = r.isEmpty();
            row = r.isEmpty() ? row + 1 : r.toInt(&ok);
            if (!ok || row < 1 || row > Workbook::maxRows)
                return damage.part(part, QStringLiteral("holds the row number \"%1\"").arg(r.toString()));
            column = 0;
        } else if (x.name() == QLatin1String("c")) {
            int r = row, c = column + 1;
            const QString ref = x.attributes().value(QLatin1String("r")).toString();
            if (!ref.isEmpty() && !parseCellReference(ref, r, c))
                return damage.part(part, QStringLiteral("holds the cell reference \"%1\"").arg(ref));
            column = c;
            RawCell raw;
            raw.type = x.attributes().value(QLatin1String("t")).toString();
            raw.style = x.attributes().value(QLatin1String("s")).toInt();
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement()) {
                    if (x.name() == QLatin1String("v")) {
                        raw.value = x.readElementText(QXmlStreamReader::IncludeChildElements);
                        raw.hasValue = true;
                    } else if (x.name() == QLatin1String("is")) {
                        raw.inlineText = readRichText(x);
                    } else {
                        raw.formula = raw.formula || x.name() == QLatin1String("f");
                        x.skipCurrentElement();
                    }
                } else if (x.isEndElement() && x.name() == QLatin1String("c")) {
                    break;
                }
            }
            if (x.hasError()) break;
            if (r < 1 || r > Workbook::maxRows || c < 1 || c > Workbook::maxColumns)
                return damage.part(part, QStringLiteral("holds a cell outside the grid"));
            if (seen.contains(Sheet::key(r, c)))
                return damage.part(part, QStringLiteral("holds cell %1 twice").arg(cellReference(r, c)));
            seen.insert(Sheet::key(r, c));
            const CellValue value = cellValue(raw, shared, formats);
            if (!value.fault.isEmpty())
                return damage.part(part, QStringLiteral("holds in cell %1 %2").arg(cellReference(r, c), value.fault));
            if (!value.text) sheet.withoutValue.insert(Sheet::key(r, c));
            else if (!value.text->isEmpty()) sheet.cells.insert(Sheet::key(r, c), *value.text);
        }
    }
    return damage.xml(part, x);
}

}  // namespace

std::unique_ptr<Workbook> readXlsx(const QString& path, QString& error, const QStringList& only) {
    Archive zip(path);
    Damage damage{path, QString()};
    const QString workbookPart = QStringLiteral("xl/workbook.xml"), relsPart = QStringLiteral("xl/_rels/workbook.xml.rels");
    if (!zip.isOpen() || !zip.contains(workbookPart) || !zip.contains(relsPart)) {
        error = QStringLiteral("%1 is no readable .xlsx workbook.").arg(path);
        return nullptr;
    }
    // Every entry counts, read or not: a few parts must not unpack to gigabytes.
    const qint64 declared = zip.declaredBytes();
    if (declared < 0 || declared > Workbook::maxWorkbookBytes) {
        error = QStringLiteral("%1 is refused: its parts unpack to more than %2 MiB together.")
                    .arg(path)
                    .arg(Workbook::maxWorkbookBytes >> 20);
        return nullptr;
    }
    QByteArray workbookXml, relsXml;
    if (!zip.read(workbookPart, workbookXml, damage) || !zip.read(relsPart, relsXml, damage)) {
        error = damage.error;
        return nullptr;
    }
    QHash<QString, QString> targets;  // relationship id -> part
    QString sharedPart = QStringLiteral("xl/sharedStrings.xml"), stylesPart = QStringLiteral("xl/styles.xml");
    {
        QXmlStreamReader x(relsXml);
        while (!x.atEnd()) {
            x.readNext();
            if (!x.isStartElement() || x.name() != QLatin1String("Relationship")) continue;
            const QString target = partPath(x.attributes().value(QLatin1String("Target")).toString());
            targets.insert(x.attributes().value(QLatin1String("Id")).toString(), target);
            if (x.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/sharedStrings"))) sharedPart = target;
            if (x.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/styles"))) stylesPart = target;
        }
        if (!damage.xml(relsPart, x)) {
            error = damage.error;
            return nullptr;
        }
    }
    struct Wanted {
        Sheet sheet;
        QString part;
    };
    std::vector<Wanted> wanted;
    Formats formats;
    {
        QXmlStreamReader x(workbookXml);
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("workbookPr")) {
                const auto d = x.attributes().value(QLatin1String("date1904"));
                formats.date1904 = d == QLatin1String("1") || d == QLatin1String("true");
            }
            if (!x.isStartElement() || x.name() != QLatin1String("sheet")) continue;
            const auto a = x.attributes();
            Wanted w;
            w.sheet.name = a.value(QLatin1String("name")).toString();
            if (!only.isEmpty() && !only.contains(w.sheet.name)) continue;
            const QString state = a.value(QLatin1String("state")).toString();
            w.sheet.hidden = state == QLatin1String("hidden") || state == QLatin1String("veryHidden");
            QString rid;
            for (const auto& attr : a)
                if (attr.name() == QLatin1String("id")) rid = attr.value().toString();  // r:id
            if (!targets.contains(rid)) {
                damage.part(relsPart, QStringLiteral("names no part for sheet %1").arg(w.sheet.name));
                break;
            }
            w.part = targets.value(rid);
            wanted.push_back(std::move(w));
        }
        if (!damage.xml(workbookPart, x) || !damage.error.isEmpty()) {
            error = damage.error;
            return nullptr;
        }
    }
    std::vector<QString> shared;
    QByteArray xml;
    if (!wanted.empty() && zip.contains(sharedPart) &&
        (!zip.read(sharedPart, xml, damage) || !readSharedStrings(sharedPart, xml, shared, damage))) {
        error = damage.error;
        return nullptr;
    }
    if (!wanted.empty() && zip.contains(stylesPart) &&
        (!zip.read(stylesPart, xml, damage) || !readStyles(stylesPart, xml, formats, damage))) {
        error = damage.error;
        return nullptr;
    }
    auto book = std::make_unique<Workbook>();
    for (Wanted& w : wanted) {
        if (!zip.read(w.part, xml, damage) || !readSheetCells(w.part, xml, shared, formats, w.sheet, damage)) {
            error = damage.error;
            return nullptr;
        }
        book->m_sheets.push_back(std::move(w.sheet));
    }
    return book;
}

}  // namespace excel::detail

#include "dcbuilder/imagewalk.h"

#include "bytes/bytes.h"
#include "dcbuilder/dcnumber.h"
#include "services/modstringfct.h"
#include "services/srecord.h"

#include <cmath>

namespace dcImage {

using dcNumber::numberOf;
using modStringFct::sprintf;

namespace {

constexpr bytes::Order kOrder = bytes::Order::BigEndian;

struct Failure {
    QString text;
};

bool isNumber(const QString& text) { return numberOf(text).has_value(); }

// "&H" and the upper-case hexadecimal digits of a value read with the item's width.
QString readText(qint64 value, int width) {
    const quint64 mask = width >= 8 ? ~quint64(0) : (quint64(1) << (8 * width)) - 1;
    return QStringLiteral("&H") + QString::number(quint64(value) & mask, 16).toUpper();
}

bool isNumberWidth(int width) { return width == 1 || width == 2 || width == 4; }

QString toText(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

class Walk {
public:
    Walk(Direction dir, const Tables& t, const SpecialEntries& s, QByteArray& image, qint64& position,
         const std::function<void()>& onRow)
        : m_dir(dir), m_t(t), m_special(s), m_image(image), m_pos(position), m_onRow(onRow) {}

    void run(WalkResult& result) {
        std::size_t i = 0;
        while (i < m_t.steps.size()) {
            const StepRow& row = m_t.steps[i];
            if (m_onRow) m_onRow();
            item(row, result);
            loadCount(row);
            i = next(row, i);
        }
    }

private:
    // A value of the row as the failure names it: quoted, so that an empty one shows.
    static QString named(const char* column, const QString& value) {
        return value.isEmpty() ? sprintf("an empty {*}", column) : sprintf(QStringLiteral("{*} \"{*}\""), column, value);
    }

    [[noreturn]] void fail(const StepRow& row, const QString& what) const {
        throw Failure{sprintf("Step {*} ({*}): {*}", row.step, row.content, what)};
    }

    void item(const StepRow& row, WalkResult& result) {
        const int width = row.noOfBytes;
        if (width < 1) fail(row, sprintf("noOfBytes {*} is no item width", width));
        if (m_pos + width > modDownload::maxSRecImageSize)
            fail(row, sprintf("the image would grow beyond {*} bytes", modDownload::maxSRecImageSize));
        const qint64 stuffing = (width - m_pos % width) % width;
        if (stuffing > 0) {
            result.debugLines << QStringLiteral("stuffingbytes ") + QString::number(stuffing);
            if (m_dir == Direction::Write) bytes::Writer(m_image, kOrder, m_pos).zeros(stuffing);
            m_pos += stuffing;
        }
        QString label;
        const QString text = m_dir == Direction::Write ? writeItem(row, label) : readItem(row, label, result);
        m_pos += width;
        result.debugLines << sprintf("{*}   {*}: {*}    {*}", row.step, row.content, text, label);
    }

    // ---- write mode ----
    QString writeItem(const StepRow& row, QString& label) {
        const int width = row.noOfBytes;
        if (row.value.startsWith(QLatin1String("DC_"))) {
            label = row.content;
            return width > 4 ? writeSpecialText(row) : writeSpecialNumber(row);
        }
        QString text;
        if (row.value.startsWith(QLatin1String("TABLE"))) {
            const EnumRecord& r = moveRecord(row);
            text = toText(tableColumn(row, r));
            label = toText(r.column(QStringLiteral("name")));
        } else if (isNumber(row.value)) {
            text = row.value;
        } else {
            text = QString::number(constantId(row, row.value));
        }
        if (isNumberWidth(width))
            putNumber(row, text);
        else
            putText(modStringFct::toAnsi(text), width);
        return text;
    }

    QString writeSpecialText(const StepRow& row) {
        const std::optional<QString> text = m_special.text ? m_special.text(row.value) : std::nullopt;
        if (!text) fail(row, sprintf("special entry {*} not found", row.value));
        // Special texts are filled up with blanks, as the module software expects them.
        putText(modStringFct::toAnsi(text->leftJustified(row.noOfBytes, QLatin1Char(' '), true)), row.noOfBytes);
        return *text;
    }

    QString writeSpecialNumber(const StepRow& row) {
        const std::optional<QString> number = m_special.number ? m_special.number(row.value) : std::nullopt;
        if (!number) fail(row, sprintf("special entry {*} not found", row.value));
        QString digits;
        const std::optional<QByteArray> bcd = packedBcd(*number, row.noOfBytes, &digits);
        if (!bcd) fail(row, sprintf("{*} of {*} does not fit into {*} BCD bytes", *number, row.value, row.noOfBytes));
        putText(*bcd, row.noOfBytes);
        return QStringLiteral("&H") + digits;
    }

    void putNumber(const StepRow& row, const QString& text) {
        const int width = row.noOfBytes;
        double d = 0;
        if (text.trimmed().isEmpty()) {
            if (width != 1) fail(row, sprintf("empty value in a {*}-byte item", width));
        } else {
            const std::optional<double> n = numberOf(text);
            if (!n) fail(row, sprintf("{*} is not a number", text));
            d = std::nearbyint(*n);  // halves to even
        }
        const double low = width == 1 ? -256.0 : -2147483648.0;
        if (!(d >= low && d <= 2147483647.0)) fail(row, sprintf("{*} does not fit into {*} bytes", text, width));
        bytes::put(m_image, m_pos, qint64(d), width, kOrder);
    }

    // A text field: cut to the width, shorter texts padded with zero bytes.
    void putText(const QByteArray& data, int width) {
        bytes::Writer w(m_image, kOrder, m_pos);
        w.raw(data.left(width));
        w.zeros(width - qMin<qsizetype>(width, data.size()));
    }

    // ---- read mode ----
    QString readItem(const StepRow& row, QString& label, WalkResult& result) {
        const int width = row.noOfBytes;
        if (m_pos + width > m_image.size())
            fail(row, sprintf("the image ends at byte {*}, the item needs {*} bytes from byte {*}", m_image.size(), width, m_pos));
        const bool table = row.value.startsWith(QLatin1String("TABLE"));
        const EnumRecord* r = table ? &moveRecord(row) : nullptr;
        if (r) label = toText(r->column(QStringLiteral("name")));
        if (!isNumberWidth(width)) return r ? toText(tableColumn(row, *r)) : QString();
        const qint64 v = width == 1 ? qint64(*bytes::getUnsigned(m_image, m_pos, 1, kOrder))
                                    : *bytes::getSigned(m_image, m_pos, width, kOrder);
        if (r) {
            tableColumn(row, *r);  // the column must exist
            result.stored.push_back({m_current, row.content, v, width});
        } else if (row.value.startsWith(QLatin1String("DC_"))) {
            result.specials.push_back({row.value, m_image.mid(m_pos, width)});
        }
        return readText(v, width);
    }

    // ---- shared by both directions ----
    // The record a TABLE row stands on: a value ending in "_" stays on the current record,
    // any other first moves to the next record of the row's class (and group).
    const EnumRecord& moveRecord(const StepRow& row) {
        if (!row.value.endsWith(QLatin1Char('_'))) {
            const bool parameter = row.cls.compare(QLatin1String("PARAMETER"), Qt::CaseInsensitive) == 0;
            auto matches = [&](const EnumRecord& r) {
                if (toText(r.column(QStringLiteral("class"))).compare(row.cls, Qt::CaseInsensitive) != 0) return false;
                return !parameter ||
                       toText(r.column(QStringLiteral("varGroup"))).compare(row.varGroup, Qt::CaseInsensitive) == 0;
            };
            const int from = m_counter == 0 ? 0 : m_current + 1;
            int found = -1;
            for (int i = qMax(from, 0); i < int(m_t.records.size()) && found < 0; ++i)
                if (matches(m_t.records[std::size_t(i)])) found = i;
            if (found < 0) {
                const QString what = parameter ? sprintf("{*} and {*}", named("class", row.cls), named("varGroup", row.varGroup))
                                               : named("class", row.cls);
                fail(row, sprintf("no further record of {*} in {*}", what, m_t.enumTable));
            }
            m_current = found;
        }
        if (m_current < 0) fail(row, sprintf("no current record of {*}", m_t.enumTable));
        return m_t.records[std::size_t(m_current)];
    }

    QVariant tableColumn(const StepRow& row, const EnumRecord& r) const {
        if (!r.columns.contains(row.content.toLower()))
            fail(row, sprintf("{*} has no column {*}", m_t.enumTable, row.content));
        return r.column(row.content);
    }

    qint32 constantId(const StepRow& row, const QString& name) const {
        for (const Constant& c : m_t.constants)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0) return c.id;
        fail(row, sprintf("ID {*} not found", name));
    }

    // The repeat count is loaded where the counter is 0 and the row names one.
    void loadCount(const StepRow& row) {
        const QString loops = row.loops.trimmed();
        if (m_counter != 0 || loops.isEmpty()) return;
        const std::optional<double> n = numberOf(loops);
        const qint64 count = n ? qint64(std::nearbyint(*n)) : qint64(constantId(row, loops));
        if (count < 1) fail(row, sprintf("loop count {*} is below 1", count));
        m_counter = count;
    }

    std::size_t next(const StepRow& row, std::size_t i) {
        if (row.gotoStep <= 0) return i + 1;
        if (m_counter < 1) fail(row, sprintf("goto {*} without a loop count", row.gotoStep));
        if (--m_counter < 1) return i + 1;
        for (std::size_t k = m_t.steps.size(); k-- > 0;)
            if (m_t.steps[k].step == row.gotoStep) return k;
        fail(row, sprintf("goto {*} names no step", row.gotoStep));
    }

    Direction m_dir;
    const Tables& m_t;
    const SpecialEntries& m_special;
    QByteArray& m_image;
    qint64& m_pos;
    const std::function<void()>& m_onRow;
    qint64 m_counter = 0;  // one counter for the whole walk: loops do not nest
    int m_current = -1;    // the current record of the enumeration table
};

}  // namespace

WalkResult walk(Direction dir, const Tables& tables, const SpecialEntries& special, QByteArray& image,
                qint64& position, const std::function<void()>& onRow) {
    WalkResult result;
    try {
        Walk(dir, tables, special, image, position, onRow).run(result);
    } catch (const Failure& f) {
        result.ok = false;
        result.error = f.text;
    }
    return result;
}

std::optional<QByteArray> packedBcd(const QString& numberText, int width, QString* digitsShown) {
    if (width < 1 || width > 4) return std::nullopt;
    const std::optional<double> n = numberOf(numberText);
    if (!n || *n < 0 || *n > 9.0e15) return std::nullopt;
    QString digits = QString::number(qint64(std::nearbyint(*n)));
    if (width == 4 && digits.size() > 8) return std::nullopt;
    digits = digits.right(2 * width);
    if (digitsShown) *digitsShown = digits;
    return QByteArray::fromHex(digits.rightJustified(2 * width, QLatin1Char('0')).toLatin1());
}

}  // namespace dcImage

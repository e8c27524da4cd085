// The formatter sprintf: escapes first, then the placeholders from left to right.
#include "services/modstringfct.h"

#include "desktop/runtimeerror.h"
#include "services/errtrap.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>
#include <optional>

namespace modStringFct {

namespace {

bool isIntegerType(int id) {
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long: case QMetaType::ULong:
    case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

QString integerText(const QVariant& v) {
    const int id = v.metaType().id();
    if (id == QMetaType::ULongLong || id == QMetaType::ULong) return QString::number(v.toULongLong());
    return QString::number(v.toLongLong());
}

QString floatText(double d) {
    // Shortest form of up to 15 significant digits, exponent as "E+20".
    QString s = QString::number(d, 'g', 15).replace(QLatin1Char('e'), QLatin1Char('E'));
    return s.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString plainText(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return QString();
    const int id = v.metaType().id();
    if (id == QMetaType::Bool) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (isIntegerType(id)) return integerText(v);
    if (id == QMetaType::Double || id == QMetaType::Float) return floatText(v.toDouble());
    if (id == QMetaType::Char) return QString(ansiChar(static_cast<uchar>(v.value<char>())));
    const QLocale loc;
    if (id == QMetaType::QDate) return loc.toString(v.toDate(), QLocale::ShortFormat);
    if (id == QMetaType::QTime) return loc.toString(v.toTime(), QLocale::ShortFormat);
    if (id == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0)) return loc.toString(dt.date(), QLocale::ShortFormat);
        return loc.toString(dt.date(), QLocale::ShortFormat) + QLatin1Char(' ') + loc.toString(dt.time(), QLocale::ShortFormat);
    }
    return v.toString();
}

// A value as a number for the display formats: numbers, Booleans (-1/0) and numeric text.
struct Number {
    bool integral = false;
    qlonglong i = 0;
    double d = 0;
};

std::optional<Number> asNumber(const QVariant& v) {
    if (!v.isValid() || v.isNull()) return Number{true, 0, 0};
    const int id = v.metaType().id();
    if (id == QMetaType::Bool) return Number{true, v.toBool() ? -1 : 0, 0};
    if (isIntegerType(id)) return Number{true, v.toLongLong(), 0};
    if (id == QMetaType::Double || id == QMetaType::Float) return Number{false, 0, v.toDouble()};
    if (id == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        bool ok = false;
        const qlonglong i = t.toLongLong(&ok);
        if (ok) return Number{true, i, 0};
        double d = QLocale().toDouble(t, &ok);
        if (!ok) d = QLocale::c().toDouble(t, &ok);
        if (ok) return Number{false, 0, d};
    }
    return std::nullopt;
}

bool isZero(const Number& n) { return n.integral ? n.i == 0 : n.d == 0.0; }

bool isDigitMaskChar(QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('#'); }

// Digit masks: "0" a digit always shown, "#" a digit shown when significant, "." the
// decimal point, "," grouping; other characters before or after the digits stay as text.
std::optional<QString> numericMask(const QString& mask, const Number& n) {
    int first = -1, last = -1;
    for (int k = 0; k < mask.size(); ++k)
        if (isDigitMaskChar(mask[k])) { if (first < 0) first = k; last = k; }
    if (first < 0) return std::nullopt;
    int dotAt = mask.indexOf(QLatin1Char('.'), first);
    if (dotAt > last) dotAt = -1;
    const QString core = mask.mid(first, last - first + 1);
    const QString intMask = dotAt < 0 ? core : mask.mid(first, dotAt - first);
    const QString fracMask = dotAt < 0 ? QString() : mask.mid(dotAt + 1, last - dotAt);
    const int intMin = int(intMask.count(QLatin1Char('0')));
    const int fracMin = int(fracMask.count(QLatin1Char('0')));
    const int fracMax = fracMin + int(fracMask.count(QLatin1Char('#')));

    bool negative = false;
    QString intDigits, fracDigits;
    if (n.integral) {
        negative = n.i < 0;
        intDigits = QString::number(negative ? 0 - static_cast<qulonglong>(n.i) : static_cast<qulonglong>(n.i));
    } else {
        const double scale = std::pow(10.0, fracMax);
        const double r = std::round(std::fabs(n.d) * scale) / scale;  // half away from zero
        negative = n.d < 0 && r != 0.0;
        const QString s = QString::number(r, 'f', fracMax);
        const int p = int(s.indexOf(QLatin1Char('.')));
        intDigits = p < 0 ? s : s.left(p);
        fracDigits = p < 0 ? QString() : s.mid(p + 1);
    }
    if (intDigits == QLatin1String("0")) intDigits.clear();
    while (intDigits.size() < intMin) intDigits.prepend(QLatin1Char('0'));
    while (fracDigits.size() > fracMin && fracDigits.endsWith(QLatin1Char('0'))) fracDigits.chop(1);
    const QLocale loc;
    if (intMask.contains(QLatin1Char(',')))
        for (qsizetype k = intDigits.size() - 3; k > 0; k -= 3) intDigits.insert(k, loc.groupSeparator());
    QString out = mask.left(first);
    if (negative) out += QLatin1Char('-');
    out += intDigits;
    if (dotAt >= 0) out += loc.decimalPoint() + fracDigits;
    return out + mask.mid(last + 1);
}

QString displayFormat(const QVariant& v, const QString& format) {
    const std::optional<Number> n = asNumber(v);
    if (!n) return plainText(v);
    const QString f = format.toLower();
    if (f == QLatin1String("yes/no")) return isZero(*n) ? QStringLiteral("No") : QStringLiteral("Yes");
    if (f == QLatin1String("true/false")) return isZero(*n) ? QStringLiteral("False") : QStringLiteral("True");
    if (f == QLatin1String("on/off")) return isZero(*n) ? QStringLiteral("Off") : QStringLiteral("On");
    if (const std::optional<QString> s = numericMask(format, *n)) return *s;
    return plainText(v);
}

void replaceEscapes(QString& text) {
    // The doubled backslash first, so that "\\n" stays a backslash and an n.
    text.replace(QLatin1String("\\\\"), QLatin1String("{\\}"));
    text.replace(QLatin1String("\\t"), QLatin1String("\t"));
    text.replace(QLatin1String("\\r"), QLatin1String("\r"));
    text.replace(QLatin1String("\\n"), QLatin1String("\r\n"));
    text.replace(QLatin1String("\\{"), QLatin1String("{(}"));
}

void formatInPlace(QString& text, const QVariantList& values) {
    replaceEscapes(text);
    qsizetype pos = 0;
    qsizetype argIdx = 0;
    const qsizetype lastIdx = values.size() - 1;
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), pos);
        if (open < 0) return;
        const qsizetype close = text.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0)
            throw RuntimeError(errMissingBrace,
                               QStringLiteral("Missing '}' after '{' at position %1!").arg(open + 1),
                               QStringLiteral("printf"));
        QString ph = text.mid(open + 1, close - open - 1);
        std::optional<qsizetype> saved;
        if (ph.size() >= 2 && ph[0] >= QLatin1Char('1') && ph[0] <= QLatin1Char('9') && ph[1] == QLatin1Char(':')) {
            saved = argIdx;
            // Past the last value means the last value; with no values at all it stays
            // out of range and the value check below reports it.
            argIdx = std::min<qsizetype>(ph[0].unicode() - '1', lastIdx);
            ph.remove(0, 2);
        }
        if (ph.startsWith(QLatin1Char('=')))
            throw RuntimeError(errScriptCode,
                               QStringLiteral("No script code allowed in placeholder string. Use the sprintf COM-component instead."),
                               QStringLiteral("sprintf"));
        QString repl;
        bool advance = true;
        if (ph.isEmpty()) {
        } else if (ph == QLatin1String("(")) {
            repl = QStringLiteral("{");
            advance = false;
        } else if (ph == QLatin1String("\\")) {
            repl = QStringLiteral("\\");
            advance = false;
        } else {
            if (argIdx < 0 || argIdx > lastIdx)
                throw RuntimeError(errMissingValue,
                                   QStringLiteral("Missing value in printf-call for format string '{%1}'!").arg(ph),
                                   QStringLiteral("printf"));
            const QVariant& v = values[argIdx];
            repl = ph == QLatin1String("*") ? plainText(v) : displayFormat(v, ph);
        }
        text.replace(open, close - open + 1, repl);
        pos = open + repl.size();
        if (saved) argIdx = *saved;
        else if (advance) ++argIdx;
    }
}

}  // namespace

QString sprintfv(QString format, const QVariantList& values) {
    // After "Continue" the text formed so far is the result.
    trap("modStringFct", "sprintf", [&] { formatInPlace(format, values); });
    return format;
}

}  // namespace modStringFct

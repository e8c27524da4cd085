// The byte, number and character conversions of modStringFct.
#include "services/modstringfct.h"

#include "bytes/bytes.h"
#include "desktop/runtimeerror.h"
#include "services/errtrap.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>

namespace modStringFct {

namespace {

// Windows-1252 characters of the codes 0x80 to 0x9F; the five unused codes map to the
// control characters of the same number, as Windows does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

[[noreturn]] void typeMismatch() { throw RuntimeError(13, QStringLiteral("Type mismatch")); }
[[noreturn]] void overflow() { throw RuntimeError(6, QStringLiteral("Overflow")); }
[[noreturn]] void badArgument() { throw RuntimeError(5, QStringLiteral("Invalid procedure call or argument")); }
[[noreturn]] void outOfRange() { throw RuntimeError(9, QStringLiteral("Subscript out of range")); }

// A numeric text as the language reads it: decimal in the system's or the C notation,
// or "&H" hexadecimal (up to 4 digits a 16-bit, up to 8 a 32-bit value).
double parseNumber(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        const qulonglong u = digits.toULongLong(&ok, 16);
        if (!ok || digits.size() > 8) typeMismatch();
        if (digits.size() <= 4) return static_cast<qint16>(static_cast<quint16>(u));
        return static_cast<qint32>(static_cast<quint32>(u));
    }
    double d = QLocale().toDouble(t, &ok);
    if (!ok) d = QLocale::c().toDouble(t, &ok);
    if (!ok) typeMismatch();
    return d;
}

// Rounded to the nearest whole number (halves to even) within 32 bits.
qint32 toLong(double d) {
    const double r = std::nearbyint(d);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) overflow();
    return static_cast<qint32>(r);
}

// Two upper-case hexadecimal digits per byte taken, or an empty text.
QString hexDigits(int byteCount, int offset, const QByteArray& bytes, bool littleEndian) {
    QString digits;
    for (int i = 0; i < byteCount; ++i) {
        const qsizetype idx = qsizetype(offset) + i;
        if (idx > bytes.size() - 1) break;
        if (idx < 0) outOfRange();
        const QString pair = QStringLiteral("%1").arg(static_cast<uchar>(bytes[idx]), 2, 16, QLatin1Char('0')).toUpper();
        digits = littleEndian ? pair + digits : digits + pair;
    }
    return digits;
}

// The low width bytes of v in the other byte order.
quint64 swapped(qint64 v, int width) {
    QByteArray b;
    bytes::put(b, 0, v, width, bytes::Order::BigEndian);
    return bytes::getUnsigned(b, 0, width, bytes::Order::LittleEndian).value_or(0);
}

void writeNumber(const QString& decText, int byteCount, int offset, QByteArray& bytes, bool littleEndian) {
    if (byteCount < 0 || byteCount > 4) badArgument();
    if (offset < 0 || qsizetype(offset) + byteCount > bytes.size()) outOfRange();
    const qint32 v = decText.isEmpty() ? 0 : toLong(parseNumber(decText));
    if (byteCount > 0) bytes::put(bytes, offset, v, byteCount, littleEndian ? bytes::Order::LittleEndian : bytes::Order::BigEndian);
}

}  // namespace

uchar ansiCode(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<uchar>(u);
    for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == u) return static_cast<uchar>(0x80 + k);
    return '?';
}

QChar ansiChar(uchar code) {
    if (code >= 0x80 && code <= 0x9F) return QChar(kCp1252High[code - 0x80]);
    return QChar(code);
}

QByteArray toAnsi(const QString& text) {
    QByteArray out(text.size(), '\0');
    for (qsizetype k = 0; k < text.size(); ++k) out[k] = static_cast<char>(ansiCode(text[k]));
    return out;
}

QString fromAnsi(const QByteArray& bytes) {
    QString out(bytes.size(), QChar());
    for (qsizetype k = 0; k < bytes.size(); ++k) out[k] = ansiChar(static_cast<uchar>(bytes[k]));
    return out;
}

QString fromTextFile(const QByteArray& bytes) {
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(body);
    return utf8.hasError() ? fromAnsi(body) : text;
}

QStringList textLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] != QLatin1Char('\r') && text[k] != QLatin1Char('\n')) continue;
        lines << text.mid(start, k - start);
        if (text[k] == QLatin1Char('\r') && k + 1 < text.size() && text[k + 1] == QLatin1Char('\n')) ++k;
        start = k + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

qint16 g_swapInt(const QString& value) {
    qint16 result = 0;
    trap("modStringFct", "g_swapInt", [&] {
        result = static_cast<qint16>(swapped(toLong(parseNumber(value)), 2));
    });
    return result;
}

qint32 g_swapLong(const QString& value) {
    qint32 result = 0;
    trap("modStringFct", "g_swapLong", [&] {
        result = static_cast<qint32>(swapped(toLong(parseNumber(value)), 4));
    });
    return result;
}

void g_dezValStrToByte(QString& decText, int byteCount, int offset, QByteArray& bytes, bool littleEndian) {
    if (decText.isEmpty()) decText = QStringLiteral("0");
    g_dezValStrToByte(static_cast<const QString&>(decText), byteCount, offset, bytes, littleEndian);
}

void g_dezValStrToByte(const QString& decText, int byteCount, int offset, QByteArray& bytes, bool littleEndian) {
    trap("modStringFct", "g_dezValStrToByte", [&] { writeNumber(decText, byteCount, offset, bytes, littleEndian); });
}

void g_strToByte(const QString& text, int width, int offset, QByteArray& bytes) {
    trap("modStringFct", "g_strToByte", [&] {
        if (width < 0) badArgument();
        if (offset < 0 || qsizetype(offset) + width > bytes.size()) outOfRange();
        for (int i = 0; i < width; ++i)
            bytes[offset + i] = static_cast<char>(i < text.size() ? ansiCode(text[i]) : 0);
    });
}

QString g_toHex(qint32 value) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(static_cast<quint32>(value) & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper();
}

QString g_byteToHexValStr(int byteCount, int offset, const QByteArray& bytes, bool littleEndian, const QString& prefix) {
    QString digits;
    trap("modStringFct", "g_byteToHexValStr", [&] { digits = hexDigits(byteCount, offset, bytes, littleEndian); });
    return prefix + digits;
}

QString g_byteToDezValStr(int byteCount, int offset, const QByteArray& bytes, bool littleEndian) {
    QString result;
    trap("modStringFct", "g_byteToDezValStr", [&] {
        // The bytes the array holds of the field, up to its end.
        if (byteCount > 0 && offset < 0) outOfRange();
        const int n = static_cast<int>(std::clamp<qsizetype>(bytes.size() - offset, 0, std::max(byteCount, 0)));
        if (n == 0) return;
        if (n > 4) overflow();
        const auto order = littleEndian ? bytes::Order::LittleEndian : bytes::Order::BigEndian;
        const quint64 u = bytes::getUnsigned(bytes, offset, n, order).value_or(0);
        // Four bytes are a signed 32-bit number; fewer are unsigned.
        result = n == 4 ? QString::number(static_cast<qint32>(u)) : QString::number(u);
    });
    return result;
}

QString g_byteToStr(int byteCount, int offset, const QByteArray& bytes) {
    QString result;
    trap("modStringFct", "g_byteToStr", [&] {
        for (int i = 0; i < byteCount; ++i) {
            const qsizetype idx = qsizetype(offset) + i;
            if (idx > bytes.size() - 1) break;
            if (idx < 0) outOfRange();
            const uchar b = static_cast<uchar>(bytes[idx]);
            if (b > 0) result += ansiChar(b);
        }
    });
    return result;
}

QString g_lngToAscii(qint32& value) {
    QString result;
    for (int round = 0; round < 4; ++round) {
        const int c = value & 127;
        if (c == 0) break;
        result += QChar(c);
        value /= 256;  // truncates toward zero
    }
    return result;
}

QString g_lngToAscii(const qint32& value) {
    qint32 copy = value;
    return g_lngToAscii(copy);
}

qint32 g_asciiTolng(const QString& text) {
    // A fourth character of 0x80 or more gives a negative number rather than an overflow.
    const QByteArray chars = toAnsi(text.left(4)).leftJustified(4, '\0');
    return static_cast<qint32>(bytes::getUnsigned(chars, 0, 4, bytes::Order::LittleEndian).value_or(0));
}

}  // namespace modStringFct

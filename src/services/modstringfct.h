#pragma once
// The text formatter sprintf and the small conversions between numbers, decimal or
// hexadecimal text, characters and byte arrays used by the CAN and info-block code.
//
// Byte arrays are QByteArray indexed from 0: an offset is a plain index into the array.
// Functions that write into an array never resize it; the caller sizes it. Big-endian
// means the most significant byte at the lowest index. 8-bit characters are Windows-1252.
//
// Every function traps its own run-time errors and hands them to the central error
// handler with the object name "modStringFct"; after "Continue" it returns what it had
// formed so far (text) or 0.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <type_traits>
#include <utility>

namespace modStringFct {

// Run-time error numbers of the formatter (the 32-bit values as the error box shows them).
constexpr long errMissingBrace = static_cast<long>(static_cast<qint32>(0x80040001u));
constexpr long errMissingValue = static_cast<long>(static_cast<qint32>(0x80040002u));
constexpr long errScriptCode = static_cast<long>(static_cast<qint32>(0x80040003u));

// Formats the text: escapes \\ \t \r \n \{ and the placeholders {*}, {}, {(}, {\},
// {1:...} to {9:...} and display formats such as {00}, {000}, {yes/no}.
QString sprintfv(QString format, const QVariantList& values);

namespace detail {
// Texts (QString, const char*, QLatin1String ...) become QString variants, enums their
// number, a QVariant stays as it is, anything else is wrapped as it stands.
template <class T>
QVariant toVariant(T&& value) {
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<D, QVariant>)
        return value;
    else if constexpr (std::is_enum_v<D>)
        return QVariant::fromValue(static_cast<qlonglong>(value));
    else if constexpr (std::is_same_v<D, bool> || std::is_arithmetic_v<D>)
        return QVariant::fromValue(value);
    else if constexpr (std::is_constructible_v<QString, T&&>)
        return QVariant(QString(std::forward<T>(value)));
    else
        return QVariant::fromValue(value);
}
}  // namespace detail

template <class... A>
QString sprintf(const QString& format, A&&... values) {
    return sprintfv(format, QVariantList{detail::toVariant(std::forward<A>(values))...});
}

// The low 16 bits of the numeric text with their two bytes exchanged ("&H" hex accepted).
qint16 g_swapInt(const QString& value);
// The low 32 bits of the numeric text with their four bytes in reverse order.
qint32 g_swapLong(const QString& value);

// Writes the decimal text as byteCount (1 to 4) bytes at bytes[offset], most significant
// first unless littleEndian. An empty text writes zeros and is set to "0" in the caller's
// variable (the const overload takes temporaries). Nothing is written when a byte would
// fall outside the array.
void g_dezValStrToByte(QString& decText, int byteCount, int offset, QByteArray& bytes, bool littleEndian = false);
void g_dezValStrToByte(const QString& decText, int byteCount, int offset, QByteArray& bytes, bool littleEndian = false);

// Writes the text as a field of width bytes at bytes[offset]: cut to the width, padded
// with zero bytes.
void g_strToByte(const QString& text, int width, int offset, QByteArray& bytes);

// "0x" and the last 4 upper-case hexadecimal digits of the value.
QString g_toHex(qint32 value);

// prefix followed by two upper-case hexadecimal digits per byte, from bytes[offset] on,
// stopping at the array's end; littleEndian puts each later byte in front.
QString g_byteToHexValStr(int byteCount, int offset, const QByteArray& bytes, bool littleEndian = false,
                          const QString& prefix = QString());

// The decimal text of the number the bytes form (1 to 3 bytes unsigned, 4 bytes signed
// 32-bit), or the empty text when no byte is taken.
QString g_byteToDezValStr(int byteCount, int offset, const QByteArray& bytes, bool littleEndian = false);

// The characters of the non-zero bytes from bytes[offset] on (zero bytes are skipped).
QString g_byteToStr(int byteCount, int offset, const QByteArray& bytes);

// Up to 4 characters from the low 7 bits of each byte, lowest byte first, ending at a zero;
// the caller's variable holds the value divided by 256 per character taken.
QString g_lngToAscii(qint32& value);
QString g_lngToAscii(const qint32& value);

// The first 4 characters packed into a 32-bit number, the first in the low byte.
qint32 g_asciiTolng(const QString& text);

// Windows-1252, the code page of 8-bit texts in files and on the bus: the code of a
// character (63, "?", for one the code page lacks) and the character of a code.
uchar ansiCode(QChar c);
QChar ansiChar(uchar code);
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// The text of a file from outside: a UTF-8 byte-order mark skipped, then UTF-8 when the
// bytes are valid UTF-8, else Windows-1252.
QString fromTextFile(const QByteArray& bytes);
// The lines of a text, each without its end; CR LF, LF and CR each end a line, and a
// line end at the very end adds no empty line.
QStringList textLines(const QString& text);

}  // namespace modStringFct

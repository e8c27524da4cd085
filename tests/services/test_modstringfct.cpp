#include "services/modstringfct.h"

#include "services/errtrap.h"

#include <QLocale>
#include "errorlog.h"

#include <gtest/gtest.h>
#include <functional>

using namespace modStringFct;

namespace {

using testsupport::ErrorLog;

// The locale decides decimal and group separators; the cases are written for C.
struct CLocale {
    QLocale saved;
    CLocale() { QLocale::setDefault(QLocale::c()); }
    ~CLocale() { QLocale::setDefault(saved); }
};

QString hexOf(const QByteArray& a) { return QString::fromLatin1(a.toHex(' ').toUpper()); }

}  // namespace

TEST(ModStringFct, SprintfTable) {
    struct Case {
        QString format;
        QVariantList values;
        QString expected;
        long error;  // 0: none
        QString errorText;
    };
    const QString nine(9, QLatin1Char(' '));
    const Case cases[] = {
        {"PXM #{00}", {3}, "PXM #03", 0, {}},
        {"DC_Template_Build_{000}.mdb", {7}, "DC_Template_Build_007.mdb", 0, {}},
        {"DC_Template_Build_{000}.mdb", {1234}, "DC_Template_Build_1234.mdb", 0, {}},
        {"{000}", {-5}, "-005", 0, {}},
        {"{00}", {QString("7")}, "07", 0, {}},
        {"{0}", {2.5}, "3", 0, {}},
        {"{0.0}|{#.##}", {1.25, 0.5}, "1.3|.5", 0, {}},
        {"{#,##0}", {1234567}, "1,234,567", 0, {}},
        {"DB-Name: {*} / ReadOnly: {yes/no}", {QString("x.mdb"), true}, "DB-Name: x.mdb / ReadOnly: Yes", 0, {}},
        {"DB-Name: {*} / ReadOnly: {yes/no}", {QString("x.mdb"), false}, "DB-Name: x.mdb / ReadOnly: No", 0, {}},
        {"{yes/no}", {5}, "Yes", 0, {}},
        {nine + "{*} {*} ({*}) \\{{*}}", {"a", "b", "c", "d"}, nine + "a b (c) {d}", 0, {}},
        {"\\\\n", {}, "\\n", 0, {}},
        {"\\n|\\t|\\r", {}, "\r\n|\t|\r", 0, {}},
        {"\\\\t\\\\{*}", {"v"}, "\\t\\v", 0, {}},  // the brace after "\\\\" opens a placeholder
        {"x\\} }", {}, "x\\} }", 0, {}},
        {"{(}{\\}{*}", {"a"}, "{\\a", 0, {}},
        {"{2:*}{1:*}", {"a", "b"}, "ba", 0, {}},
        {"{2:*}{*}", {"a", "b"}, "ba", 0, {}},
        {"{*}{3:*}{*}", {"a", "b", "c"}, "acb", 0, {}},
        {"{9:*}", {"a", "b"}, "b", 0, {}},
        {"{}{*}", {"a", "b"}, "b", 0, {}},
        {"{*}", {QString("{*}")}, "{*}", 0, {}},  // inserted text is not scanned again
        {"plain\\ttext", {1, 2, 3}, "plain\ttext", 0, {}},
        {"{*}|{*}|{*}|{*}|{*}", {-5, true, false, QVariant(), 1.5}, "-5|True|False||1.5", 0, {}},
        {"{*}|{*}|{*}", {0.1 + 0.2, 1e20, qulonglong(18446744073709551615ull)}, "0.3|1E+20|18446744073709551615", 0, {}},
        {"{*} {*}", {"a"}, "a {*}", errMissingValue, "Missing value in printf-call for format string '{*}'!"},
        {"{*}", {}, "{*}", errMissingValue, "Missing value in printf-call for format string '{*}'!"},
        {"x{1:00}", {}, "x{1:00}", errMissingValue, "Missing value in printf-call for format string '{00}'!"},
        {"{abc", {}, "{abc", errMissingBrace, "Missing '}' after '{' at position 1!"},
        {"{*} {x", {"ab"}, "ab {x", errMissingBrace, "Missing '}' after '{' at position 4!"},
        {"{=1+1}", {}, "{=1+1}", errScriptCode,
         "No script code allowed in placeholder string. Use the sprintf COM-component instead."},
    };
    CLocale c;
    for (const Case& k : cases) {
        ErrorLog log;
        EXPECT_EQ(sprintfv(k.format, k.values), k.expected) << k.format.toStdString();
        if (k.error == 0) {
            EXPECT_TRUE(log.seen.empty()) << k.format.toStdString();
            continue;
        }
        ASSERT_EQ(log.seen.size(), 1u) << k.format.toStdString();
        EXPECT_EQ(log.seen[0].number, k.error);
        EXPECT_EQ(log.seen[0].description, k.errorText);
        EXPECT_EQ(log.seen[0].object, "modStringFct");
        EXPECT_EQ(log.seen[0].procedure, "sprintf");
    }
}

TEST(ModStringFct, SprintfTakesTextsAsTextAndNoValuesAtAll) {
    EXPECT_EQ(modStringFct::sprintf("no values\\n"), "no values\r\n");
    EXPECT_EQ(modStringFct::sprintf("{*}-{*}-{*}-{00}", "abc", QString("d"), QLatin1String("e"), 4), "abc-d-e-04");
    EXPECT_EQ(detail::toVariant("abc").metaType().id(), QMetaType::QString);
    const QVariant v(3);
    EXPECT_EQ(modStringFct::sprintf("{*}", v), "3");
    EXPECT_EQ(modStringFct::sprintf("{*}", uchar(200)), "200");
}

TEST(ModStringFct, ConversionTable) {
    struct Case {
        const char* what;
        std::function<QString()> run;
        QString expected;
        long error;  // 0: none
    };
    const auto dez = [](QString text, int count, int offset, bool le, int size = 4) {
        QByteArray a(size, '\0');
        g_dezValStrToByte(text, count, offset, a, le);
        return hexOf(a);
    };
    const auto str = [](QString text, int width, int offset) {
        QByteArray a(4, '\x55');
        g_strToByte(text, width, offset, a);
        return hexOf(a);
    };
    const QByteArray b01a2("\x01\xA2", 2);
    const QByteArray b3039("\x00\x00\x30\x39", 4);
    const QByteArray ff4(4, '\xFF');
    const Case cases[] = {
        {"dez 4660 BE", [&] { return dez("4660", 2, 0, false); }, "12 34 00 00", 0},
        {"dez 4660 LE", [&] { return dez("4660", 2, 0, true); }, "34 12 00 00", 0},
        {"dez -1 4 bytes", [&] { return dez("-1", 4, 0, false); }, "FF FF FF FF", 0},
        {"dez empty", [&] { return dez("", 2, 0, false); }, "00 00 00 00", 0},
        {"dez low byte at offset", [&] { return dez("4660", 1, 2, false); }, "00 00 34 00", 0},
        {"dez 3 bytes LE", [&] { return dez("1193046", 3, 1, true); }, "00 56 34 12", 0},
        {"dez rounds halves to even", [&] { return dez("4.5", 1, 0, false); }, "04 00 00 00", 0},
        {"dez past the end writes nothing", [&] { return dez("4660", 2, 3, false); }, "00 00 00 00", 9},
        {"dez negative offset", [&] { return dez("1", 1, -1, false); }, "00 00 00 00", 9},
        {"dez 5 bytes", [&] { return dez("1", 5, 0, false, 8); }, "00 00 00 00 00 00 00 00", 5},
        {"dez no number", [&] { return dez("abc", 2, 0, false); }, "00 00 00 00", 13},
        {"dez too big", [&] { return dez("4294967296", 4, 0, false); }, "00 00 00 00", 6},
        {"str padded", [&] { return str("AB", 4, 0); }, "41 42 00 00", 0},
        {"str cut", [&] { return str("ABCDEF", 3, 1); }, "55 41 42 43", 0},
        {"str Windows-1252", [&] { return str(QString::fromUtf8("\u20AC\u00E9\u4E00"), 3, 0); }, "80 E9 3F 55", 0},
        {"str past the end", [&] { return str("AB", 4, 1); }, "55 55 55 55", 9},
        {"hex", [&] { return g_byteToHexValStr(2, 0, b01a2, false, "0x"); }, "0x01A2", 0},
        {"hex LE", [&] { return g_byteToHexValStr(2, 0, b01a2, true, "0x"); }, "0xA201", 0},
        {"hex stops at the end", [&] { return g_byteToHexValStr(4, 1, b01a2, false, "&H"); }, "&HA2", 0},
        {"hex count 0", [&] { return g_byteToHexValStr(0, 0, b01a2, false, "0x"); }, "0x", 0},
        {"hex offset beyond", [&] { return g_byteToHexValStr(2, 5, b01a2, false, "0x"); }, "0x", 0},
        {"dezval 12345", [&] { return g_byteToDezValStr(4, 0, b3039); }, "12345", 0},
        {"dezval -1", [&] { return g_byteToDezValStr(4, 0, ff4); }, "-1", 0},
        {"dezval 2 bytes unsigned", [&] { return g_byteToDezValStr(2, 0, ff4); }, "65535", 0},
        {"dezval LE", [&] { return g_byteToDezValStr(4, 0, QByteArray("\xCD\xAB\x00\x00", 4), true); }, "43981", 0},
        {"dezval count 0", [&] { return g_byteToDezValStr(0, 0, ff4); }, "", 0},
        {"dezval 5 bytes", [&] { return g_byteToDezValStr(5, 0, QByteArray(5, '\x01')); }, "", 6},
        {"bytestr skips zeros", [&] { return g_byteToStr(3, 0, QByteArray("A\0B", 3)); }, "AB", 0},
        {"bytestr Windows-1252", [&] { return g_byteToStr(9, 0, QByteArray("\x80\xE9", 2)); }, QString::fromUtf8("\u20AC\u00E9"), 0},
        {"lngToAscii", [&] { return g_lngToAscii(0x434241); }, "ABC", 0},
        {"lngToAscii drops top bit", [&] { return g_lngToAscii(0xC1); }, "A", 0},
        {"asciiTolng AB", [&] { return QString::number(g_asciiTolng("AB"), 16); }, "4241", 0},
        {"asciiTolng first 4", [&] { return QString::number(g_asciiTolng("ABCDE"), 16); }, "44434241", 0},
        {"asciiTolng high fourth", [&] { return QString::number(g_asciiTolng(QString::fromUtf8("ABC\u00E9"))); }, "-381468095", 0},
        {"toHex cut", [&] { return g_toHex(0x12345); }, "0x2345", 0},
        {"toHex pad", [&] { return g_toHex(10); }, "0x000A", 0},
        {"toHex -1", [&] { return g_toHex(-1); }, "0xFFFF", 0},
        {"swapInt", [&] { return QString::number(g_swapInt("4660")); }, "13330", 0},
        {"swapInt negative", [&] { return QString::number(g_swapInt("255")); }, "-256", 0},
        {"swapInt hex text", [&] { return QString::number(g_swapInt("&H1234")); }, "13330", 0},
        {"swapInt no number", [&] { return QString::number(g_swapInt("x")); }, "0", 13},
        {"swapLong", [&] { return QString::number(g_swapLong("305419896"), 16); }, "78563412", 0},
        {"swapLong 1", [&] { return QString::number(g_swapLong("1")); }, "16777216", 0},
        {"swapLong -2", [&] { return QString::number(g_swapLong("-2")); }, "-16777217", 0},
    };
    for (const Case& k : cases) {
        ErrorLog log;
        EXPECT_EQ(k.run(), k.expected) << k.what;
        if (k.error == 0) {
            EXPECT_TRUE(log.seen.empty()) << k.what;
        } else {
            ASSERT_EQ(log.seen.size(), 1u) << k.what;
            EXPECT_EQ(log.seen[0].number, k.error) << k.what;
            EXPECT_EQ(log.seen[0].object, "modStringFct") << k.what;
        }
    }
}

TEST(ModStringFct, ByReferenceArgumentsAreUpdated) {
    QString empty;
    QByteArray a(2, '\x77');
    g_dezValStrToByte(empty, 2, 0, a);
    EXPECT_EQ(empty, "0");
    EXPECT_EQ(hexOf(a), "00 00");

    qint32 v = 0x434241;
    EXPECT_EQ(g_lngToAscii(v), "ABC");
    EXPECT_EQ(v, 0);
    qint32 w = 0x4100;
    EXPECT_EQ(g_lngToAscii(w), "");
    EXPECT_EQ(w, 0x4100);
}

TEST(ModStringFct, Windows1252RoundTrip) {
    QByteArray all(256, '\0');
    for (int k = 0; k < 256; ++k) all[k] = char(k);
    EXPECT_EQ(toAnsi(fromAnsi(all)), all);
    EXPECT_EQ(ansiCode(QChar(0x20AC)), 0x80);
    EXPECT_EQ(ansiCode(QChar(0x0080)), '?');  // not in the code page
}

TEST(ModStringFct, TextFileDecoding) {
    const struct {
        const char* what;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"UTF-8 with a byte-order mark", QByteArray("\xEF\xBB\xBF\xC3\x96l \xE2\x82\xAC"), QString::fromUtf8("Öl €")},
        {"UTF-8 without a mark", QByteArray("\xC3\x96l \xC2\xB0" "C"), QString::fromUtf8("Öl °C")},
        {"Windows-1252", QByteArray("\xD6l \xB0" "C \x80"), QString::fromUtf8("Öl °C €")},
        {"a mark before Windows-1252 text", QByteArray("\xEF\xBB\xBF\xD6l"), QString::fromUtf8("Öl")},
        {"a cut UTF-8 sequence at the end", QByteArray("a\xC3"), QString::fromUtf8("aÃ")},
        {"ASCII", QByteArray("abc"), QStringLiteral("abc")},
        {"empty", QByteArray(), QString()},
    };
    for (const auto& c : cases) EXPECT_EQ(fromTextFile(c.bytes), c.text) << c.what;
}

TEST(ModStringFct, TextLinesEndAtCrLfLfAndCr) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\r\nb\r\n\n", {"a", "", "b", ""}},
        {"", {}},
        {"\n", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(textLines(QString::fromLatin1(c.text)), c.lines) << c.text;
}

#include "dcdatabase/headerparser.h"

#include "dcfixture/dcfixture.h"
#include "dcfixture/recordinglog.h"

#include "services/modstringfct.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Parsed {
    std::vector<ScanRow> rows;
    QStringList log;
    bool failed = false;
};

// Parses one file of these bytes with the line base 0.
Parsed parseBytes(const QByteArray& bytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dataContainer.h"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    dcfixture::RecordingLog log;
    Parsed p;
    HeaderParser parser(log, p.rows);
    int line = 0;
    EXPECT_TRUE(parser.scanSource(path, line));
    p.failed = parser.failed();
    p.log = log.lines;
    return p;
}

// Parses one file written from `text` in Windows-1252.
Parsed parse(const QString& text) { return parseBytes(modStringFct::toAnsi(text)); }

QString names(const std::vector<ScanRow>& rows) {
    QStringList out;
    for (const ScanRow& r : rows) out << QStringLiteral("%1=%2@%3").arg(r.name).arg(r.id).arg(r.sourceLine);
    return out.join(QLatin1Char(' '));
}

const QString kTypes = QStringLiteral("// scanStart: global types\n");
const QString kConstants = QStringLiteral("// scanStart: global constants\n");

struct LineCase {
    const char* what;
    QString text;
    const char* rows;  // name=id@line ...
    bool failed;
};

TEST(HeaderParser, LineForms) {
    const LineCase cases[] = {
        {"values count on after an explicit one; the last entry carries the closing line",
         kTypes + "typedef enum\n{\n  A,\n  B = 5,\n  C\n} tX;\n", "A=0@4 B=5@5 C=6@7", false},
        {"a comma before the closing brace makes no empty row", kTypes + "typedef enum\n{\n  A,\n  B,\n}\n", "A=0@4 B=1@5", false},
        {"an empty enumeration makes no row", kTypes + "typedef enum\n{\n}\ntypedef enum\n{\n  A\n}\n", "A=0@8", false},
        {"CR LF and tabs parse like LF and blanks",
         kTypes + "typedef\tenum\r\n{\r\n\tA\t=\t3,\t// 1; x\r\n\tB\r\n}\r\n", "A=3@4 B=4@6", false},
        {"tokens need not be separated by blanks", kTypes + "typedef enum\n{\n  A=2,\n  B=A<<2,\n  C =(A+B)*2\n}\n",
         "A=2@4 B=8@5 C=20@7", false},
        {"an entry over several lines carries its last line", kTypes + "typedef enum\n{\n  A = 1 +\n      2, // 5; c\n  B\n}\n",
         "A=3@5 B=4@7", false},
        {"\"{\" with a blank behind it does not open the body", kTypes + "typedef enum\n{ \n  A,\n}\n", "", true},
        {"\"typedef enum {\" does not open the body", kTypes + "typedef enum {\n  A,\n}\n", "", true},
        {"an indented closing brace is collected into the entry", kTypes + "typedef enum\n{\n  A\n  }\n", "", true},
        {"lines outside a section are not parsed", QStringLiteral("typedef enum\n{\n  A\n}\n") + kConstants + "#define N 1\n",
         "N=1@6", false},
        {"CR line ends", kTypes + "typedef enum\r{\r  A,\r  B\r}\r", "A=0@4 B=1@6", false},
        {"mixed line ends", kTypes + "typedef enum\r\n{\n  A,\r  B\r\n}", "A=0@4 B=1@6", false},
        {"an enumeration may run across sections",
         kTypes + "typedef enum\n{\n  A,\n// scanEnd\n  IGNORED,\n// scanStart: global variables\n  B\n}\n", "A=0@4 B=1@9", false},
        {"a continued define gives one row with the number of its last line",
         kConstants + "#define X (1 << \\\n 4)\n#define Y X+1\n", "X=16@3 Y=17@4", false},
        {"a string, a value-less define and a macro with parameters add no row",
         kConstants + "#define S \"V1.2\"\n#define FLAG\n#define MAX(a,b) ((a)>(b)?(a):(b))\n#define N 3\n", "N=3@5", false},
        {"casts, hex and suffixes keep their C meaning", kConstants + "#define A (u16)0xFFFF1\n#define B 0x8000\n#define C 10UL\n",
         "A=65521@2 B=32768@3 C=10@4", false},
        {"an unknown section name keeps the section's parser",
         kConstants + "#define A 1\n// scanEnd\n// scanStart: special things\n#define B 2\n", "A=1@2 B=2@5", false},
        {"a file ending in a continued line is reported", kConstants + "#define X 1 + \\\n", "", true},
    };
    for (const LineCase& c : cases) {
        // Each file closes its last section, as a whole header does.
        const bool lineEnd = c.text.endsWith(QLatin1Char('\n')) || c.text.endsWith(QLatin1Char('\r'));
        const Parsed p = parse(c.text + (lineEnd ? "" : "\n") + "// scanEnd\n");
        EXPECT_EQ(names(p.rows), QString::fromLatin1(c.rows)) << c.what;
        EXPECT_EQ(p.failed, c.failed) << c.what << ": " << p.log.join(QLatin1Char('|')).toStdString();
    }
}

TEST(HeaderParser, ClosingLineGivesTheLastEntryItsComment) {
    Parsed p = parse(kTypes + "typedef enum\n{\n  A, // 7; first\n  B // 8; own\n} // 9; closing\n");
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.rows[1].fupId.toString(), QStringLiteral("9"));
    EXPECT_EQ(p.rows[1].comment.toString(), QStringLiteral("closing"));
    p = parse(kTypes + "typedef enum\n{\n  A, // 7; first\n  B // 8; own\n}\n");
    EXPECT_EQ(p.rows[1].fupId.toString(), QStringLiteral("8"));
    EXPECT_EQ(p.rows[1].comment.toString(), QStringLiteral("own"));
}

TEST(HeaderParser, ReportsFileEndingInsideAnEnumerationWithFileAndLine) {
    const Parsed p = parse(kTypes + "typedef enum\n{\n  A,\n");
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.log.mid(1, 1), QStringList({"      dataContainer.h line 4: the file ends inside an enumeration"}));
}

TEST(HeaderParser, ReportsWhatCannotBeEvaluatedAndGoesOn) {
    const Parsed p = parse(kTypes + "typedef enum\n{\n  A = 1/0,\n  B = NOPE,\n  C = \"text\",\n  D\n}\n");
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.log.mid(1, 3), QStringList({"      dataContainer.h line 4: cannot evaluate A: division by zero",
                                            "      dataContainer.h line 5: cannot evaluate B: NOPE is not found in DB",
                                            "      dataContainer.h line 6: cannot evaluate C: a string is no value"}));
    EXPECT_EQ(names(p.rows), QStringLiteral("D=3@8"));
}

TEST(HeaderParser, ClassesByName) {
    const Parsed p = parse(kTypes + "typedef enum\n{\n  FIRST_X,\n  LAST_X,\n  X_INVALID,\n  FIRST_INVALID,\n  ON_DLY_1,\n"
                                    "  NUM_OF_X,\n  PAR_SPEED,\n  PARA_FIRST_ENUM,\n  PLAIN\n}\n");
    QStringList classes;
    for (const ScanRow& r : p.rows) classes << r.cls + QLatin1Char('/') + r.varGroup.toString();
    EXPECT_EQ(classes, QStringList({"INSTRUCTION/", "INSTRUCTION/", "CONSTANT/", "INSTRUCTION/", "DELAY_INST/", "CONSTANT/",
                                    "PARAMETER/GLB", "?/", "?/"}));
}

TEST(HeaderParser, CommentSplitsIntoFupIdAndText) {
    const struct {
        const char* comment;
        const char* fupId;
        const char* text;
    } cases[] = {
        {"100; speed of the engine ", "100", "speed of the engine"},
        {"070 ; oil", "070", "oil"},
        {"?; to be defined", "?", "to be defined"},
        {"speed; of engine", "", "speed; of engine"},
        {"0; zero is no id", "", "0; zero is no id"},
        {"no semicolon 12", "", "no semicolon 12"},
        {"12;driver's seat", "12", "driver's seat"},
        {"1; 12345678901234567890123456789012345678901234567890XYZ", "1", "12345678901234567890123456789012345678901234567890"},
    };
    for (const auto& c : cases) {
        QVariant fupId, text;
        HeaderParser::splitComment(QString::fromLatin1(c.comment), fupId, text);
        EXPECT_EQ(fupId.toString(), QString::fromLatin1(c.fupId)) << c.comment;
        EXPECT_EQ(text.toString(), QString::fromLatin1(c.text)) << c.comment;
    }
}

TEST(HeaderParser, FormatLineKeepsTheCText) {
    const struct {
        const char* line;
        const char* cleaned;
        const char* comment;
    } cases[] = {
        {"  A  =  0x10 <<  2,   //   5; x  ", "A = 0x10 << 2", "5; x"},
        {"B, /* 7; old style */", "B", "7; old style "},
        {"C = (u16)(1<<15)", "C = (u16)(1<<15)", "kept"},
    };
    for (const auto& c : cases) {
        QString line = QString::fromLatin1(c.line);
        QString comment = QStringLiteral("kept");
        EXPECT_EQ(HeaderParser::formatLine(line, comment), QString::fromLatin1(c.cleaned)) << c.line;
        EXPECT_EQ(line, QString::fromLatin1(c.cleaned)) << c.line;
        EXPECT_EQ(comment, QString::fromLatin1(c.comment)) << c.line;
    }
}

TEST(HeaderParser, ReadsWindows1252) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("global.h"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("// scanStart: global types\ntypedef enum\n{\n  OIL_TEMP // 3; \xD6l \xB0" "C \x80\n}\n");
    f.close();
    dcfixture::RecordingLog log;
    std::vector<ScanRow> rows;
    HeaderParser parser(log, rows);
    int line = 10000;
    ASSERT_TRUE(parser.scanSource(path, line));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].comment.toString(), QString::fromUtf8("Öl °C €"));
    EXPECT_EQ(rows[0].sourceLine, 10005);
    EXPECT_EQ(line, 10005);
}

TEST(HeaderParser, DecodesUtf8WithOrWithoutItsMarkAndWindows1252Otherwise) {
    const QByteArray file = "// scanStart: global types\ntypedef enum\n{\n  OIL_TEMP // 3; %1\n}\n// scanEnd\n";
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + QByteArray(file).replace("%1", "\xC3\x96l \xC2\xB0" "C \xE2\x82\xAC")},
        {"UTF-8 without a mark", QByteArray(file).replace("%1", "\xC3\x96l \xC2\xB0" "C \xE2\x82\xAC")},
        {"Windows-1252", QByteArray(file).replace("%1", "\xD6l \xB0" "C \x80")},
        {"Windows-1252 with CR line ends", QByteArray(file).replace("%1", "\xD6l \xB0" "C \x80").replace('\n', '\r')},
    };
    for (const auto& c : cases) {
        const Parsed p = parseBytes(c.bytes);
        EXPECT_FALSE(p.failed) << c.what;
        ASSERT_EQ(p.rows.size(), 1u) << c.what;
        EXPECT_EQ(p.rows[0].name, QStringLiteral("OIL_TEMP")) << c.what;
        EXPECT_EQ(p.rows[0].comment.toString(), QString::fromUtf8("Öl °C €")) << c.what;
        EXPECT_EQ(p.rows[0].sourceLine, 5) << c.what;
    }
}

// A file the parser finds nothing in was misread or cut: the scan must not take it for an
// empty table.
TEST(HeaderParser, AFileWithoutASectionOrASectionWithoutASymbolIsReported) {
    const struct {
        const char* what;
        QString text;
        const char* rows;
        QStringList reported;
    } cases[] = {
        {"no section at all", QStringLiteral("#define A 1\n"), "",
         {"      dataContainer.h: the file has no scan section (no line begins with \"// scanStart\")"}},
        {"an empty file", QString(), "",
         {"      dataContainer.h: the file has no scan section (no line begins with \"// scanStart\")"}},
        {"a marker not at the first column", QStringLiteral(" // scanStart: global constants\n#define A 1\n"), "",
         {"      dataContainer.h: the file has no scan section (no line begins with \"// scanStart\")"}},
        {"an empty section between two good ones",
         kConstants + "#define A 1\n// scanEnd\n" + kTypes + "// scanEnd\n" + kConstants + "#define B 2\n// scanEnd\n",
         "A=1@2 B=2@7", {"      dataContainer.h line 4: the scan section yields no symbol"}},
        {"a section that a second marker ends", kTypes + kConstants + "#define A 1\n// scanEnd\n", "A=1@3",
         {"      dataContainer.h line 1: the scan section yields no symbol"}},
        {"a last section without its end", kConstants + "#define A 1\n// scanEnd\n" + kTypes + "typedef struct\n", "A=1@2",
         {"      dataContainer.h line 4: the scan section yields no symbol",
          "      dataContainer.h line 4: the scan section reaches the end of the file without \"// scanEnd\" (the file may be "
          "cut short; every scan section must end with a line \"// scanEnd\")"}},
        {"a section of values that cannot be evaluated", kConstants + "#define A 1/0\n// scanEnd\n", "",
         {"      dataContainer.h line 2: cannot evaluate A: division by zero",
          "      dataContainer.h line 1: the scan section yields no symbol"}},
    };
    for (const auto& c : cases) {
        const Parsed p = parse(c.text);
        EXPECT_TRUE(p.failed) << c.what;
        EXPECT_EQ(names(p.rows), QString::fromLatin1(c.rows)) << c.what;
        EXPECT_EQ(p.log.mid(1, p.log.size() - 2), c.reported) << c.what;
    }
}

TEST(HeaderParser, AnExpressionNestedTooDeepIsReportedAndTheScanGoesOn) {
    // A 40 KB line: 20,000 levels of parentheses.
    const QString deep = QString(20000, QLatin1Char('(')) + QLatin1Char('1') + QString(20000, QLatin1Char(')'));
    const Parsed p = parse(kConstants + "#define DEEP " + deep + "\n#define NEXT 2\n");
    EXPECT_TRUE(p.failed);
    EXPECT_EQ(p.log.mid(1, 1),
              QStringList({"      dataContainer.h line 2: cannot evaluate DEEP: the expression is nested more than 256 levels deep"}));
    EXPECT_EQ(names(p.rows), QStringLiteral("NEXT=2@3"));
}

TEST(HeaderParser, ProgressFollowsTheFileAndEndsAtZero) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("global.h"));
    dcfixture::writeFile(path, QStringLiteral("abcd\nefgh\n"));
    dcfixture::RecordingLog log;
    std::vector<ScanRow> rows;
    HeaderParser parser(log, rows);
    int line = 0;
    ASSERT_TRUE(parser.scanSource(path, line));
    EXPECT_EQ(log.progressCalls, 3);
    EXPECT_EQ(log.progress, 0.0f);
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("   Scan file ") + path,
                                      "      global.h: the file has no scan section (no line begins with \"// scanStart\")",
                                      "      0 enums and 0 defines scanned"}));
}

TEST(HeaderParser, MissingFileGivesFalseAfterItsScanLine) {
    dcfixture::RecordingLog log;
    std::vector<ScanRow> rows;
    HeaderParser parser(log, rows);
    int line = 0;
    EXPECT_FALSE(parser.scanSource(QStringLiteral("/nonexistent/global.h"), line));
    EXPECT_EQ(log.lines, QStringList({"   Scan file /nonexistent/global.h"}));
}

}  // namespace

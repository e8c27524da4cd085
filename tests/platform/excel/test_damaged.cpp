// Damaged .xlsx workbooks are refused whole, with the file and the part named: a sheet
// whose XML is cut short or malformed, a shared-string index past the table, a zip entry
// that does not unpack to its recorded size and checksum, and a workbook that unpacks to
// more than the reader takes.
#include "excel/workbook.h"
#include "secondwriter.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

using excel::Workbook;

namespace {

const QString kSheet = QStringLiteral("xl/worksheets/sheet1.xml");

// A small signal list with shared strings, numbers and a second sheet.
QString writeGood(const QTemporaryDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* dc = workbook_add_worksheet(wb, "dcEnums");
    const char* headers[] = {"name", "minValue", "comment"};
    for (int c = 0; c < 3; ++c) worksheet_write_string(dc, 0, lxw_col_t(c), headers[c], nullptr);
    for (int r = 1; r <= 40; ++r) {
        worksheet_write_string(dc, lxw_row_t(r), 0, QStringLiteral("PAR_%1").arg(r).toUtf8().constData(), nullptr);
        worksheet_write_number(dc, lxw_row_t(r), 1, r, nullptr);
        worksheet_write_string(dc, lxw_row_t(r), 2, QStringLiteral("comment of row %1").arg(r).toUtf8().constData(), nullptr);
    }
    lxw_worksheet* alarms = workbook_add_worksheet(wb, "alarmEnums");
    worksheet_write_string(alarms, 0, 0, "name", nullptr);
    workbook_close(wb);
    return path;
}

// Expects the workbook refused with a reason naming the file and, when given, the part.
void expectRefused(const QString& path, const QString& part) {
    QString error;
    EXPECT_EQ(Workbook::open(path, &error), nullptr);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    if (!part.isEmpty()) {
        EXPECT_TRUE(error.contains(part)) << error.toStdString();
    }
}

}  // namespace

TEST(DamagedXlsx, TheGoodWorkbookReads) {
    QTemporaryDir dir;
    QString error;
    auto book = Workbook::open(writeGood(dir, "good.xlsx"), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheet("dcEnums")->cell(41, 3), "comment of row 40");
}

TEST(DamagedXlsx, ASheetWhosePartIsCutShortOrMalformedIsRefused) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::function<QByteArray(QByteArray)> damage;
    } cases[] = {
        {"cut in a cell", [](QByteArray x) { return x.left(x.indexOf("<c r=\"B30\"") + 12); }},
        {"cut after a row", [](QByteArray x) { return x.left(x.indexOf("<row r=\"30\"")); }},
        {"tag mismatch", [](QByteArray x) { return x.replace(x.indexOf("</row>", x.indexOf("<row r=\"20\"")), 6, "</rwo>"); }},
        {"bad cell reference", [](QByteArray x) { return x.replace("r=\"C25\"", "r=\"C2X5\""); }},
        {"bad row number", [](QByteArray x) { return x.replace("<row r=\"25\"", "<row r=\"2x5\""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeGood(dir, QStringLiteral("sheet.xlsx"));
        const QByteArray xml = secondwriter::readPart(path, kSheet);
        ASSERT_TRUE(xml.contains("<c r=\"B30\""));
        const QByteArray damaged = c.damage(xml);
        ASSERT_NE(damaged, xml);
        ASSERT_TRUE(secondwriter::replacePart(path, kSheet, damaged));
        expectRefused(path, kSheet);
    }
}

TEST(DamagedXlsx, ASharedStringIndexPastTheTableIsRefused) {
    QTemporaryDir dir;
    const QString path = writeGood(dir, QStringLiteral("sst.xlsx"));
    QByteArray sst = secondwriter::readPart(path, QStringLiteral("xl/sharedStrings.xml"));
    const qsizetype last = sst.lastIndexOf("<si>");
    ASSERT_GT(last, 0);
    sst.remove(last, sst.indexOf("</si>", last) + 5 - last);  // the last text, used by row 41
    ASSERT_TRUE(secondwriter::replacePart(path, QStringLiteral("xl/sharedStrings.xml"), sst));
    expectRefused(path, kSheet);
    QString error;
    Workbook::open(path, &error);
    EXPECT_TRUE(error.contains(QStringLiteral("C41"))) << error.toStdString();
}

TEST(DamagedXlsx, AZipEntryThatDoesNotMatchItsSizeOrChecksumIsRefused) {
    QTemporaryDir dir;
    const QString path = writeGood(dir, QStringLiteral("good.xlsx"));
    const QByteArray good = testsupport::readFile(path);
    const secondwriter::ZipEntry e = secondwriter::zipEntry(good, kSheet);
    ASSERT_GT(e.data, 0);
    ASSERT_GT(e.compressedSize, 200);
    const struct {
        const char* name;
        std::function<void(QByteArray&)> damage;
    } cases[] = {
        {"byte flipped in the sheet", [&](QByteArray& z) { z[e.data + e.compressedSize / 2] = char(z[e.data + e.compressedSize / 2] ^ 0x10); }},
        {"byte flipped near the end", [&](QByteArray& z) { z[e.data + e.compressedSize - 3] = char(z[e.data + e.compressedSize - 3] ^ 0x01); }},
        {"wrong checksum", [&](QByteArray& z) { z[e.local + 14] = char(z[e.local + 14] ^ 1); z[e.central + 16] = char(z[e.central + 16] ^ 1); }},
        {"declared size too small", [&](QByteArray& z) {
             for (qsizetype at : {e.local + 22, e.central + 24}) z[at] = char(quint8(z[at]) - 10);
         }},
        {"declared size too large", [&](QByteArray& z) {
             for (qsizetype at : {e.local + 22, e.central + 24}) z[at] = char(quint8(z[at]) + 10);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray z = good;
        c.damage(z);
        const QString damaged = dir.filePath(QStringLiteral("damaged.xlsx"));
        ASSERT_TRUE(testsupport::writeFile(damaged, z));
        expectRefused(damaged, kSheet);
    }
    // Cut short, the zip loses its directory: refused as no workbook, the file named.
    const QString cut = dir.filePath(QStringLiteral("cut.xlsx"));
    ASSERT_TRUE(testsupport::writeFile(cut, good.left(good.size() * 2 / 3)));
    expectRefused(cut, QString());
}

// Each sheet stays under what one part may unpack to; together they are far over the cap.
TEST(DamagedXlsx, AWorkbookThatUnpacksToMoreThanTheCapIsRefused) {
    QTemporaryDir dir;
    const QString path = writeGood(dir, QStringLiteral("bomb.xlsx"));
    QByteArray xml = secondwriter::readPart(path, kSheet);
    const qsizetype at = xml.indexOf("<sheetData>");
    ASSERT_GT(at, 0);
    xml.insert(at, QByteArray(Workbook::maxWorkbookBytes / 3, ' '));
    for (int s = 1; s <= 4; ++s)
        ASSERT_TRUE(secondwriter::replacePart(path, QStringLiteral("xl/worksheets/sheet%1.xml").arg(s), xml));
    ASSERT_LT(QFileInfo(path).size(), 2 * 1024 * 1024) << "the file itself is small";
    QString error;
    EXPECT_EQ(Workbook::open(path, &error), nullptr);
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("MiB"))) << error.toStdString();
}

// Only the sheets the caller asks for are read: a damaged sheet it does not need is no
// reason to refuse, and is not in the workbook read.
TEST(DamagedXlsx, OnlyTheSheetsAskedForAreRead) {
    QTemporaryDir dir;
    const QString path = writeGood(dir, QStringLiteral("two.xlsx"));
    const QString second = QStringLiteral("xl/worksheets/sheet2.xml");
    QByteArray xml = secondwriter::readPart(path, second);
    ASSERT_TRUE(secondwriter::replacePart(path, second, xml.left(xml.size() / 2)));
    QString error;
    auto book = Workbook::open(path, &error, {QStringLiteral("dcEnums")});
    ASSERT_TRUE(book) << error.toStdString();
    ASSERT_EQ(book->sheets().size(), 1u);
    EXPECT_EQ(book->sheet("dcEnums")->cell(2, 1), "PAR_1");
    expectRefused(path, second);
}

// A workbook of another writer (openpyxl), damaged where a reader must not guess: a cell
// claimed twice, a numeric cell that holds no number, and a document type declaration,
// which brings entities (an external one here) whose text the reader does not see.
TEST(DamagedXlsx, ACellClaimedTwiceANumberThatIsNoneOrADeclarationIsRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("foreign.xlsx"));
    ASSERT_EQ(secondwriter::openpyxlEnums(path, QStringLiteral(R"(
ws.append(["name", "minValue", "comment"])
ws.append(["PAR_00001", 1, "first"])
ws.append(["PAR_00002", 100, "second"])
)")),
              QString());
    const QByteArray good = testsupport::readFile(path);
    const QString workbookPart = QStringLiteral("xl/workbook.xml"), stylesPart = QStringLiteral("xl/styles.xml");
    const QByteArray doctype = "<!DOCTYPE x [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>";
    const auto afterProlog = [](QByteArray x, const QByteArray& insert) {
        const qsizetype at = x.startsWith("<?xml") ? x.indexOf("?>") + 2 : 0;
        return x.insert(at, insert);
    };
    const struct {
        const char* name;
        QString part;
        std::function<QByteArray(QByteArray)> damage;
        const char* said;
    } cases[] = {
        {"C2 twice", kSheet,
         [](QByteArray x) { return x.replace("</row><row r=\"3\"", "<c r=\"C2\" t=\"n\"><v>100</v></c></row><row r=\"3\""); },
         "holds cell C2 twice"},
        {"A2 twice", kSheet,
         [](QByteArray x) { return x.replace("<c r=\"B2\"", "<c r=\"A2\" t=\"n\"><v>999</v></c><c r=\"B2\""); },
         "holds cell A2 twice"},
        {"a cell without reference after C2 is D2, a second A2 after it", kSheet,
         [](QByteArray x) { return x.replace("</row><row r=\"3\"", "<c><v>5</v></c><c r=\"A2\"><v>5</v></c></row><row r=\"3\""); },
         "holds cell A2 twice"},
        {"a number that is none", kSheet, [](QByteArray x) { return x.replace("<v>1</v>", "<v>12abc</v>"); },
         "holds in cell B2 the number \"12abc\""},
        {"an external entity in a sheet", kSheet,
         [&](QByteArray x) { return afterProlog(x, doctype).replace("<t>first</t>", "<t>&ext;</t>"); },
         "holds a document type declaration"},
        {"an entity without declaration", kSheet, [](QByteArray x) { return x.replace("<t>first</t>", "<t>&ext;</t>"); },
         "is no well-formed XML"},
        {"a declaration in the workbook part", workbookPart, [&](QByteArray x) { return afterProlog(x, "<!DOCTYPE workbook>"); },
         "holds a document type declaration"},
        {"a declaration in the styles", stylesPart, [&](QByteArray x) { return afterProlog(x, "<!DOCTYPE styleSheet>"); },
         "holds a document type declaration"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(testsupport::writeFile(path, good));
        const QByteArray xml = secondwriter::readPart(path, c.part);
        const QByteArray damaged = c.damage(xml);
        ASSERT_NE(damaged, xml);
        ASSERT_TRUE(secondwriter::replacePart(path, c.part, damaged));
        QString error;
        EXPECT_EQ(Workbook::open(path, &error), nullptr);
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.part)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.said))) << error.toStdString();
    }
    ASSERT_TRUE(testsupport::writeFile(path, good));
    QString error;
    const auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheet("dcEnums")->cell(2, 3), "first");
    EXPECT_EQ(book->sheet("dcEnums")->cell(3, 2), "100");
}

// Formula and TRUE/FALSE cells: their stored value is read where the file holds one; a cell
// whose value the file does not hold is told apart from an empty cell. Also the .xls
// reading child's time limit.
#include "excel/workbook.h"
#include "secondwriter.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xlsxwriter.h>

using excel::Workbook;

// openpyxl writes formulas without their results, as generators do.
TEST(CellsWithoutValue, AnOpenpyxlFormulaHasNoValueAndIsNoEmptyCell) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("generated.xlsx"));
    ASSERT_EQ(secondwriter::openpyxlEnums(path, QStringLiteral(R"(
ws.append(["name", "minValue", "comment", "flag", "empty"])
ws.append(["PAR_A", "=1+2", '="a"&"b"', True, None])
ws.append(["PAR_B", 5, "text", False])
)")),
              QString());
    QString error;
    auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.toStdString();
    const excel::Sheet* s = book->sheet("dcEnums");
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->hasValue(2, 2));
    EXPECT_FALSE(s->hasValue(2, 3));
    EXPECT_EQ(s->cell(2, 3), "");
    EXPECT_EQ(s->cell(2, 4), "True");
    EXPECT_EQ(s->cell(3, 4), "False");
    EXPECT_EQ(s->cell(3, 2), "5");
    for (int c = 1; c <= 5; ++c) EXPECT_TRUE(s->hasValue(3, c)) << c;
    EXPECT_TRUE(s->hasValue(2, 4));
    EXPECT_TRUE(s->hasValue(2, 5)) << "an empty cell has its value: none";
    EXPECT_TRUE(s->hasValue(99, 99));
    EXPECT_EQ(excel::cellReference(2, 3), "C2");
    EXPECT_EQ(excel::cellReference(12, 28), "AB12");
    EXPECT_EQ(excel::cellReference(1048576, 16384), "XFD1048576");
}

// A boolean without its value, and a text formula whose stored result is empty text.
TEST(CellsWithoutValue, AnXlsxBooleanWithoutItsValueHasNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bool.xlsx"));
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "dcEnums");
    worksheet_write_string(ws, 0, 0, "name", nullptr);
    worksheet_write_boolean(ws, 0, 1, 1, nullptr);
    worksheet_write_formula_str(ws, 0, 2, "=\"\"", nullptr, "");
    workbook_close(wb);
    const QString part = QStringLiteral("xl/worksheets/sheet1.xml");
    QByteArray xml = secondwriter::readPart(path, part);
    ASSERT_TRUE(xml.contains("<c r=\"B1\" t=\"b\"><v>1</v></c>")) << xml.toStdString();
    ASSERT_TRUE(secondwriter::replacePart(path, part, xml.replace("<c r=\"B1\" t=\"b\"><v>1</v></c>", "<c r=\"B1\" t=\"b\"/>")));
    auto book = Workbook::open(path);
    ASSERT_TRUE(book);
    EXPECT_FALSE(book->sheet("dcEnums")->hasValue(1, 2));
    EXPECT_TRUE(book->sheet("dcEnums")->hasValue(1, 3)) << "empty text is a value";
}

// FreeXL gives no value for formula and TRUE/FALSE cells; the records hold them.
TEST(CellsWithoutValue, AnXlsFormulaOrBooleanIsReadFromItsRecord) {
    QString error;
    auto book = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/formulas.xls"), &error);
    ASSERT_TRUE(book) << error.toStdString();
    const excel::Sheet* s = book->sheet("dcEnums");
    ASSERT_NE(s, nullptr);
    const struct {
        int row, column;
        const char* text;
    } cells[] = {{2, 1, "PAR_A"}, {2, 2, "3"}, {2, 3, "100"}, {2, 4, "from a formula"},
                 {2, 6, "True"}, {3, 3, "150.5"}, {3, 5, "False"}};
    for (const auto& c : cells) EXPECT_EQ(s->cell(c.row, c.column), c.text) << c.row << "," << c.column;
    EXPECT_FALSE(s->hasValue(4, 4)) << "a text result without its STRING record";
    EXPECT_TRUE(s->hasValue(4, 3));
    EXPECT_EQ(book->sheet("alarmEnums")->cell(2, 2), "True");
    // Asked for one sheet, the reader reads that one.
    auto one = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/formulas.xls"), &error, {QStringLiteral("alarmEnums")});
    ASSERT_TRUE(one) << error.toStdString();
    ASSERT_EQ(one->sheets().size(), 1u);
    EXPECT_EQ(one->sheets()[0].name, "alarmEnums");
}

// A reading that does not end (here: a file that never opens) is stopped at the time limit.
TEST(CellsWithoutValue, TheXlsReadingChildHasATimeLimit) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("never.xls"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_EQ(excel::detail::readXls(fifo, error, {}, 300), nullptr);
    EXPECT_TRUE(error.contains(fifo)) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("within"))) << error.toStdString();
    auto good = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/signal_list.xls"), &error);
    EXPECT_TRUE(good) << error.toStdString();
    EXPECT_GE(Workbook::xlsTimeLimitMs, 2000);
    EXPECT_LE(Workbook::xlsTimeLimitMs, 10000);
}

// The workbook reader on workbooks written by a real writer (.xlsx) and on a small .xls
// fixture: sheet names, hidden sheets, shared and inline strings, rich text, numbers,
// booleans, cached formula values, empty cells, and what is not a workbook.
#include "excel/workbook.h"
#include "testsupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

using excel::Workbook;

namespace {

// Writes the signal-list workbook; constantMemory makes the writer use inline strings.
QString writeXlsx(const QTemporaryDir& dir, bool constantMemory) {
    const QString path = dir.filePath(constantMemory ? "inline.xlsx" : "shared.xlsx");
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* dc = workbook_add_worksheet(wb, "dcEnums");
    const char* headers[] = {"name", "id", "minValue", "maxValue", "comment", "flag"};
    for (int c = 0; c < 6; ++c) worksheet_write_string(dc, 0, lxw_col_t(c), headers[c], nullptr);
    worksheet_write_string(dc, 1, 0, "PAR_SPEED", nullptr);
    worksheet_write_number(dc, 1, 1, 10, nullptr);
    worksheet_write_number(dc, 1, 2, 0, nullptr);
    worksheet_write_number(dc, 1, 3, 120.5, nullptr);
    worksheet_write_string(dc, 1, 4, "O'Neil's limit", nullptr);
    worksheet_write_boolean(dc, 1, 5, 1, nullptr);
    worksheet_write_string(dc, 2, 0, "GLB_TEMP", nullptr);
    // row 2, column 2 stays empty
    worksheet_write_formula_num(dc, 2, 3, "=100+50", nullptr, 150);
    worksheet_write_boolean(dc, 2, 5, 0, nullptr);
    worksheet_write_string(dc, 3, 0, "0", nullptr);
    lxw_worksheet* alarms = workbook_add_worksheet(wb, "alarmEnums");
    worksheet_write_string(alarms, 0, 0, "name", nullptr);
    worksheet_write_string(alarms, 1, 0, "ALM_HOT", nullptr);
    worksheet_hide(alarms);
    workbook_close(wb);
    return path;
}

void expectSignalList(const Workbook& book, bool hasBooleans) {
    ASSERT_EQ(book.sheets().size(), 2u);
    const excel::Sheet* dc = book.sheet("dcEnums");
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(book.sheet("DCENUMS"), nullptr) << "names match with their letter case";
    EXPECT_EQ(dc->cell(1, 1), "name");
    EXPECT_EQ(dc->cell(2, 1), "PAR_SPEED");
    EXPECT_EQ(dc->cell(2, 2), "10");
    EXPECT_EQ(dc->cell(2, 3), "0");
    EXPECT_EQ(dc->cell(2, 4), "120.5");
    EXPECT_EQ(dc->cell(2, 5), "O'Neil's limit");
    EXPECT_EQ(dc->cell(3, 3), "");
    EXPECT_EQ(dc->cell(4, 1), "0");
    EXPECT_EQ(dc->cell(99, 99), "");
    if (hasBooleans) {
        EXPECT_EQ(dc->cell(2, 6), "True");
        EXPECT_EQ(dc->cell(3, 6), "False");
    }
    const excel::Sheet* alarms = book.sheet("alarmEnums");
    ASSERT_NE(alarms, nullptr);
    EXPECT_EQ(alarms->cell(2, 1), "ALM_HOT");
}

}  // namespace

TEST(Workbook, ReadsAnXlsxWithSharedStrings) {
    QTemporaryDir dir;
    QString error;
    auto book = Workbook::open(writeXlsx(dir, false), &error);
    ASSERT_TRUE(book) << error.toStdString();
    expectSignalList(*book, true);
    EXPECT_EQ(book->sheet("dcEnums")->cell(3, 4), "150") << "the cached value of a formula";
    EXPECT_TRUE(book->sheet("alarmEnums")->hidden);
    EXPECT_FALSE(book->sheet("dcEnums")->hidden);
}

TEST(Workbook, ReadsAnXlsxWithInlineStrings) {
    QTemporaryDir dir;
    auto book = Workbook::open(writeXlsx(dir, true));
    ASSERT_TRUE(book);
    expectSignalList(*book, true);
}

TEST(Workbook, ReadsRichTextAsItsPlainText) {
    QTemporaryDir dir;
    const QString path = dir.filePath("rich.xlsx");
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "dcEnums");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_rich_string_tuple a = {bold, const_cast<char*>("GLB_")};
    lxw_rich_string_tuple b = {nullptr, const_cast<char*>("SPEED")};
    lxw_rich_string_tuple* parts[] = {&a, &b, nullptr};
    worksheet_write_rich_string(ws, 0, 0, parts, nullptr);
    workbook_close(wb);
    auto book = Workbook::open(path);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->sheet("dcEnums")->cell(1, 1), "GLB_SPEED");
}

TEST(Workbook, ReadsAnXlsFixture) {
    QString error;
    auto book = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/signal_list.xls"), &error);
    ASSERT_TRUE(book) << error.toStdString();
    expectSignalList(*book, false);
    EXPECT_EQ(book->sheet("dcEnums")->cell(2, 3), "0");
}

TEST(Workbook, RefusesWhatIsNoWorkbook) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"empty.xlsx", QByteArray()},
                 {"text.xlsx", QByteArray("name;id\r\nPAR_A;1\r\n")},
                 {"zip.xlsx", QByteArray("PK\x03\x04garbage", 12)},
                 {"ole.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1garbage", 15)}};
    for (const auto& c : cases) {
        QFile f(dir.filePath(c.name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        QString error;
        EXPECT_EQ(Workbook::open(f.fileName(), &error), nullptr) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
    EXPECT_EQ(Workbook::open(dir.filePath("missing.xlsx")), nullptr);
}

TEST(Workbook, CellReferences) {
    const struct {
        const char* ref;
        int row, column;  // 0 = refused
    } cases[] = {{"A1", 1, 1}, {"AB12", 12, 28}, {"xfd1048576", 1048576, 16384}, {"XFE1", 0, 0},
                 {"A1048577", 0, 0}, {"A0", 0, 0}, {"1A", 0, 0}, {"A", 0, 0}, {"", 0, 0}};
    for (const auto& c : cases) {
        int r = 0, col = 0;
        const bool ok = excel::parseCellReference(QString::fromLatin1(c.ref), r, col);
        EXPECT_EQ(ok, c.row != 0) << c.ref;
        if (ok) {
            EXPECT_EQ(r, c.row) << c.ref;
            EXPECT_EQ(col, c.column) << c.ref;
        }
    }
    EXPECT_EQ(excel::numberText(3.0), "3");
    EXPECT_EQ(excel::numberText(-40), "-40");
    EXPECT_EQ(excel::numberText(0.1), "0.1");
}

// A damaged .xls that makes the .xls library read out of bounds (found by fuzzing): the
// program survives it, and a good workbook opens as before afterwards.
TEST(Workbook, ADamagedXlsDoesNotTakeTheProgramDown) {
    QString error;
    auto damaged = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/damaged_string.xls"), &error);
    if (!damaged) {
        EXPECT_FALSE(error.isEmpty());
    }
    auto good = Workbook::open(QStringLiteral(KELB_FIXTURES "/excel/signal_list.xls"), &error);
    ASSERT_TRUE(good) << error.toStdString();
    EXPECT_EQ(good->sheet("dcEnums")->cell(2, 1), "PAR_SPEED");
}

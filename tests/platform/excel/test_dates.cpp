// A date cell reads as the same date text from .xlsx and .xls, never as the day number it
// is stored as: built-in and custom date, time and date-and-time formats, the 1904 day
// count, ISO date cells; and an .xls that FreeXL cannot read says why.
#include "excel/dateformat.h"
#include "excel/workbook.h"
#include "secondwriter.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using excel::Workbook;

namespace {

// The rows of the .xls fixture (dates.xls, written by make_dates_xls.py), with the text
// each date reads as.
const struct {
    const char* name;
    const char* text;
} kRows[] = {
    {"PAR_DATE", "2024-03-15"},  {"PAR_SHORT", "2024-03-15"}, {"PAR_STAMP", "2024-03-15 13:45:30"}, {"PAR_TIME", "13:45:30"},
    {"PAR_LOCALE", "2024-03-15"}, {"PAR_EARLY", "1900-02-10"}, {"PAR_NUMBER", "12.5"},
};

// The same rows written by openpyxl; `setup` changes the workbook before the rows.
QString writeDates(const QTemporaryDir& dir, const QString& name, const QString& setup) {
    const QString path = dir.filePath(name);
    const QString error = secondwriter::openpyxlEnums(path, QStringLiteral(R"(
ws.append(["name", "minValue"])
rows = [
    ("PAR_DATE", datetime.date(2024, 3, 15), "YYYY-MM-DD"),
    ("PAR_SHORT", datetime.date(2024, 3, 15), "mm-dd-yy"),
    ("PAR_STAMP", datetime.datetime(2024, 3, 15, 13, 45, 30), "yyyy-mm-dd hh:mm:ss"),
    ("PAR_TIME", datetime.time(13, 45, 30), "hh:mm:ss"),
    ("PAR_LOCALE", 45366.25, "[$-407]DD. MMMM YYYY"),
    ("PAR_EARLY", datetime.date(1900, 2, 10), "YYYY-MM-DD"),
    ("PAR_NUMBER", 12.5, "0.00"),
]
%1
for name, value, form in rows:
    ws.append([name, value])
    ws.cell(row=ws.max_row, column=2).number_format = form
)").arg(setup));
    EXPECT_EQ(error, QString());
    return path;
}

// Every row of kRows but those left out, in its order.
void expectDates(const QString& path, const QStringList& leftOut = {}) {
    QString error;
    const auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.toStdString();
    const excel::Sheet* s = book->sheet("dcEnums");
    ASSERT_NE(s, nullptr);
    int row = 2;
    for (const auto& r : kRows) {
        if (leftOut.contains(QString::fromLatin1(r.name))) continue;
        EXPECT_EQ(s->cell(row, 1), QString::fromLatin1(r.name));
        EXPECT_EQ(s->cell(row, 2), QString::fromLatin1(r.text)) << path.toStdString() << " " << r.name;
        ++row;
    }
    EXPECT_EQ(s->cell(row, 1), QString());
}

}  // namespace

TEST(Dates, ADateCellReadsAsTheSameTextFromXlsxAndXls) {
    QTemporaryDir dir;
    expectDates(QStringLiteral(KELB_FIXTURES "/excel/dates.xls"));
    const QString xlsx = writeDates(dir, QStringLiteral("dates.xlsx"), QString());
    ASSERT_TRUE(secondwriter::readPart(xlsx, QStringLiteral("xl/worksheets/sheet1.xml")).contains("<v>45366</v>"))
        << "stored as its day number";
    expectDates(xlsx);
    // Counted from 1904 the day numbers differ, the dates do not (without the plain day
    // number, another day there, and the day before 1904, which that count cannot hold).
    expectDates(writeDates(dir, QStringLiteral("mac.xlsx"),
                           QStringLiteral("wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904\n"
                                          "rows = [r for r in rows if r[0] not in ('PAR_LOCALE', 'PAR_EARLY')]")),
                {QStringLiteral("PAR_LOCALE"), QStringLiteral("PAR_EARLY")});
    // Written as ISO dates (t="d") they read the same.
    const QString iso = writeDates(dir, QStringLiteral("iso.xlsx"), QStringLiteral("wb.iso_dates = True"));
    ASSERT_TRUE(secondwriter::readPart(iso, QStringLiteral("xl/worksheets/sheet1.xml")).contains("t=\"d\""));
    expectDates(iso);
}

TEST(Dates, FormatCodesAndDayNumbers) {
    using namespace excel::detail;
    const struct {
        const char* code;
        DateKind kind;
    } codes[] = {
        {"General", DateKind::None},        {"0.00", DateKind::None},           {"#,##0 \"days\"", DateKind::None},
        {"0.00E+00", DateKind::None},       {"yyyy-mm-dd", DateKind::Date},     {"mmm", DateKind::Date},
        {"d/m/yy;@", DateKind::Date},       {"h:mm", DateKind::Time},           {"mm:ss", DateKind::Time},
        {"[h]:mm:ss", DateKind::Time},      {"[Red][<0]0;0", DateKind::None},   {"dd/mm/yyyy hh:mm", DateKind::DateTime},
        {"\"Year\" 0", DateKind::None},     {"[$-407]DD. MMMM YYYY", DateKind::Date},
    };
    for (const auto& c : codes) EXPECT_EQ(formatCodeKind(QString::fromLatin1(c.code)), c.kind) << c.code;
    for (int id : {14, 15, 16, 17}) EXPECT_EQ(builtinFormatKind(id), DateKind::Date) << id;
    for (int id : {18, 19, 20, 21}) EXPECT_EQ(builtinFormatKind(id), DateKind::Time) << id;
    EXPECT_EQ(builtinFormatKind(22), DateKind::DateTime);
    for (int id : {0, 1, 2, 13, 23, 49}) EXPECT_EQ(builtinFormatKind(id), DateKind::None) << id;
    EXPECT_EQ(serialDateText(45366, DateKind::Date, false), "2024-03-15");
    EXPECT_EQ(serialDateText(45366.99999999, DateKind::DateTime, false), "2024-03-16 00:00:00") << "rounded to the second";
    EXPECT_EQ(serialDateText(61, DateKind::Date, false), "1900-03-01");
    EXPECT_EQ(serialDateText(59, DateKind::Date, false), "1900-02-28");
    EXPECT_EQ(serialDateText(0, DateKind::Date, true), "1904-01-01");
    EXPECT_EQ(serialDateText(2958465, DateKind::Date, false), "9999-12-31");
    EXPECT_FALSE(serialDateText(-1, DateKind::Date, false));
    EXPECT_FALSE(serialDateText(2958466, DateKind::Date, false));
    EXPECT_EQ(isoDateText(QStringLiteral("2024-03-15T13:45:30"), DateKind::None), "2024-03-15 13:45:30");
    EXPECT_FALSE(isoDateText(QStringLiteral("15.03.2024"), DateKind::Date));
}

// A date number no date stands for is refused with its cell, as damage.
TEST(Dates, ADateCellOutsideTheDatesOfAWorkbookIsRefused) {
    QTemporaryDir dir;
    const QString path = writeDates(dir, QStringLiteral("far.xlsx"), QString());
    const QString part = QStringLiteral("xl/worksheets/sheet1.xml");
    QByteArray xml = secondwriter::readPart(path, part);
    ASSERT_TRUE(xml.contains("<v>45366</v>"));
    ASSERT_TRUE(secondwriter::replacePart(path, part, xml.replace("<v>45366</v>", "<v>-45366</v>")));
    QString error;
    EXPECT_EQ(Workbook::open(path, &error), nullptr);
    for (const QString& named : {path, part, QStringLiteral("B2")}) EXPECT_TRUE(error.contains(named)) << error.toStdString();
}

// FreeXL opens an .xls with a text of 20,000 characters without a handle; the refusal says so.
TEST(Dates, AnXlsWithATextLongerThanFreeXlReadsIsRefusedWithTheCause) {
    const QString path = QStringLiteral(KELB_FIXTURES "/excel/long_text.xls");
    QString error;
    EXPECT_EQ(Workbook::open(path, &error), nullptr);
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(" is no readable .xls workbook. "))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("20000 characters"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("FreeXL"))) << error.toStdString();
}

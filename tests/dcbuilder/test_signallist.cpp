// The signal-list scan: a workbook written by a real writer, imported into the working
// copy's dcEnums and alarmEnums with the rows and columns missing on either side reported;
// a workbook that cannot be imported leaves the database and the versions as they were.
#include "builderfixture.h"

#include "crashkill.h"
#include "dao/dbfiles.h"
#include "dcbuilder/modexcel.h"
#include "secondwriter.h"

#include <xlsxwriter.h>

namespace {

struct Cell {
    int row, column;  // from 0, as the writer counts
    const char* text;  // a number when it parses as one, else a string
};

// The sheets of a signal list; a sheet named with a leading "~" is written hidden.
void writeWorkbook(const QString& path, const std::vector<std::pair<const char*, std::vector<Cell>>>& sheets) {
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    for (const auto& [name, cells] : sheets) {
        const bool hidden = name[0] == '~';
        lxw_worksheet* ws = workbook_add_worksheet(wb, hidden ? name + 1 : name);
        for (const Cell& c : cells) {
            bool number = false;
            const double v = QString::fromLatin1(c.text).toDouble(&number);
            if (QByteArray(c.text).startsWith('='))
                worksheet_write_formula_num(ws, lxw_row_t(c.row), lxw_col_t(c.column), c.text, nullptr, 100);
            else if (number && QByteArray(c.text) != "0")
                worksheet_write_number(ws, lxw_row_t(c.row), lxw_col_t(c.column), v, nullptr);
            else
                worksheet_write_string(ws, lxw_row_t(c.row), lxw_col_t(c.column), c.text, nullptr);
        }
        if (hidden) worksheet_hide(ws);
    }
    workbook_close(wb);
}

// dcEnums: a row id that is never written, a formula, an apostrophe, an empty cell and a
// refused text in number columns, a symbol the table lacks, and rows after the "0" end.
const std::vector<Cell> kDcSheet = {
    {0, 0, "name"}, {0, 1, "id"}, {0, 2, "minValue"}, {0, 3, "maxValue"}, {0, 4, "comment"}, {0, 5, "noSuchColumn"},
    {0, 6, "modbusaddr"},
    {1, 0, "PAR_A"}, {1, 1, "99"}, {1, 2, "1"}, {1, 3, "=10*10"}, {1, 4, "O'Neil's limit"}, {1, 5, "x"},
    {2, 0, "PAR_GHOST"}, {2, 2, "5"},
    {3, 0, "par_b"}, {3, 2, "low"}, {3, 4, "kept"},
    {4, 0, "0"},
    {5, 0, "GLB_X"}, {5, 2, "77"},
};
// alarmEnums, hidden: the delay name takes the "no symbol" id with it.
const std::vector<Cell> kAlarmSheet = {
    {0, 0, "name"}, {0, 1, "criterion"}, {0, 2, "onOffDelayIdName"},
    {1, 0, "ALM_A"}, {1, 1, "2"}, {1, 2, "DLY_X"},
};

class SignalList : public BuilderTest {
protected:
    QString book;

    void SetUp() override {
        BuilderTest::SetUp();
        dcfixture::makeDatabase(dcName(1));
        auto d = dao::OpenDatabase(dcName(1), false, false);
        dcBinTables::g_createTables(*d);
        d->Close();
        param(dcName(1), 0, "PAR_A", "PARAMETER", 5, 1);
        param(dcName(1), 1, "PAR_B", "PARAMETER", 6, 1);
        param(dcName(1), 2, "GLB_X", "VARIABLE", 7);
        row(dcName(1), "alarmEnums", {{"id", 0}, {"name", "ALM_A"}, {"class", "ALARM"}, {"onOffDelayId", 3}});
        row(dcName(1), "alarmEnums", {{"id", 1}, {"name", "ALM_B"}, {"class", "ALARM"}});
        execute(dcName(1), QStringLiteral("UPDATE dcEnums SET \"upDate\"=0, minValue=-9, maxValue=9"));
        execute(dcName(1), QStringLiteral("UPDATE alarmEnums SET \"upDate\"=0"));
        book = dir.filePath(QStringLiteral("signals.xlsx"));
    }
    QString temp() const { return dir.filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-temp.md")); }
    // "name:column" of every row, in name order.
    QStringList column(const QString& db, const char* table, const char* col) const {
        QStringList out;
        for (const auto& r : dcfixture::rows(db, QStringLiteral("SELECT name, \"%1\" FROM %2 ORDER BY name")
                                                     .arg(QString::fromLatin1(col), QString::fromLatin1(table))))
            out << r.value(QStringLiteral("name")).toString() + QLatin1Char(':') + r.value(QString::fromLatin1(col)).toString();
        return out;
    }
    // The log lines from the first that starts with `from` up to the one before `to`.
    QStringList logBetween(const QString& from, const QString& to) const {
        const QStringList l = log();
        int a = -1;
        for (int i = 0; i < l.size() && a < 0; ++i)
            if (l[i].startsWith(from)) a = i;
        if (a < 0) return {};
        const int b = l.indexOf(to, a + 1);
        return l.mid(a, b < 0 ? -1 : b - a);
    }
    void scan(const QString& file) {
        answers.pushText(file);
        builder().cmdScanSignalList_Click();
    }
};
}  // namespace

TEST_F(SignalList, TheSheetsAreCopiedAndWhatIsMissingOnEitherSideIsReported) {
    writeWorkbook(book, {{"dcEnums", kDcSheet}, {"~alarmEnums", kAlarmSheet}});
    builder().g_show(dir.path());
    scan(book);

    ASSERT_FALSE(answers.shown().empty());
    EXPECT_EQ(answers.shown()[0].kind, Dialogs::Kind::OpenFile);
    EXPECT_EQ(answers.shown()[0].title, QStringLiteral("Choose Signal-List"));
    const QStringList l = log();
    ASSERT_GE(l.size(), 3);
    EXPECT_TRUE(l[0].startsWith(QStringLiteral("SCAN SIGNAL LIST ") + QString(65, QLatin1Char('-')) + QLatin1Char(' ')));
    EXPECT_EQ(l[1], QStringLiteral("Scan Signal-List ") + book);
    EXPECT_EQ(l[2], QStringLiteral("   Open Excel ") + book);
    QStringList expected = {
        "   Scan Sheet dcEnums",
        "      Check for signal-list-fields that are not existing in datacontainer",
        "         noSuchColumn is not in datacontainer.",
        "         modbusaddr is not in datacontainer.",
        "      Check for datacontainer-fields that are not existing in signal-list"};
    for (const char* c : {"class", "varGroup", "fupId", "upDate", "introduced", "condition", "producerMask", "modbusAddr",
                          "value", "crcGroup", "readAccessLevel", "writeAccessLevel", "modbusScale", "onlineValue", "syncCmd"})
        expected << QStringLiteral("         %1 is not in signal-list").arg(QString::fromLatin1(c));
    expected << "      Copy signal-list values into datacontainer"
             << "         par_b: Update-Error in minValue, maxValue"
             << "      Number of scanned signals: 2"
             << "      Check for signals in datacontainer that are not in signal-list"
             << "         GLB_DEFAULT is not in signal-list"
             << "         GLB_X is not in signal-list"
             << "         PAR_DEFAULT is not in signal-list"
             << "      Check for signals in signal-list that are not in datacontainer"
             << "         PAR_GHOST is not in DC"
             << " ";
    EXPECT_EQ(logBetween(QStringLiteral("   Scan Sheet dcEnums"), QStringLiteral("   Scan Sheet alarmEnums")), expected);
    const QStringList alarms = logBetween(QStringLiteral("   Scan Sheet alarmEnums"), QStringLiteral("   Update id's in alarmEnums-table"));
    EXPECT_TRUE(alarms.contains(QStringLiteral("         All fields are existing in datacontainer")));
    EXPECT_TRUE(alarms.contains(QStringLiteral("         ALM_B is not in signal-list")));
    EXPECT_TRUE(alarms.contains(QStringLiteral("         All signals are in datacontainer")));
    EXPECT_TRUE(l.contains(QStringLiteral("Result saved in new DC-Version KELB-3817 Update Tool-PXM-DC-002.mdb")));
    EXPECT_TRUE(l.last().startsWith(QString(82, QLatin1Char('-')) + QLatin1Char(' ')));

    const QString v2 = dcName(2);
    EXPECT_EQ(column(v2, "dcEnums", "upDate"), QStringList({"GLB_DEFAULT:2", "GLB_X:2", "PAR_A:1", "PAR_B:1", "PAR_DEFAULT:2"}));
    EXPECT_EQ(column(v2, "dcEnums", "id"), QStringList({"GLB_DEFAULT:-2", "GLB_X:2", "PAR_A:0", "PAR_B:1", "PAR_DEFAULT:-1"}));
    EXPECT_EQ(value(v2, QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_A'")).toInt(), 1);
    EXPECT_EQ(value(v2, QStringLiteral("SELECT maxValue FROM dcEnums WHERE name='PAR_A'")).toInt(), 100);
    EXPECT_EQ(value(v2, QStringLiteral("SELECT comment FROM dcEnums WHERE name='PAR_A'")).toString(), "O'Neil's limit");
    // A refused column keeps its value; the row's other columns are written.
    EXPECT_EQ(value(v2, QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_B'")).toInt(), -9);
    EXPECT_EQ(value(v2, QStringLiteral("SELECT maxValue FROM dcEnums WHERE name='PAR_B'")).toInt(), 9);
    EXPECT_EQ(value(v2, QStringLiteral("SELECT comment FROM dcEnums WHERE name='PAR_B'")).toString(), "kept");
    EXPECT_EQ(value(v2, QStringLiteral("SELECT minValue FROM dcEnums WHERE name='GLB_X'")).toInt(), -9) << "read after the end";
    EXPECT_EQ(column(v2, "alarmEnums", "upDate"), QStringList({"ALARM_DEFAULT:2", "ALM_A:1", "ALM_B:2"}));
    EXPECT_EQ(value(v2, QStringLiteral("SELECT criterion FROM alarmEnums WHERE name='ALM_A'")).toInt(), 2);
    EXPECT_EQ(value(v2, QStringLiteral("SELECT onOffDelayId FROM alarmEnums WHERE name='ALM_A'")).toInt(), 255);
    EXPECT_FALSE(builder().xlsApp) << "the workbook is let go";
    EXPECT_FALSE(builder().workingCopyModified());
    EXPECT_EQ(builder().prgProgress->value(), 0) << "the bar is back at the start, in its range";
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) {
        builder().tabAction->setCurrentIndex(3);
        builder().grab().save(QDir(keep).filePath(QStringLiteral("dcbuilder-signallist.png")));
        dcfixture::writeFile(QDir(keep).filePath(QStringLiteral("dcbuilder-signallist.txt")), l.join(QLatin1Char('\n')));
    }
}

TEST_F(SignalList, AWorkbookThatCannotBeImportedChangesNothing) {
    const QString junk = dir.filePath(QStringLiteral("junk.xlsx"));
    dcfixture::writeFile(junk, QStringLiteral("name;id\r\n"));
    const QString noAlarms = dir.filePath(QStringLiteral("noalarms.xlsx"));
    writeWorkbook(noAlarms, {{"dcEnums", kDcSheet}});
    const QString badHeader = dir.filePath(QStringLiteral("badheader.xlsx"));
    writeWorkbook(badHeader, {{"dcEnums", kDcSheet}, {"alarmEnums", {{0, 0, "Name"}, {1, 0, "ALM_A"}}}});
    // Damaged in the zip (a byte of the second sheet flipped) and in the XML (cut short).
    const QString flipped = dir.filePath(QStringLiteral("flipped.xlsx"));
    writeWorkbook(flipped, {{"dcEnums", kDcSheet}, {"alarmEnums", kAlarmSheet}});
    {
        QFile f(flipped);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray z = f.readAll();
        const auto e = secondwriter::zipEntry(z, QStringLiteral("xl/worksheets/sheet2.xml"));
        ASSERT_GT(e.data, 0);
        z[e.data + e.compressedSize / 2] = char(z[e.data + e.compressedSize / 2] ^ 0x04);
        f.seek(0);
        f.write(z);
    }
    const QString cut = dir.filePath(QStringLiteral("cut.xlsx"));
    writeWorkbook(cut, {{"dcEnums", kDcSheet}, {"alarmEnums", kAlarmSheet}});
    const QByteArray sheet = secondwriter::readPart(cut, QStringLiteral("xl/worksheets/sheet1.xml"));
    ASSERT_TRUE(secondwriter::replacePart(cut, QStringLiteral("xl/worksheets/sheet1.xml"), sheet.left(sheet.indexOf("<row r=\"4\""))));
    const struct {
        QString file;
        QStringList failure;
        size_t errors;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing.xlsx")), {}, 1},
        {junk, {}, 1},
        {noAlarms, {"   Scan Sheet alarmEnums", "   Sheet alarmEnums could not be opened"}, 0},
        {badHeader, {"   Scan Sheet alarmEnums", "      First column of excel-sheet is not 'name'!"}, 0},
        {flipped, {}, 1},
        {cut, {}, 1},
        {QStringLiteral(KELB_FIXTURES "/excel/long_text.xls"), {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        errors.seen.clear();
        builder().g_show(dir.path());
        scan(c.file);
        QStringList tail = c.failure;
        tail << "   Signal-List not imported -> DC unchanged, no new DC-Version!";
        const QStringList l = log();
        ASSERT_GE(l.size(), tail.size() + 1);
        EXPECT_EQ(l.mid(l.size() - tail.size() - 1, tail.size()), tail);
        EXPECT_EQ(errors.seen.size(), c.errors);
        if (c.errors && !errors.seen.empty()) {
            EXPECT_EQ(errors.seen[0].procedure, QStringLiteral("openExcelForm"));
        }
        if (c.file.endsWith(QLatin1String("long_text.xls")) && !errors.seen.empty()) {
            EXPECT_TRUE(errors.seen[0].description.contains(QStringLiteral("is no readable .xls workbook. A text in it holds 20000 characters")))
                << errors.seen[0].description.toStdString();
        }
        if ((c.file == flipped || c.file == cut) && !errors.seen.empty()) {
            EXPECT_TRUE(errors.seen[0].description.contains(c.file)) << errors.seen[0].description.toStdString();
            EXPECT_TRUE(errors.seen[0].description.contains(QStringLiteral("xl/worksheets/sheet")));
        }
        EXPECT_EQ(column(temp(), "dcEnums", "upDate"), QStringList({"GLB_DEFAULT:0", "GLB_X:0", "PAR_A:0", "PAR_B:0", "PAR_DEFAULT:0"}));
        EXPECT_EQ(value(temp(), QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_A'")).toInt(), -9);
        EXPECT_FALSE(builder().workingCopyModified());
        builder().unload();
        EXPECT_EQ(files().filter(QStringLiteral(".mdb")), QStringList({"Config.mdb", "KELB-3817 Update Tool-PXM-DC-001.mdb"}));
    }
}

TEST_F(SignalList, CancellingTheDialogLeavesLogAndVersionsUntouched) {
    builder().g_show(dir.path());
    scan(QString());
    EXPECT_TRUE(log().isEmpty());
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(2)));
}

// The .xls reader serves the import as well; the cell reference counts from "A1".
TEST_F(SignalList, AnXlsSignalListIsReadThroughTheSameOperations) {
    modExcel::initiateExcel(builder());
    ASSERT_TRUE(modExcel::openExcelForm(QStringLiteral(KELB_FIXTURES "/excel/signal_list.xls"), true));
    EXPECT_TRUE(modExcel::openExcelSheet(QStringLiteral("alarmEnums"))) << "hidden sheets too";
    EXPECT_FALSE(modExcel::openExcelSheet(QStringLiteral("ALARMENUMS")));
    ASSERT_TRUE(modExcel::openExcelSheet(QStringLiteral("dcEnums")));
    EXPECT_EQ(modExcel::readCell(QStringLiteral("A1"), 0, 0), "name");
    EXPECT_EQ(modExcel::readCell(QStringLiteral("A1"), 1, 1), "10") << "row 2, column 2";
    EXPECT_EQ(modExcel::readCell(QString(), 5, 2), "O'Neil's limit");
    param(dcName(1), 5, "PAR_SPEED", "PARAMETER", 0);
    EXPECT_TRUE(builder().readExcelSheet(dcName(1), QStringLiteral("dcEnums")));
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT maxValue FROM dcEnums WHERE name='PAR_SPEED'")).toDouble(), 120)
        << "a whole-number column rounds 120.5 to even";
    modExcel::closeExcelForm();
    modExcel::terminateExcel();
    EXPECT_FALSE(builder().xlsApp);
}

TEST_F(SignalList, ASheetImportedAsATableGetsItsColumnsFromTheFirstRow) {
    writeWorkbook(book, {{"limits", {{0, 0, "name"}, {0, 1, "comment"}, {0, 2, "low"}, {1, 0, "PAR_A"}, {1, 1, "a"},
                                     {1, 2, "3"}, {2, 0, "PAR_B"}, {2, 2, "x"}, {3, 0, "0"}}}});
    modExcel::initiateExcel(builder());
    ASSERT_TRUE(modExcel::openExcelForm(book, true));
    builder().importExcelSheet(dcName(1), QStringLiteral("limits"));
    const auto r = dcfixture::rows(dcName(1), QStringLiteral("SELECT * FROM limits ORDER BY name"));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].value("low").toInt(), 3);
    EXPECT_TRUE(r[1].value("low").isNull()) << "a value the column refuses is left out";
    // A sheet that is not there leaves an existing table of that name alone.
    builder().importExcelSheet(dcName(1), QStringLiteral("dcEnums"));
    EXPECT_EQ(dcfixture::rows(dcName(1), QStringLiteral("SELECT * FROM dcEnums")).size(), 5u);
    modExcel::terminateExcel();
}

// A generator's workbook (openpyxl) whose formulas carry no result: a formula in a column
// the import copies refuses the import, naming sheet and cell; one in a column it skips
// does not.
TEST_F(SignalList, AFormulaWithoutItsValueInACopiedColumnRefusesTheImport) {
    const auto write = [&](const QString& file, const char* comment) {
        ASSERT_EQ(secondwriter::openpyxlEnums(file, QStringLiteral(R"(
ws.append(["name", "id", "minValue", "comment", "helper"])
ws.append(["PAR_A", "=1+1", 1, %1, "=A2&B2"])
ws.append(["PAR_B", 7, 2, "b"])
alarms = wb.create_sheet("alarmEnums")
alarms.append(["name", "criterion"])
alarms.append(["ALM_A", 3])
)").arg(QString::fromLatin1(comment))),
                  QString());
    };
    const QString refused = dir.filePath(QStringLiteral("refused.xlsx"));
    write(refused, R"('="O"&"K"')");
    builder().g_show(dir.path());
    scan(refused);
    const QStringList l = log();
    ASSERT_GE(l.size(), 4);
    EXPECT_EQ(l.mid(l.size() - 4, 3), QStringList({"   Scan Sheet dcEnums",
                                                   "      Cell D2 of sheet dcEnums holds a formula or TRUE/FALSE without a value!",
                                                   "   Signal-List not imported -> DC unchanged, no new DC-Version!"}));
    EXPECT_EQ(column(temp(), "dcEnums", "upDate"), QStringList({"GLB_DEFAULT:0", "GLB_X:0", "PAR_A:0", "PAR_B:0", "PAR_DEFAULT:0"}));
    EXPECT_EQ(column(temp(), "alarmEnums", "upDate"), QStringList({"ALARM_DEFAULT:0", "ALM_A:0", "ALM_B:0"}));
    EXPECT_FALSE(builder().workingCopyModified());
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(2)));

    // The id column is never written and "helper" is no column of the table.
    const QString taken = dir.filePath(QStringLiteral("taken.xlsx"));
    write(taken, R"("plain")");
    builder().g_show(dir.path());
    scan(taken);
    EXPECT_TRUE(log().contains(QStringLiteral("Result saved in new DC-Version KELB-3817 Update Tool-PXM-DC-002.mdb")));
    EXPECT_EQ(value(dcName(2), QStringLiteral("SELECT comment FROM dcEnums WHERE name='PAR_A'")).toString(), "plain");
}

// Every value of the signal-list tables, row by row in name order.
QStringList signalTables(const QString& db) {
    QStringList out;
    for (const char* table : {"dcEnums", "alarmEnums"})
        for (const auto& r : dcfixture::rows(db, QStringLiteral("SELECT * FROM %1 ORDER BY name").arg(QString::fromLatin1(table)))) {
            QStringList values;
            for (auto it = r.cbegin(); it != r.cend(); ++it) values << it.key() + QLatin1Char('=') + it.value().toString();
            out << values.join(QLatin1Char(' '));
        }
    return out;
}

// A generator's workbook damaged where a reader would have to guess: refused as damaged
// with file, part and cell named, the tables as they were and no new version.
TEST_F(SignalList, AWorkbookWithACellClaimedTwiceANumberThatIsNoneOrADeclarationChangesNothing) {
    const QString written = dir.filePath(QStringLiteral("written.xlsx"));
    ASSERT_EQ(secondwriter::openpyxlEnums(written, QStringLiteral(R"(
ws.append(["name", "minValue", "comment"])
ws.append(["PAR_A", 1, "first"])
ws.append(["PAR_B", 2, "second"])
alarms = wb.create_sheet("alarmEnums")
alarms.append(["name", "criterion"])
alarms.append(["ALM_A", 3])
)")),
              QString());
    const QString sheet = QStringLiteral("xl/worksheets/sheet1.xml");
    const struct {
        const char* name;
        QByteArray from, to;
        const char* said;
    } cases[] = {
        {"C2 twice", "</row><row r=\"3\"", "<c r=\"C2\" t=\"n\"><v>100</v></c></row><row r=\"3\"", "cell C2 twice"},
        {"A2 twice", "<c r=\"B2\"", "<c r=\"A2\" t=\"n\"><v>999</v></c><c r=\"B2\"", "cell A2 twice"},
        {"a number that is none", "<v>1</v>", "<v>12abc</v>", "in cell B2 the number \"12abc\""},
        {"an external entity", "<t>first</t>", "<t>&ext;</t>", "document type declaration"},
    };
    const QStringList before = signalTables(dcName(1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = dir.filePath(QStringLiteral("damaged.xlsx"));
        QFile::remove(file);
        ASSERT_TRUE(QFile::copy(written, file));
        QByteArray xml = secondwriter::readPart(file, sheet);
        ASSERT_TRUE(xml.contains(c.from));
        xml.replace(c.from, c.to);
        if (xml.contains("&ext;")) xml.insert(xml.startsWith("<?xml") ? xml.indexOf("?>") + 2 : 0, "<!DOCTYPE x [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>");
        ASSERT_TRUE(secondwriter::replacePart(file, sheet, xml));
        errors.seen.clear();
        builder().g_show(dir.path());
        scan(file);
        EXPECT_EQ(log().last(2).first(), QStringLiteral("   Signal-List not imported -> DC unchanged, no new DC-Version!"));
        ASSERT_EQ(errors.seen.size(), 1u);
        EXPECT_EQ(errors.seen[0].procedure, QStringLiteral("openExcelForm"));
        for (const QString& named : {file, sheet, QString::fromLatin1(c.said)})
            EXPECT_TRUE(errors.seen[0].description.contains(named)) << errors.seen[0].description.toStdString();
        EXPECT_EQ(signalTables(temp()), before);
        EXPECT_FALSE(builder().workingCopyModified());
        builder().unload();
        EXPECT_EQ(signalTables(dcName(1)), before);
        EXPECT_FALSE(QFile::exists(dcName(2)));
    }
}

// A date cell gives its date text from .xlsx and .xls alike: a text column takes it, a
// whole-number column refuses it, never taking the day number.
TEST_F(SignalList, ADateCellGivesItsDateTextFromXlsxAndXls) {
    const auto import = [&](const QString& file) {
        modExcel::initiateExcel(builder());
        ASSERT_TRUE(modExcel::openExcelForm(file, true));
        ASSERT_TRUE(modExcel::openExcelSheet(QStringLiteral("dcEnums")));
        EXPECT_TRUE(builder().readExcelSheet(dcName(1), QStringLiteral("dcEnums")));
        modExcel::closeExcelForm();
        modExcel::terminateExcel();
    };
    ASSERT_EQ(secondwriter::openpyxlEnums(book, QStringLiteral(R"(
ws.append(["name", "minValue", "comment"])
ws.append(["PAR_A", datetime.date(2024, 3, 15), datetime.date(2024, 3, 15)])
ws.append(["PAR_B", 4, "b"])
)")),
              QString());
    import(book);
    EXPECT_TRUE(log().contains(QStringLiteral("         PAR_A: Update-Error in minValue"))) << log().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_A'")).toInt(), -9);
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT comment FROM dcEnums WHERE name='PAR_A'")).toString(), "2024-03-15");
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_B'")).toInt(), 4);

    param(dcName(1), 10, "PAR_DATE", "PARAMETER", 0);
    param(dcName(1), 11, "PAR_NUMBER", "PARAMETER", 0);
    execute(dcName(1), QStringLiteral("UPDATE dcEnums SET minValue=-9 WHERE name IN ('PAR_DATE', 'PAR_NUMBER')"));
    import(QStringLiteral(KELB_FIXTURES "/excel/dates.xls"));
    EXPECT_TRUE(log().contains(QStringLiteral("         PAR_DATE: Update-Error in minValue")));
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_DATE'")).toInt(), -9);
    EXPECT_EQ(value(dcName(1), QStringLiteral("SELECT minValue FROM dcEnums WHERE name='PAR_NUMBER'")).toInt(), 12);
}

// FreeXL gives no value for .xls formula and TRUE/FALSE cells; the import reads their stored
// values, and refuses a sheet where one it reads has none.
TEST_F(SignalList, XlsFormulaCellsAreReadOrRefuseTheSheet) {
    modExcel::initiateExcel(builder());
    ASSERT_TRUE(modExcel::openExcelForm(QStringLiteral(KELB_FIXTURES "/excel/formulas.xls"), true));
    ASSERT_TRUE(modExcel::openExcelSheet(QStringLiteral("dcEnums")));
    EXPECT_EQ(modExcel::readCell(QString(), 2, 2), "3");
    EXPECT_EQ(modExcel::readCell(QString(), 4, 2), "from a formula");
    EXPECT_TRUE(modExcel::cellHasValue(4, 2));
    EXPECT_FALSE(modExcel::cellHasValue(4, 4));
    EXPECT_FALSE(builder().readExcelSheet(dcName(1), QStringLiteral("dcEnums")));
    EXPECT_EQ(log().mid(log().size() - 2), QStringList({"   Scan Sheet dcEnums",
                                                        "      Cell D4 of sheet dcEnums holds a formula or TRUE/FALSE without a value!"}));
    EXPECT_EQ(column(dcName(1), "dcEnums", "upDate"), QStringList({"GLB_DEFAULT:0", "GLB_X:0", "PAR_A:0", "PAR_B:0", "PAR_DEFAULT:0"}));
    modExcel::closeExcelForm();
    modExcel::terminateExcel();
}

// importExcelSheet reads every column: a cell without value leaves the old table alone.
TEST_F(SignalList, ASheetImportedAsATableIsRefusedForACellWithoutValue) {
    ASSERT_EQ(secondwriter::openpyxlEnums(book, QStringLiteral(R"(
ws.append(["name", "comment", "low"])
ws.append(["PAR_A", "a", "=1+2"])
)")),
              QString());
    modExcel::initiateExcel(builder());
    ASSERT_TRUE(modExcel::openExcelForm(book, true));
    builder().importExcelSheet(dcName(1), QStringLiteral("dcEnums"));
    EXPECT_EQ(log().last(), QStringLiteral("      Cell C2 of sheet dcEnums holds a formula or TRUE/FALSE without a value!"));
    EXPECT_EQ(dcfixture::rows(dcName(1), QStringLiteral("SELECT * FROM dcEnums")).size(), 5u);
    modExcel::terminateExcel();
}

// Both sheets are one write: a second sheet that cannot be written leaves the first
// sheet's table as it was, as the log says.
TEST_F(SignalList, ASheetThatCannotBeWrittenLeavesTheOtherSheetsTableUnchanged) {
    execute(dcName(1), QStringLiteral("DROP TABLE alarmEnums"));
    writeWorkbook(book, {{"dcEnums", kDcSheet}, {"alarmEnums", kAlarmSheet}});
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    const QStringList before = column(temp(), "dcEnums", "minValue");
    const QStringList codes = column(temp(), "dcEnums", "upDate");
    scan(book);
    EXPECT_TRUE(log().contains(QStringLiteral("   Signal-List not imported -> DC unchanged, no new DC-Version!")));
    EXPECT_EQ(column(temp(), "dcEnums", "minValue"), before);
    EXPECT_EQ(column(temp(), "dcEnums", "upDate"), codes);
    builder().unload();
    EXPECT_FALSE(QFile::exists(dcName(2)));
}

// The import killed at any moment: the working copy holds the tables before the import or
// after it, and a saved version holds them after it.
TEST_F(SignalList, CrashTheImportKilledAtAnyMomentLeavesTheTablesOldOrNew) {
    std::vector<QByteArray> names;
    {
        auto d = dao::OpenDatabase(dcName(1), true, false);
        d->Execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 1500; ++i) {
            names.push_back("PAR_BULK_" + QByteArray::number(i));
            d->Execute(QStringLiteral("INSERT INTO dcEnums (id, name, class, value, minValue, \"upDate\") VALUES (?, ?, 'PARAMETER', 0, -9, 0)"),
                       {100 + i, QString::fromLatin1(names.back())});
        }
        d->Execute(QStringLiteral("COMMIT"));
    }
    std::vector<Cell> sheet = {{0, 0, "name"}, {0, 1, "minValue"}, {0, 2, "maxValue"}};
    for (int i = 0; i < int(names.size()); ++i) {
        sheet.push_back({i + 1, 0, names[std::size_t(i)].constData()});
        sheet.push_back({i + 1, 1, "1"});
        sheet.push_back({i + 1, 2, "2"});
    }
    writeWorkbook(book, {{"dcEnums", sheet}, {"alarmEnums", kAlarmSheet}});
    builder().g_show(dir.path());
    ASSERT_TRUE(builder().isLoaded());
    const QByteArray version1 = testsupport::readFile(dcName(1));
    auto state = [&](const QString& db) {
        return value(db, QStringLiteral("SELECT count(*) FROM dcEnums WHERE minValue=1 AND maxValue=2 AND \"upDate\"=1")).toString() +
               QLatin1Char('/') + value(db, QStringLiteral("SELECT count(*) FROM alarmEnums WHERE \"upDate\"=1")).toString();
    };
    const QString oldState = state(dcName(1));
    const QString newState = QStringLiteral("1500/1");
    testsupport::CrashRuns runs;
    runs.prepare = [&] {
        dao::RemoveDatabaseFile(dcName(2));
        dao::RemoveDatabaseFile(temp());
        QFile f(temp());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(version1);
        f.close();
        answers.pushText(book);  // the file dialog of the child's scan
    };
    runs.write = [&] { builder().cmdScanSignalList_Click(); };
    runs.check = [&](int run) {
        if (run < 0) {
            ASSERT_TRUE(QFile::exists(dcName(2)));
        }
        for (const QString& db : {temp(), dcName(2)}) {
            if (!QFile::exists(db)) continue;
            EXPECT_EQ(dao::IntegrityProblem(db), QString()) << "run " << run;
            const QString s = state(db);
            EXPECT_TRUE(s == newState || (db == temp() && s == oldState)) << "run " << run << ": " << s.toStdString();
        }
    };
    EXPECT_GT(testsupport::killAtRandomMoments(runs), 0);
}

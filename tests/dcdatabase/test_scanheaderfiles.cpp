#include "dcdatabase/modscanheaderfiles.h"

#include "scanfixture.h"
#include "dao/dao.h"
#include "services/modglobal.h"

#include <QFile>

namespace {

using modScanHeaderFiles::g_scanHeaderFiles;

const QString kGlobal = QStringLiteral(
    "/* module constants */\n"
    "// scanStart: global constants\n"
    "#define APPL_DEVELOPER_NO 2042\n"
    "#define MAX_CYL (u16)14\n"
    "#define PARAMETER_OFFSET_1024 0\n"
    "// scanEnd\n");

const QString kLibrary = QStringLiteral(
    "// scanStart: global types\n"
    "typedef enum\n"
    "{\n"
    "  DLY_ON_1,          // 100; delay 1\n"
    "  DLY_ON_2           // 100; delay 2\n"
    "} tDelay;\n"
    "// scanEnd\n");

QString dataContainer(const QString& variables, const QString& alarms, const QString& parameters) {
    return QStringLiteral("// scanStart: global variables\ntypedef enum\n{\n  FIRST_VARIABLE = 2000,\n") + variables +
           QStringLiteral("} tVar;\n// scanEnd\n// scanStart: alarms\ntypedef enum\n{\n  FIRST_ALARM = 3000,\n") + alarms +
           QStringLiteral("  LAST_ALARM = 3010\n} tAlarm;\n// scanEnd\n"
                          "// scanStart: global parameters\ntypedef enum\n{\n  PARA_FIRST_ENUM = 300,\n") +
           parameters + QStringLiteral("  PARA_LAST_ENUM\n} tPar;\n// scanEnd\n");
}

const QString kBaseVariables = QStringLiteral(
    "  ENGINE_SPEED,            // 110.1; engine speed\n"
    "  OIL_PRESS,               // 110.2; oil pressure\n"
    "  CYL_TEMP_N,              // 110.3; * n temperature\n"
    "  LAST_VARIABLE = CYL_TEMP_N + 3\n");
const QString kBaseAlarms = QStringLiteral("  AL_OIL_LOW,              // 120.1; oil low\n");
const QString kBaseParameters = QStringLiteral(
    "  PAR_SPEED_LIMIT,         // 130.1; speed limit\n"
    "  PAR_X_NOT_USED,          // 130.2;\n"
    "  PAR_OIL_LIMIT,           // 130.3; oil limit\n");

class HeaderScan : public ScanTest {
protected:
    void writeBase() { writeHeaders(kGlobal, kLibrary, dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters)); }
    QStringList scanLines() const {
        return {QStringLiteral("   Scan file ") + path("global.h"), QStringLiteral("      0 enums and 3 defines scanned"),
                QStringLiteral("   Scan file ") + path("library.h"), QStringLiteral("      2 enums and 0 defines scanned")};
    }
};

TEST_F(HeaderScan, FirstScanListsEverySymbolAsNew) {
    writeBase();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    QStringList expected = scanLines();
    expected << QStringLiteral("   Scan file ") + path("dataContainer.h") << QStringLiteral("      13 enums and 0 defines scanned")
             << QStringLiteral("   Compare scan with previous scanned symbols")
             << QStringLiteral("      10 new items scanned")
             << QStringLiteral("         LOG: AL_OIL_LOW (3001) {120.1}")
             << QStringLiteral("         PAR: PAR_SPEED_LIMIT (1025) {130.1}")
             << QStringLiteral("         PAR: PAR_X_NOT_USED (1026) {130.2}")
             << QStringLiteral("         PAR: PAR_OIL_LIMIT (1027) {130.3}")
             << QStringLiteral("         VAR: ENGINE_SPEED (2001) {110.1}")
             << QStringLiteral("         VAR: OIL_PRESS (2002) {110.2}")
             << QStringLiteral("         VAR: CYL_TEMP_N (2003) {110.3}")
             << QStringLiteral("         VAR: CYL_TEMP_01 (2004) {110.3}")
             << QStringLiteral("         VAR: CYL_TEMP_02 (2005) {110.3}")
             << QStringLiteral("         VAR: CYL_TEMP_03 (2006) {110.3}")
             << QStringLiteral("      !!!!!! Please fill in attributes !!!!!!");
    EXPECT_EQ(log.lines, expected);

    // Rows in the order they were scanned, the array elements added at the end.
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan")),
              QStringList({"APPL_DEVELOPER_NO=2042", "MAX_CYL=14", "PARAMETER_OFFSET_1024=0", "DLY_ON_1=0", "DLY_ON_2=1",
                           "FIRST_VARIABLE=2000", "ENGINE_SPEED=2001", "OIL_PRESS=2002", "CYL_TEMP_N=2003", "LAST_VARIABLE=2006",
                           "FIRST_ALARM=3000", "AL_OIL_LOW=3001", "LAST_ALARM=3010", "PARA_FIRST_ENUM=1024",
                           "PAR_SPEED_LIMIT=1025", "PAR_X_NOT_USED=1026", "PAR_OIL_LIMIT=1027", "PARA_LAST_ENUM=1028",
                           "CYL_TEMP_01=2004", "CYL_TEMP_02=2005", "CYL_TEMP_03=2006"}));
    const auto r = rows(QStringLiteral("SELECT * FROM sourceScan WHERE name IN ('DLY_ON_2','PARA_LAST_ENUM','ENGINE_SPEED','MAX_CYL') ORDER BY name"));
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].value("class").toString(), QStringLiteral("DELAY_INST"));
    EXPECT_EQ(r[0].value("sourceLine").toInt(), 20006);  // the closing line completes the last entry
    EXPECT_EQ(r[0].value("comment").toString(), QStringLiteral("delay 2"));
    EXPECT_EQ(r[1].value("class").toString(), QStringLiteral("VARIABLE"));
    EXPECT_EQ(r[1].value("sourceLine").toInt(), 5);
    EXPECT_EQ(r[2].value("class").toString(), QStringLiteral("CONSTANT"));
    EXPECT_EQ(r[2].value("sourceLine").toInt(), 10004);
    EXPECT_TRUE(r[2].value("fupId").isNull());
    EXPECT_EQ(r[3].value("class").toString(), QStringLiteral("CONSTANT"));
    EXPECT_FALSE(dcfixture::rows(db, QStringLiteral("SELECT name FROM sqlite_master WHERE name='sourceScanBackup'")).size());
}

TEST_F(HeaderScan, RescanReportsRenamedNotUsedChangedNewAndDeletedSymbols) {
    writeBase();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    const QString variables = QStringLiteral(
        "  ENGINE_RPM,              // 110.1; engine speed\n"
        "  OIL_PRESS_NOT_USED,      // 110.2; oil pressure\n"
        "  CYL_TEMP_N,              // 110.3; * n temperature\n"
        "  LAST_VARIABLE = CYL_TEMP_N + 3\n");
    const QString alarms = QStringLiteral("  AL_FIRE = 3005,          // 120.2; fire\n");
    const QString parameters = QStringLiteral(
        "  PAR_SPEED_LIMIT,         // 130.1; speed limit\n"
        "  PAR_BOOST,               // 130.4; boost\n"
        "  PAR_NEW_ONE,             // 130.5; inserted\n"
        "  PAR_OIL_LIMIT,           // 130.3; oil limit\n");
    writeHeaders(kGlobal, kLibrary, dataContainer(variables, alarms, parameters));
    log.lines.clear();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    const QStringList report = log.lines.mid(log.lines.indexOf(QStringLiteral("   Compare scan with previous scanned symbols")) + 1);
    EXPECT_EQ(report, QStringList({"      2 new items scanned",
                                   "         LOG: AL_FIRE (3005) {120.2}",
                                   "         PAR: PAR_BOOST (1026) {130.4}",
                                   "      !!!!!! Please fill in attributes !!!!!!",
                                   "      2 items renamed",
                                   "         PAR: PAR_NEW_ONE (1027) {130.5}",
                                   "         VAR: ENGINE_RPM (2001) {110.1}",
                                   "      1 items set to 'not used'",
                                   "         VAR: OIL_PRESS_NOT_USED (2002) {110.2}",
                                   "      Enums of 1 items has changed",
                                   "      1 items has been deleted",
                                   "         LOG: AL_OIL_LOW (3001) {120.1}"}));
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan WHERE \"upDate\"=4")), QStringList({"PAR_OIL_LIMIT=1028"}));
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan WHERE \"upDate\"=1 ORDER BY id")),
              QStringList({"PAR_SPEED_LIMIT=1025", "CYL_TEMP_N=2003", "CYL_TEMP_01=2004", "CYL_TEMP_02=2005", "CYL_TEMP_03=2006"}));
    // Constants, markers and delay instances are never compared.
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM sourceScan WHERE class IN ('CONSTANT','INSTRUCTION','DELAY_INST') AND \"upDate\"<>0")).size(), 0u);
}

TEST_F(HeaderScan, DebugModeKeepsTheMarkedBackup) {
    writeBase();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    writeHeaders(kGlobal, kLibrary, dataContainer(kBaseVariables, QString(), kBaseParameters));
    modGlobal::g_debugMode = true;
    const bool ok = g_scanHeaderFiles(log, db, QStringLiteral("sourceScan"));
    modGlobal::g_debugMode = false;
    ASSERT_TRUE(ok);
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScanBackup WHERE \"upDate\"=2 AND class='ALARM'")), QStringList({"AL_OIL_LOW=3001"}));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM sourceScanBackup WHERE \"upDate\"=1")).size(), 9u);
}

// Every failure leaves the tables exactly as they were and adds no backup.
class FailedScan : public HeaderScan {
protected:
    void SetUp() override {
        HeaderScan::SetUp();
        writeBase();
        ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
        before = nameIds(QStringLiteral("SELECT * FROM sourceScan"));
        beforeFile = testsupport::readFile(db);
        log.lines.clear();
    }
    void expectUnchanged() {
        EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan")), before);
        EXPECT_EQ(rows(QStringLiteral("SELECT name FROM sqlite_master WHERE name='sourceScanBackup'")).size(), 0u);
        EXPECT_TRUE(testsupport::readFile(db) == beforeFile) << "the database file is written";
    }
    QStringList before;
    QByteArray beforeFile;
};

TEST_F(FailedScan, MissingFileStopsTheScan) {
    QFile::remove(path("global.h"));
    EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("   Scan file ") + path("global.h"),
                                      QStringLiteral("      ") + path("global.h") + QStringLiteral(" not found")}));
    expectUnchanged();
}

TEST_F(FailedScan, BadGroupIsShownAndStopsTheScan) {
    writeHeaders(kGlobal, kLibrary,
                 dataContainer(QStringLiteral("  ENGINE_SPEED,\n  LAST_VARIABL\n"), kBaseAlarms, kBaseParameters));
    EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    ASSERT_EQ(answerer.shown().size(), 1u);
    EXPECT_EQ(answerer.shown()[0].text, QStringLiteral("Error in grouping dc-nums \r\nFIRST_VARIABLE / LAST_VARIABL"));
    EXPECT_EQ(log.lines.last(), QStringLiteral("      Error in grouping dc-nums FIRST_VARIABLE / LAST_VARIABL"));
    expectUnchanged();
}

TEST_F(FailedScan, ExpressionThatCannotBeEvaluatedIsReportedWithFileAndLine) {
    writeHeaders(kGlobal + QStringLiteral("// scanStart: global constants\n#define BAD_ONE (MAX_CYL / 0)\n#define BAD_TWO NOWHERE+1\n"),
                 kLibrary, dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters));
    EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("      global.h line 8: cannot evaluate BAD_ONE: division by zero")));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("      global.h line 9: cannot evaluate BAD_TWO: NOWHERE is not found in DB")));
    // The other files are still read, so that every fault shows in one run.
    EXPECT_TRUE(log.lines.contains(QStringLiteral("   Scan file ") + path("dataContainer.h")));
    expectUnchanged();
}

TEST_F(FailedScan, FileEndingInsideAnEnumerationIsReported) {
    write("library.h", QStringLiteral("// scanStart: global types\ntypedef enum\n{\n  DLY_ON_1,\n"));
    EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("      library.h line 4: the file ends inside an enumeration")));
    expectUnchanged();
    // Nothing of the broken file reaches the next scan.
    write("library.h", kLibrary);
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan")), before);
}

TEST_F(FailedScan, ArrayWithoutAnEndIsReported) {
    writeHeaders(kGlobal, kLibrary, QStringLiteral("// scanStart: global variables\ntypedef enum\n{\n  FIRST_X = 5000,\n  LAST_X,\n  TAIL_N // * n\n}\n// scanEnd\n"));
    EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_EQ(log.lines.last(), QStringLiteral("      Array TAIL_N is the last symbol: its number of elements is unknown"));
    expectUnchanged();
}

const QString kUnclosed = QStringLiteral(
    "the scan section reaches the end of the file without \"// scanEnd\" "
    "(the file may be cut short; every scan section must end with a line \"// scanEnd\")");
const QString kNul = QStringLiteral("the line holds a NUL byte: the file is no plain-text header");

TEST_F(FailedScan, AFileWithoutASectionOrASectionWithoutASymbolStopsTheScan) {
    const struct {
        const char* file;
        QString text;
        QString reported;
    } cases[] = {
        {"dataContainer.h", dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters).replace(QLatin1String("// scanStart"), QLatin1String("// scan start")),
         QStringLiteral("      dataContainer.h: the file has no scan section (no line begins with \"// scanStart\")")},
        {"global.h", QString(), QStringLiteral("      global.h: the file has no scan section (no line begins with \"// scanStart\")")},
        {"library.h", QStringLiteral("// scanStart: global types\n// scanEnd\n"),
         QStringLiteral("      library.h line 1: the scan section yields no symbol")},
        // Cut short: the last line half a define, and the section without its end.
        {"global.h", kGlobal.left(kGlobal.indexOf(QLatin1String("#define PARAMETER_OFFSET")) + 3),
         QStringLiteral("      global.h line 2: ") + kUnclosed},
        {"dataContainer.h", dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters).chopped(11),
         QStringLiteral("      dataContainer.h line 19: ") + kUnclosed},
        // A NUL byte in a name and in a comment: no symbol is cut at it.
        {"dataContainer.h", dataContainer(QStringLiteral("  VAR_C") + QChar(u'\0') + QStringLiteral("OM_00007,\n") + kBaseVariables,
                                          kBaseAlarms, kBaseParameters),
         QStringLiteral("      dataContainer.h line 5: ") + kNul},
        {"library.h", QString(kLibrary).replace(QLatin1String("; delay 2"), QStringLiteral("; del") + QChar(u'\0') + QStringLiteral("ay 2")),
         QStringLiteral("      library.h line 5: ") + kNul},
    };
    for (const auto& c : cases) {
        writeBase();
        write(c.file, c.text);
        log.lines.clear();
        EXPECT_FALSE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan"))) << c.file;
        EXPECT_TRUE(log.lines.contains(c.reported)) << c.file << ": " << log.lines.join(QLatin1Char('|')).toStdString();
        expectUnchanged();
    }
}

// Header files as other editors save them read like the plain ones.
TEST_F(HeaderScan, MarkAndLineEndsOfOtherEditorsGiveTheSameSymbols) {
    writeBase();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    const QStringList plain = nameIds(QStringLiteral("SELECT * FROM sourceScan"));
    const QString texts[] = {kGlobal, kLibrary, dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters)};
    const char* const files[] = {"global.h", "library.h", "dataContainer.h"};
    const struct {
        const char* what;
        QByteArray (*save)(QByteArray);
    } editors[] = {
        {"UTF-8 with a byte-order mark", [](QByteArray b) { return "\xEF\xBB\xBF" + b; }},
        {"CR line ends", [](QByteArray b) { return b.replace('\n', '\r'); }},
        {"CR LF line ends, the last line without one", [](QByteArray b) { return b.replace("\n", "\r\n").chopped(2); }},
    };
    for (const auto& e : editors) {
        for (int i = 0; i < 3; ++i) {
            QFile f(path(files[i]));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(e.save(texts[i].toUtf8()));
        }
        log.lines.clear();
        EXPECT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan"))) << e.what << ": " << log.lines.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(nameIds(QStringLiteral("SELECT * FROM sourceScan")), plain) << e.what;
        EXPECT_EQ(rows(QStringLiteral("SELECT * FROM sourceScan WHERE \"upDate\"<>1 AND class IN ('PARAMETER','VARIABLE','ALARM')")).size(), 0u)
            << e.what;
    }
}

TEST_F(HeaderScan, NoComparedSymbolsFinishesWithoutReport) {
    writeHeaders(kGlobal, kLibrary, QStringLiteral("// scanStart: global constants\n#define DC_ONLY 1\n// scanEnd\n"));
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_EQ(log.lines.last(), QStringLiteral("   Compare scan with previous scanned symbols"));
    EXPECT_EQ(log.progress, 0.0f);
}

TEST_F(HeaderScan, HeaderNamesFromAWindowsTreeAreFoundWhateverTheirCase) {
    writeHeaders(kGlobal, kLibrary, QString());
    QFile::remove(path("dataContainer.h"));
    write("DATACONTAINER.H", dataContainer(kBaseVariables, kBaseAlarms, kBaseParameters));
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("   Scan file ") + path("DATACONTAINER.H")));
}

TEST_F(HeaderScan, OldLayoutModuleColumnIsFilled) {
    {
        auto d = dao::OpenDatabase(db, false, false);
        d->Execute(QStringLiteral("ALTER TABLE sourceScan ADD COLUMN module TEXT(10)"));
        d->Close();
    }
    writeBase();
    ASSERT_TRUE(g_scanHeaderFiles(log, db, QStringLiteral("sourceScan")));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM sourceScan WHERE module IS NOT 'PXM'")).size(), 0u);
}

}  // namespace

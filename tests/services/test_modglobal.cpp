#include "cfgtestdb.h"
#include "desktop/runtimeerror.h"
#include "services/modglobal.h"
#include "testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <map>

using namespace modGlobal;
using cfgtest::count;
using cfgtest::exec;
using cfgtest::makeDb;

namespace {

const QString kCylinderWarning =
    "Number of required cylinders for engine operation is not defined in database.\rUsing 3 as default value.";

class ModGlobal : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        g_configDbPath = dir.filePath("KELB-3817 Update Tool-Config.mdb");
        g_qtmMode = g_bzmMode = false;
    }
    void TearDown() override {
        g_rsMiscellaneous.reset();
        g_rsAliasSymbolName.reset();
        g_rsMessages.reset();
        g_qtmMode = g_bzmMode = false;
    }

    // A configuration database with the given items, two aliases and two messages.
    void makeConfig(const std::map<QString, QString>& items, bool withMessages = true) {
        QStringList sql = {"CREATE TABLE miscellaneous (item TEXT COLLATE NOCASE, value TEXT COLLATE NOCASE)",
                           "CREATE TABLE aliasSymbolName (aliasName TEXT COLLATE NOCASE, symbolName TEXT COLLATE NOCASE)",
                           "INSERT INTO aliasSymbolName VALUES ('DC_HULL', 'PAR_SWINFO_HULL_NO')",
                           "INSERT INTO aliasSymbolName VALUES ('DC_NULL', NULL)"};
        if (withMessages)
            sql << "CREATE TABLE messages (MessageID INTEGER, MessageText TEXT COLLATE NOCASE, VEDR_Text TEXT, "
                   "DARVO_Text TEXT, okButton BOOLEAN)"
                << "INSERT INTO messages VALUES (1, 'Really continue?', 'vedr text', 'darvo text', 0)"
                << "INSERT INTO messages VALUES (2, NULL, NULL, NULL, -1)";
        makeDb(g_configDbPath, sql);
        for (const auto& [item, value] : items)
            exec(g_configDbPath, "INSERT INTO miscellaneous (item, value) VALUES (?, ?)", {item, value});
    }
    // Items that keep g_iniGlobals free of its warning.
    static std::map<QString, QString> quiet(std::map<QString, QString> items) {
        items.emplace("numRequiredCylinders", "4");
        return items;
    }

    QTemporaryDir dir;
    testsupport::ScriptedAnswerer answers;
    cfgtest::ErrorRecorder errors;
};

TEST(ModGlobalConversions, DecimalAndHexItemTexts) {
    const std::pair<const char*, qint32> decimals[] = {
        {"", 0}, {"abc", 0}, {"12abc", 12}, {" 42 ", 42}, {"-7", -7}, {"2.5", 2}, {"3.5", 4}, {"1e3", 1000},
        {"2147483647", 2147483647}, {"-", 0}, {".5x", 0}};
    for (const auto& [text, value] : decimals) EXPECT_EQ(decimalValue(text), value) << text;
    const std::pair<const char*, qint32> hexes[] = {{"7F", 0x7F},       {"10100", 0x10100}, {"a0000", 0xA0000},
                                                    {"", 0},            {"xyz", 0},         {"12G", 0x12},
                                                    {"FFFFFFFF", -1},   {"0000010100", 0x10100}};
    for (const auto& [text, value] : hexes) EXPECT_EQ(hexValue(text), value) << text;
    EXPECT_THROW(decimalValue("2147483648"), RuntimeError);
    EXPECT_THROW(hexValue("100000000"), RuntimeError);
}

TEST_F(ModGlobal, IniGlobalsReadsTheSymbolNumbers) {
    makeConfig(quiet({{"GLB_CAN_MODULE_STATE_RO", "101"}, {"GLB_CAN_MODULE_STATE_RW", "102"},
                      {"GLB_CAN_SW_UPDATE_STATE_RO", "103"}, {"GLB_CAN_SW_UPDATE_FAILURE_RO", "104"},
                      {"GLB_ENG_STSTILL", "105"}, {"PAR_CRC_FIRST_APPLICATION", "106"}, {"PAR_TOT_NO_OF_CYL", "107"},
                      {"PAR_SWINFO_BUILD", "108"}, {"PAR_SWINFO_DEVELOPER_NO", "109"}, {"PAR_SWINFO_HULL_NO", "110"},
                      {"PAR_AUTO_DOWNLD_ACTIVATE", "111"}, {"GLB_CRC_VALUE_IMO", "112"}, {"GLB_CRC_LEN_IMO", "abc"},
                      {"GLB_CRC_VALUE_APPLICATION", "114"}}));
    g_symCrcLenApplication = 99;
    g_symSwInfoEngineType = 0;
    ASSERT_TRUE(g_iniGlobals());
    const qint32 got[] = {g_symModuleStateRO, g_symModuleStateRW, g_symSwUpdateStateRO, g_symSwUpdateFailureRO,
                          g_symEngStandstill, g_symCrcFirstApplication, g_symTotNoOfCyl, g_symSwInfoBuild,
                          g_symSwInfoDeveloperNo, g_symSwInfoHullNo, g_symAutoDownloadActivate, g_symCrcValueImo};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(got[i], 101 + i);
    EXPECT_EQ(g_symCrcLenImo, 0);          // "abc"
    EXPECT_EQ(g_symCrcValueApplication, 114);
    EXPECT_EQ(g_symCrcLenApplication, 0);  // missing
    EXPECT_EQ(g_symSwInfoEngineType, 0);   // not a start-up setting
    EXPECT_EQ(g_numRequiredCylinders, 4);
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModGlobal, RequiredCylindersMissingOrMinusOneWarnsAndUsesThree) {
    struct Case {
        const char* stored;  // nullptr = missing
        int answer;
        qint16 expected;
        bool warns;
    };
    const Case cases[] = {{nullptr, Dialogs::vbOK, 3, true}, {"-1", Dialogs::vbCancel, 3, true},
                          {"0", 0, 0, false}, {"6", 0, 6, false}};
    for (const auto& c : cases) {
        TearDown();
        QFile::remove(g_configDbPath);
        std::map<QString, QString> items;
        if (c.stored) items["numRequiredCylinders"] = c.stored;
        makeConfig(items);
        answers.clear();
        if (c.warns) answers.push(c.answer);
        ASSERT_TRUE(g_iniGlobals());
        EXPECT_EQ(g_numRequiredCylinders, c.expected) << (c.stored ? c.stored : "missing");
        ASSERT_EQ(answers.shown().size(), c.warns ? 1u : 0u);
        if (c.warns) {
            EXPECT_EQ(answers.shown()[0].text, kCylinderWarning);
            EXPECT_EQ(answers.shown()[0].title, "WARNING");
            EXPECT_EQ(answers.shown()[0].style & 7, Dialogs::vbOKCancel);
        }
    }
}

TEST_F(ModGlobal, ForceFpgaDownloadIsYesInAnyCaseAndNeverInQtmOrBzm) {
    struct Case {
        const char* stored;
        bool qtm, bzm, expected;
    };
    const Case cases[] = {{nullptr, false, false, true}, {"YES", false, false, true}, {"yes", false, false, true},
                          {"true", false, false, false}, {"1", false, false, false},  {"no", false, false, false},
                          {"yes", true, false, false},   {"yes", false, true, false}, {nullptr, true, false, false}};
    for (const auto& c : cases) {
        TearDown();
        QFile::remove(g_configDbPath);
        std::map<QString, QString> items = quiet({});
        if (c.stored) items["forceFPGAdownload"] = c.stored;
        makeConfig(items);
        g_qtmMode = c.qtm;
        g_bzmMode = c.bzm;
        ASSERT_TRUE(g_iniGlobals());
        EXPECT_EQ(g_forceFPGAdownload, c.expected) << (c.stored ? c.stored : "missing") << c.qtm << c.bzm;
    }
}

TEST_F(ModGlobal, BootloaderProtectionNeverDropsToZero) {
    struct Case {
        const char* stored;  // nullptr = missing
        qint32 bl1, bl2;
    };
    const Case cases[] = {{nullptr, 0x10100, 0x30000}, {"10100", 0x10100, 0x10100}, {"20000", 0x20000, 0x20000},
                          {"", 0x10100, 0x30000},      {"  ", 0x10100, 0x30000},    {"0", 0x10100, 0x30000},
                          {"zz", 0x10100, 0x30000}};
    for (const auto& c : cases) {
        TearDown();
        QFile::remove(g_configDbPath);
        std::map<QString, QString> items = quiet({});
        if (c.stored) items["ADDRESS_PROTECTION_BL1"] = c.stored;
        if (c.stored) items["ADDRESS_PROTECTION_BL2"] = c.stored;
        makeConfig(items);
        g_addressProtectionBL1 = g_addressProtectionBL2 = 0;
        ASSERT_TRUE(g_iniGlobals());
        EXPECT_EQ(g_addressProtectionBL1, c.bl1) << (c.stored ? c.stored : "missing");
        EXPECT_EQ(g_addressProtectionBL2, c.bl2);
    }
}

TEST_F(ModGlobal, AConfigurationThatCannotBeOpenedIsToldToStartUp) {
    ASSERT_FALSE(QFile::exists(g_configDbPath));
    EXPECT_FALSE(g_iniGlobals());
    ASSERT_EQ(answers.shown().size(), 1u);  // one box, not one per record set
    EXPECT_EQ(answers.shown()[0].text,
              QString("Error in opening database: modDataBase g_iniRecordset \rCould not find file '%1'.").arg(g_configDbPath));
    EXPECT_EQ(answers.shown()[0].title, QString("DB-Name: %1 / ReadOnly: No").arg(g_configDbPath));
    EXPECT_FALSE(g_rsMiscellaneous);

    // A look-up on the unset record set is a run-time error, not a crash.
    EXPECT_EQ(g_getMiscItem("canDevice", "USBCompact"), "");
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].object, "modGlobal");
    EXPECT_EQ(errors.errors[0].procedure, "g_getMiscItem");
    EXPECT_EQ(errors.errors[0].number, 91);
}

TEST_F(ModGlobal, AMissingTableFailsStartUpButEmptyTablesDoNot) {
    makeConfig(quiet({}), false);
    EXPECT_FALSE(g_iniGlobals());
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_TRUE(answers.shown()[0].text.startsWith(
        QString("Error in opening record set: modDataBase g_iniRecordset \rDB-Name: %1\r"
                "SQL-Query: SELECT * FROM messages ORDER BY MessageID\r")
            .arg(g_configDbPath)));
    EXPECT_TRUE(g_rsMiscellaneous);
    EXPECT_FALSE(g_rsMessages);

    TearDown();
    answers.clear();
    exec(g_configDbPath, "CREATE TABLE messages (MessageID INTEGER, MessageText TEXT, VEDR_Text TEXT, "
                         "DARVO_Text TEXT, okButton BOOLEAN)");
    exec(g_configDbPath, "DELETE FROM aliasSymbolName");
    EXPECT_TRUE(g_iniGlobals());
    EXPECT_TRUE(answers.shown().empty());
}

TEST_F(ModGlobal, MiscItemValuesDefaultsAndYesNo) {
    makeConfig(quiet({{"canDevice", "ipci165"}, {"blockTransfer", "Yes"}, {"empty", ""}, {"it's", "quoted"}}));
    exec(g_configDbPath, "INSERT INTO miscellaneous (item, value) VALUES ('nullValue', NULL)");
    ASSERT_TRUE(g_iniGlobals());
    EXPECT_EQ(g_getMiscItem("canDevice", "USBCompact"), "ipci165");
    EXPECT_EQ(g_getMiscItem("it's"), "quoted");
    EXPECT_EQ(g_getMiscItem("nullValue", "x"), "");
    EXPECT_EQ(g_getMiscItem("baudrateMBus", 125), "125");
    EXPECT_EQ(g_getMiscItem("missing"), "");
    EXPECT_EQ(g_getMiscItem("missing", true), "True");
    EXPECT_EQ(g_getMiscItem("blockTransfer", QVariant(), true), "-1");
    EXPECT_EQ(g_getMiscItem("canDevice", QVariant(), true), "0");
    EXPECT_EQ(g_getMiscItem("missing", "YES", true), "-1");
    EXPECT_EQ(g_getMiscItem("missing", "no", true), "0");
    EXPECT_EQ(g_getMiscItem("missing", QVariant(), true), "0");
    EXPECT_EQ(count(g_configDbPath, "SELECT * FROM miscellaneous"), 6);  // reads create nothing
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModGlobal, ReverseLookUpTakesTheFirstItemInItemOrder) {
    makeConfig(quiet({{"zeta", "v1"}, {"appl_2", "v1"}, {"beta", "v2"}}));
    ASSERT_TRUE(g_iniGlobals());
    EXPECT_EQ(g_getMiscItemRev("v1"), "appl_2");
    EXPECT_EQ(g_getMiscItemRev("v2", "none"), "beta");
    EXPECT_EQ(g_getMiscItemRev("v3", "none"), "none");
    EXPECT_EQ(g_getMiscItemRev("v3"), "");
}

TEST_F(ModGlobal, SetMiscItemWritesAtOnceAndAddsNothing) {
    makeConfig(quiet({{"programFilePath", "C:\\old"}}));
    ASSERT_TRUE(g_iniGlobals());
    g_setMiscItem("programFilePath", "D:\\it's new");
    EXPECT_EQ(g_getMiscItem("programFilePath"), "D:\\it's new");
    EXPECT_EQ(count(g_configDbPath, "SELECT * FROM miscellaneous WHERE item='programFilePath' AND value=?",
                    {"D:\\it's new"}),
              1);
    g_setMiscItem("notThere", "x");
    EXPECT_EQ(count(g_configDbPath, "SELECT * FROM miscellaneous"), 2);
    EXPECT_EQ(g_getMiscItem("notThere", "dflt"), "dflt");
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModGlobal, SymbolNames) {
    makeConfig(quiet({}));
    ASSERT_TRUE(g_iniGlobals());
    EXPECT_EQ(g_getSymbolName("DC_HULL"), "PAR_SWINFO_HULL_NO");
    EXPECT_EQ(g_getSymbolName("DC_NULL"), "");
    EXPECT_TRUE(answers.shown().empty());

    EXPECT_EQ(g_getSymbolName("DC_MISSING"), "");
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "The symbol-name for DC_MISSING is not defined in the config-database!");
    EXPECT_EQ(answers.shown()[0].title, "ERROR");
}

TEST_F(ModGlobal, SetSymbolNameAddsOnlyMissingAliases) {
    makeConfig(quiet({}));
    ASSERT_TRUE(g_iniGlobals());
    EXPECT_FALSE(g_setSymbolName("DC_HULL", "OTHER"));
    EXPECT_EQ(g_getSymbolName("DC_HULL"), "PAR_SWINFO_HULL_NO");

    EXPECT_TRUE(g_setSymbolName("DC_CRC_FIRST_APPLICATION", "PAR_CRC_FIRST_APPLICATION"));
    EXPECT_EQ(g_getSymbolName("DC_CRC_FIRST_APPLICATION"), "PAR_CRC_FIRST_APPLICATION");
    EXPECT_FALSE(g_setSymbolName("DC_CRC_FIRST_APPLICATION", "X"));
    EXPECT_EQ(count(g_configDbPath, "SELECT * FROM aliasSymbolName WHERE aliasName=? AND symbolName=?",
                    {"DC_CRC_FIRST_APPLICATION", "PAR_CRC_FIRST_APPLICATION"}),
              1);
    EXPECT_TRUE(answers.shown().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ModGlobal, UserMessages) {
    makeConfig(quiet({}));
    ASSERT_TRUE(g_iniGlobals());
    EXPECT_EQ(g_getUserMessage(1), "Really continue?");
    EXPECT_EQ(g_getUserMessage(2), "");
    EXPECT_EQ(g_getUserMessage(-5), "");
    EXPECT_EQ(g_getUserMessage(77), "Application Mode Specific Message text not found in database: 77");
    // A caller's own wording stands in for a missing row only.
    EXPECT_EQ(g_getUserMessage(77, "own wording"), "own wording");
    EXPECT_EQ(g_getUserMessage(1, "own wording"), "Really continue?");
    EXPECT_TRUE(answers.shown().empty());
}

TEST(ModGlobalWindows, IsLoadedByNameTagAndVisibility) {
    QWidget first, second, other;
    first.setObjectName("frmMessage2");
    first.setProperty("tag", "A");
    second.setObjectName("frmMessage2");
    second.setProperty("tag", "B");
    other.setObjectName("frmOther");
    EXPECT_FALSE(g_isLoaded("frmMessage2", "", true));

    g_registerWindow(&first);
    g_registerWindow(&second);
    g_registerWindow(&first);  // registered once
    g_registerWindow(&other);
    second.show();
    EXPECT_FALSE(g_isLoaded("frmMessage2"));           // the first match is hidden
    EXPECT_TRUE(g_isLoaded("frmMessage2", "", true));
    EXPECT_TRUE(g_isLoaded("frmMessage2", "B"));
    EXPECT_FALSE(g_isLoaded("frmMessage2", "C", true));
    EXPECT_FALSE(g_isLoaded("FRMMESSAGE2", "", true));  // names compare exactly

    g_unregisterWindow(&first);
    EXPECT_TRUE(g_isLoaded("frmMessage2"));
    g_unregisterWindow(&second);
    EXPECT_FALSE(g_isLoaded("frmMessage2", "", true));
    {
        QWidget gone;
        gone.setObjectName("frmGone");
        g_registerWindow(&gone);
        EXPECT_TRUE(g_isLoaded("frmGone", "", true));
    }
    EXPECT_FALSE(g_isLoaded("frmGone", "", true));  // a destroyed window is no longer loaded
    g_unregisterWindow(&other);
}

TEST(ModGlobalFiles, LastModifiedDateOrTheZeroDate) {
    QTemporaryDir dir;
    const QString path = dir.filePath("PXM_DATA.S19");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("S0\r\n");
    f.flush();
    const QDateTime when(QDate(2023, 4, 5), QTime(6, 7, 8));
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    f.close();
    EXPECT_EQ(g_getFileDateLastModified(path), when);
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    EXPECT_EQ(g_getFileDateLastModified(dir.filePath("missing.S19")), zero);
    EXPECT_EQ(g_getFileDateLastModified(dir.path()), zero);
    EXPECT_EQ(g_getFileDateLastModified(""), zero);
}

}  // namespace

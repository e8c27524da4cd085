// The command-line switches, the folder of the configuration database and the flash base
// addresses, each as a table of cases.
#include "mainwindow/startupswitches.h"

#include "desktop/runtimeerror.h"
#include "services/modglobal.h"

#include <QDir>
#include <gtest/gtest.h>
#include <map>

using namespace startupSwitches;

struct ModeCase {
    const char* line;
    const char* kind;
    bool qtm, bzm, update, debug, develop;
};

TEST(StartupSwitches, AreFoundAnywhereInTheLineWithCaseAndInTheirOrder) {
    const ModeCase cases[] = {
        {"", "PXM", false, false, true, false, false},
        {"/qtm", "PXM", false, false, true, false, false},  // lower case is not the switch
        {"/QTM", "QTM", true, false, false, false, false},
        {"/BZM", "BZM", false, true, false, false, false},
        {"/BZM /QTM", "QTM", true, false, false, false, false},  // QTM wins, BZM is not tested
        {"x/QTMy", "QTM", true, false, false, false, false},     // also inside a longer word
        {"/debug /develop", "PXM", false, false, true, true, true},
        {"/debugger", "PXM", false, false, true, true, false},
        {"/Debug /DEVELOP", "PXM", false, false, true, false, false},
    };
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.line);
        const Modes m = readModes(QString::fromLatin1(c.line));
        EXPECT_EQ(m.moduleKind, c.kind);
        EXPECT_EQ(m.qtmMode, c.qtm);
        EXPECT_EQ(m.bzmMode, c.bzm);
        EXPECT_EQ(m.updateMode, c.update);
        EXPECT_EQ(m.debugMode, c.debug);
        EXPECT_EQ(m.develop, c.develop);
    }
    EXPECT_TRUE(hasSwitch("a/noCanb", "/noCan"));
    EXPECT_FALSE(hasSwitch("/nocan", "/noCan"));
}

TEST(StartupSwitches, AreNotTakenFromTheFolderOfTheDbValue) {
    const struct {
        const char* line;
        const char* kind;
        bool develop, noCan, ide;
    } cases[] = {
        {"/db=/srv/develop/site", "PXM", false, false, false},
        {"/db=/srv/QTM/noCan/IDE", "PXM", false, false, false},
        {"/db=/home/x/BZM_develop /debug", "PXM", false, false, false},
        {"/db=/srv/develop /develop /QTM", "QTM", true, false, false},  // the switches after the value count
        {"/noCan /IDE /db=/srv/site /BZM", "BZM", false, true, true},    // and those before it
        {"/db=site/develop /develop", "PXM", true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QString line = QString::fromLatin1(c.line);
        const Modes m = readModes(line);
        EXPECT_EQ(m.moduleKind, c.kind);
        EXPECT_EQ(m.develop, c.develop);
        EXPECT_EQ(hasSwitch(line, "/noCan"), c.noCan);
        EXPECT_EQ(hasSwitch(line, "/IDE"), c.ide);
    }
    // The value itself is still the folder.
    EXPECT_EQ(configDbDir("/db=/srv/develop/site", "/opt/kelb"), QDir::toNativeSeparators("/srv/develop/site/"));
}

TEST(StartupSwitches, TheDbValueNamesAFolderOrIsIgnored) {
    const QString prog = QDir::toNativeSeparators("/opt/kelb");
    const QChar s = QDir::separator();
    const QString dev = developmentRoot();
    const struct {
        QString line;
        QString dir;
    } cases[] = {
        {"", prog + s},
        {"/debug", prog + s},
        {"/db=site1", prog + s},                             // a bare name without "/IDE" is ignored
        {"/db=site1 /IDE", dev + "site1" + s},               // under "/IDE" a folder of the development tree
        {"/IDE /db=  site1  ", dev + "site1" + s},           // blanks around the value are removed
        {"/db=cfg" + QString(s) + "sub /debug", "cfg" + QString(s) + "sub" + s},   // a relative folder
        {"/db=" + QDir::toNativeSeparators("/data/cfg") + " /debug", QDir::toNativeSeparators("/data/cfg") + s},
        {"/db=" + QDir::toNativeSeparators("/data/cfg") + s + " /QTM", QDir::toNativeSeparators("/data/cfg") + s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(configDbDir(c.line, "/opt/kelb"), c.dir);
    }
    EXPECT_TRUE(dev.endsWith(s));
}

TEST(StartupSwitches, AWindowsFolderInTheDbValueBecomesANativeFolder) {
    if (QDir::separator() != QLatin1Char('/')) GTEST_SKIP();
    EXPECT_EQ(configDbDir("/db=cfg\\site1 /debug", "/opt/kelb"), "cfg/site1/");
}

TEST(StartupSwitches, BaseAddressesComeFromTheLayoutsItemOrTheBuiltInAddress) {
    std::map<QString, QString> items;
    const ItemReader read = [&](const QString& item) { return items.count(item) ? items[item] : QString("0"); };
    const struct {
        const char* stem;
        qint32 big, small;
    } builtIn[] = {{"baseAdrDC_", 0x60000, 0xC0000}, {"baseAdrFPGA_", 0x30000, 0xD0000}, {"baseAdrAppl_", 0x100000, 0x30000}};
    for (const auto& b : builtIn) {
        SCOPED_TRACE(b.stem);
        items.clear();
        EXPECT_EQ(baseAddress(b.stem, true, read), b.big);
        EXPECT_EQ(baseAddress(b.stem, false, read), b.small);
        items[QString(b.stem) + "smallMem"] = "0";
        EXPECT_EQ(baseAddress(b.stem, false, read), b.small);
        items[QString(b.stem) + "smallMem"] = "A0000";
        items[QString(b.stem) + "bigMem"] = "a0000";
        EXPECT_EQ(baseAddress(b.stem, false, read), 0xA0000);
        EXPECT_EQ(baseAddress(b.stem, true, read), 0xA0000);
        EXPECT_EQ(baseAddress(b.stem, true, [](const QString&) { return QString("xyz"); }), b.big);  // no number
    }
}

TEST(StartupSwitches, HexAndTruthValuesReadAsTheSettingsHoldThem) {
    EXPECT_EQ(modGlobal::hexValue("10100"), 0x10100);
    EXPECT_EQ(modGlobal::hexValue("7Fzz"), 0x7F);
    EXPECT_EQ(modGlobal::hexValue(""), 0);
    EXPECT_EQ(modGlobal::hexValue("FFFFFFFF"), -1);
    EXPECT_THROW(modGlobal::hexValue("100000000"), RuntimeError);
    EXPECT_TRUE(truthValue("1"));
    EXPECT_TRUE(truthValue("-1"));
    EXPECT_TRUE(truthValue("True"));
    EXPECT_FALSE(truthValue("0"));
    EXPECT_FALSE(truthValue("false"));
    EXPECT_THROW(truthValue("yes"), RuntimeError);
}

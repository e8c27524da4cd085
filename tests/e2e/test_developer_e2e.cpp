// The developer's windows as the engineer opens them: the program in its own process on a
// virtual display, started with "/QTM /develop" against the simulated site, the builder
// and the hardware info-block repair opened through their menus with the keyboard; the
// header files scanned and the data container built with the builder's buttons.
#include "sitefixture.h"
#include "virtualdisplay.h"

#include "config/siteconfig.h"
#include "dao/dao.h"
#include "dcbuilder/bintables.h"
#include "dcfixture/dcfixture.h"
#include "services/srecord.h"

#include <QDir>
#include <QFile>

using namespace e2e;

namespace {
// A small data container whose image the header scan changes: the software version and
// the data-container version come from the headers, the variable and the alarm from the
// scanned symbols.
void makeDataContainer(const QString& siteDir) {
    const QString db = QDir(siteDir).filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-001.mdb"));
    dcfixture::makeDatabase(db);
    {
        auto d = dao::OpenDatabase(db, false, false);
        dcBinTables::g_createTables(*d);
        d->Close();
    }
    const auto step = [&](const char* table, int n, const char* content, const char* value, int width,
                          const char* cls = "", const char* loops = "", int gotoStep = 0) {
        dcfixture::insertRow(db, QString::fromLatin1(table),
                             {{"step", n}, {"content", content}, {"value", value}, {"noOfBytes", width}, {"loops", loops},
                              {"goto", gotoStep}, {"class", cls}, {"varGroup", ""}});
    };
    step("dcBinFile", 1, "swVersion", "DC_SWINFO_SW_VERSION", 4);
    step("dcBinFile", 2, "value", "TABLE", 2, "VARIABLE", "1", 2);
    step("dcBinFile", 3, "applVersion", "APPL_VERSION", 2);
    step("dcBinFile", 4, "dcVersion", "7", 1);
    step("alarmBinFile", 1, "criterion", "TABLE", 1, "ALARM");
    dcfixture::writeHeaderSet(siteDir);
    // The site's aliases of the special entries, as every real site has them; the simulated
    // site holds only the one of the application CRC.
    auto config = dao::OpenDatabase(QDir(siteDir).filePath(simconfig::configDbName()), false, false);
    config->Execute(QStringLiteral("DELETE FROM aliasSymbolName WHERE aliasName='DC_CRC_FIRST_APPLICATION'"));
    dcfixture::insertAliases(*config);
    config->Close();
}
}  // namespace

TEST_F(SiteTest, TheDeveloperOpensTheBuilderAndTheRepairThroughTheMenus) {
    startSite("qtm", 2);
    // The site in a folder of its own: the repair's templates lie beside it.
    QTemporaryDir root;
    QString siteDir;
    ASSERT_NO_FATAL_FAILURE(writeSiteBesideTemplates(root.path(), siteDir));
    makeDataContainer(siteDir);

    VirtualDisplay display;
    ASSERT_TRUE(display.start()) << "no virtual display (Xvfb)";
    QTemporaryDir runtime;
    QProcess loader;
    ASSERT_TRUE(display.startProgram(loader, runtime.path(), {"/QTM", "/develop", "/db=" + siteDir}));
    const auto running = [&] { return loader.state() != QProcess::NotRunning; };
    const QString shots = qEnvironmentVariable("KELB_GRAB_DIR", runtime.path());
    const auto shown = [&](const QString& title, int ms) { return display.shownWindow(title, loader, ms); };

    QString main = shown(QStringLiteral("for QTM$"), 20000);
    ASSERT_FALSE(main.isEmpty()) << loader.readAll().toStdString();
    // The about box of the start-up closes itself after 5 s.
    waitFor([&] { return display.window(QStringLiteral("^About ")).isEmpty(); }, 10000);

    ASSERT_TRUE(display.keys(main, {"alt+d", "b"}));
    const QString builder = shown(QStringLiteral("^Data Container Builder$"), 10000);
    EXPECT_FALSE(builder.isEmpty()) << loader.readAll().toStdString();
    ASSERT_FALSE(builder.isEmpty());
    // The builder opens on its build tab; the wheel over the tab bar turns to the next tab.
    // Scan Header-Files at (120 + 5880 + 1320, 1080 + 480 + 247) twips, Build 720 lower.
    const int tabX = 40, tabY = 54, buttonX = 488, scanY = 120, buildY = 168;
    ASSERT_TRUE(display.click(builder, tabX, tabY, 5));
    ASSERT_TRUE(display.click(builder, buttonX, scanY));
    const QString scanned = QDir(siteDir).filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-002.mdb"));
    EXPECT_TRUE(waitFor([&] { return QFile::exists(scanned) || !running(); }, 15000)) << "the scan saved no new version";
    display.grab(QDir(shots).filePath(QStringLiteral("developer_scan.png")));
    // Back to the build tab, which selects the newest version.
    ASSERT_TRUE(display.click(builder, tabX, tabY, 4));
    ASSERT_TRUE(display.click(builder, buttonX, buildY));
    const QString s19 = QDir(siteDir).filePath(QStringLiteral("PXM_DATA.S19"));
    EXPECT_TRUE(waitFor([&] { return QFile::exists(s19) || !running(); }, 15000)) << "BUILD DC wrote no PXM_DATA.S19";
    display.grab(QDir(shots).filePath(QStringLiteral("developer_builder.png")));
    QByteArray image;
    qint32 start = 0;
    EXPECT_TRUE(modDownload::g_sRecToBin(s19, image, start));
    EXPECT_EQ(start, 0xC0000);
    // Software version 12 in BCD, ENGINE_SPEED 0, APPL_VERSION 12, data-container version 9
    // from the headers; then the alarm part: AL_OIL_LOW's criterion 3.
    EXPECT_EQ(image.toHex(), QByteArray("00000012" "0000" "000c" "09" "03"));

    // The last item of the Tools menu is the repair.
    ASSERT_TRUE(display.keys(main, {"alt+t", "Up", "Return"}));
    const QString repair = shown(QStringLiteral("^Repair HW InfoBlock$"), 10000);
    EXPECT_FALSE(repair.isEmpty()) << loader.readAll().toStdString();
    display.grab(QDir(shots).filePath(QStringLiteral("developer_repair.png")));

    // Exit at (9960 + 660, 1425 + 187) twips of the 572 pixels high area under the menu bar.
    const int height = display.height(main);
    ASSERT_GT(height, 572);
    ASSERT_TRUE(display.click(main, 708, height - 572 + 107));
    const bool ended = waitFor([&] { return !running(); }, 15000);
    if (!ended) {
        loader.kill();
        loader.waitForFinished(3000);
    }
    EXPECT_TRUE(ended) << "the process still runs after Exit";
}

// The developer's windows as the engineer opens them: the program in its own process on a
// virtual display, started with "/QTM /develop" against the simulated site, the builder
// and the hardware info-block repair opened through their menus with the keyboard.
#include "sitefixture.h"
#include "virtualdisplay.h"

#include "config/siteconfig.h"
#include "dcfixture/dcfixture.h"

#include <QDir>
#include <QFile>

using namespace e2e;

TEST_F(SiteTest, TheDeveloperOpensTheBuilderAndTheRepairThroughTheMenus) {
    startSite("qtm", 2);
    // The site in a folder of its own: the repair's templates lie beside it.
    QTemporaryDir root;
    const QString siteDir = QDir(root.path()).filePath(QStringLiteral("site"));
    ASSERT_TRUE(QDir().mkpath(siteDir));
    QString error;
    ASSERT_TRUE(simconfig::writeSite(siteDir, site, &error)) << error.toStdString();
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("PXM_Templates")));
    QFile templ(QDir(root.path()).filePath(QStringLiteral("PXM_Templates/HWInfoBlockVersion07.bin")));
    ASSERT_TRUE(templ.open(QIODevice::WriteOnly));
    templ.write(QByteArray(312, '\0'));
    templ.close();
    dcfixture::makeDatabase(QDir(siteDir).filePath(QStringLiteral("KELB-3817 Update Tool-PXM-DC-001.mdb")));

    VirtualDisplay display;
    ASSERT_TRUE(display.start()) << "no virtual display (Xvfb)";
    QTemporaryDir runtime;
    QProcess loader;
    ASSERT_TRUE(display.startProgram(loader, runtime.path(), {"/QTM", "/develop", "/db=" + siteDir}));
    const auto running = [&] { return loader.state() != QProcess::NotRunning; };
    const QString shots = qEnvironmentVariable("KELB_GRAB_DIR", runtime.path());
    const auto shown = [&](const QString& title, int ms) {
        QString id;
        waitFor([&] {
            id = display.window(title);
            return !id.isEmpty() || !running();
        }, ms);
        return id;
    };

    QString main = shown(QStringLiteral("for QTM$"), 20000);
    ASSERT_FALSE(main.isEmpty()) << loader.readAll().toStdString();
    // The about box of the start-up closes itself after 5 s.
    waitFor([&] { return display.window(QStringLiteral("^About ")).isEmpty(); }, 10000);

    ASSERT_TRUE(display.keys(main, {"alt+d", "b"}));
    const QString builder = shown(QStringLiteral("^Data Container Builder$"), 10000);
    EXPECT_FALSE(builder.isEmpty()) << loader.readAll().toStdString();
    display.grab(QDir(shots).filePath(QStringLiteral("developer_builder.png")));

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

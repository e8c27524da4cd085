// The program as the engineer runs it: its own process on a virtual display, against the
// simulated site of this test's bus, closed with a click on its Exit button.
#include "sitefixture.h"
#include "virtualdisplay.h"

#include <QProcess>

using namespace e2e;


TEST_F(SiteTest, ExitWhileTheStartUpAboutBoxIsUpEndsTheProcess) {
    startSite("qtm", 0);
    VirtualDisplay display;
    ASSERT_TRUE(display.start()) << "no virtual display (Xvfb)";

    QTemporaryDir runtime;
    QProcess loader;
    ASSERT_TRUE(display.startProgram(loader, runtime.path(), {"/QTM", "/develop", "/db=" + dir.path()}));
    const auto running = [&] { return loader.state() != QProcess::NotRunning; };

    // The about box closes itself after 5 s; the Exit button is pressed while it is up.
    QString about, main;
    ASSERT_TRUE(waitFor([&] {
        about = display.window(QStringLiteral("^About "));
        return !about.isEmpty() || !running();
    }, 20000)) << "no about box";
    ASSERT_FALSE(about.isEmpty()) << loader.readAll().toStdString();
    main = display.window(QStringLiteral("for QTM$"));
    ASSERT_FALSE(main.isEmpty());
    // Exit at (9960 + 660, 1425 + 187) twips of the 572 pixels high area under the menu bar.
    const int height = display.height(main);
    ASSERT_GT(height, 572);
    ASSERT_TRUE(display.click(main, 708, height - 572 + 107));

    // The window goes at once; the process must go with it, not stay behind without one.
    EXPECT_TRUE(waitFor([&] { return display.window(QStringLiteral("for QTM$")).isEmpty(); }, 5000));
    const bool ended = waitFor([&] { return !running(); }, 10000);
    if (!ended) {
        loader.kill();
        loader.waitForFinished(3000);
    }
    EXPECT_TRUE(ended) << "the process still runs after Exit";
    EXPECT_EQ(loader.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(loader.exitCode(), 0) << loader.readAll().toStdString();
}

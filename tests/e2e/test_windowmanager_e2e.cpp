// The program in its own process on a virtual display with a window manager (openbox), as
// the engineer's desktop runs it: the title bar's close button during a download, and the
// repair's module list worked with the mouse.
#include "sitefixture.h"
#include "virtualdisplay.h"
#include "xclient.h"

#include "config/loadfiles.h"
#include "lib/pxmbootloaders.h"
#include "lib/pxmmodules.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

using namespace e2e;
using sim::PxmModule;

namespace {
// The main window's client area below its menu bar is 572 pixels high (8580 twips).
constexpr int kClientHeight = 572;

QByteArray siteApplication(const char* kind, int section) {
    for (const simconfig::LoadFile& f : simconfig::loadFiles(kind))
        if (f.section == section) return simconfig::image(f);
    return QByteArray();
}
}  // namespace

class WindowManagerTest : public SiteTest {
protected:
    // The display, its window manager and the program on the site's folder.
    void startProgram(const QStringList& args) {
        ASSERT_TRUE(display.start()) << "no virtual display (Xvfb)";
        ASSERT_TRUE(display.startWindowManager()) << "no window manager (openbox)";
        ASSERT_TRUE(display.startProgram(loader, runtime.path(), args));
    }
    bool running() const { return loader.state() != QProcess::NotRunning; }
    QString shown(const QString& title, int ms) { return display.shownWindow(title, loader, ms); }
    // The main window, once the start-up's about box has closed itself.
    QString mainWindow(const QString& title) {
        const QString main = shown(title, 20000);
        if (main.isEmpty()) return main;
        waitFor([&] { return display.window(QStringLiteral("^About ")).isEmpty(); }, 10000);
        return main;
    }
    // A point of the main window's client area given in twips.
    bool clickMain(const QString& main, int xTwips, int yTwips) {
        const int menu = display.height(main) - kClientHeight;
        return menu >= 0 && display.click(main, xTwips / 15, menu + yTwips / 15);
    }
    void TearDown() override {
        if (running()) {
            loader.kill();
            loader.waitForFinished(3000);
        }
        SiteTest::TearDown();
    }

    VirtualDisplay display;
    QTemporaryDir runtime;
    QProcess loader;
};

// The close button during a BZM download, which the window manager offers whatever the
// window asks: the request is ignored, the download ends, the module runs its new program
// and the window is still there; once the command has ended, the close ends the program.
TEST_F(WindowManagerTest, AClosingDuringADownloadIsIgnoredAndTheDownloadEnds) {
    // A slow bus, so that the download is still on its way when the request comes.
    startSite("bzm", 0, {"--bitrate", "10000"});
    const QByteArray image = siteApplication("BZM", 2);
    ASSERT_FALSE(image.isEmpty());
    ASSERT_NE(bootloaders->image(0, 2), image);
    startProgram({"/BZM", "/develop", "/db=" + dir.path()});
    // The window is made anew when its close item goes: asked for by its title each time.
    const auto main = [&] { return display.window(QStringLiteral("for BZM$")); };
    ASSERT_FALSE(mainWindow(QStringLiteral("for BZM$")).isEmpty()) << loader.readAll().toStdString();

    // Module 0's "To program" box, the Application row, then Download.
    ASSERT_TRUE(clickMain(main(), 120 + 1680 + 30 + 90, 60 + 1200 + 127));
    ASSERT_TRUE(clickMain(main(), 120 + 120, 2280 + 150));
    ASSERT_TRUE(clickMain(main(), 9960 + 660, 120 + 187));
    ASSERT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Bootloader || !running(); }, 15000))
        << loader.readAll().toStdString();
    // Some window managers keep the close button whatever the window asks (openbox does).
    ASSERT_TRUE(waitFor([&] { return display.allowedActions(main()).contains("_NET_WM_ACTION_CLOSE"); }, 5000))
        << display.allowedActions(main()).toStdString();
    ASSERT_TRUE(requestClose(display.displayName(), main()));
    // The rest of the download at full speed.
    QTimer::singleShot(1000, [&] { simulator.setBitRate(0); });
    // The question at the end of the download: restart the application, Yes.
    const QString question = shown(QStringLiteral("QUESTION"), 120000);
    ASSERT_FALSE(question.isEmpty()) << "the download did not come to its end: " << loader.readAll().toStdString();
    display.grab(QDir(qEnvironmentVariable("KELB_GRAB_DIR", runtime.path())).filePath(QStringLiteral("close_ignored.png")));
    EXPECT_TRUE(running());
    EXPECT_FALSE(main().isEmpty());
    ASSERT_TRUE(display.keys(question, {"alt+y"}));
    EXPECT_TRUE(waitFor([&] { return display.window(QStringLiteral("QUESTION")).isEmpty(); }, 10000));
    EXPECT_TRUE(waitFor([&] { return modules->mode(0) == PxmModule::Mode::Application; }, 15000));
    EXPECT_EQ(bootloaders->image(0, 2), image);
    EXPECT_TRUE(running());

    // Once the command has ended (its last checks may still run), the close button ends
    // the program as Exit does: asked again until then.
    bool ended = false;
    for (int asked = 0; asked < 20 && !ended; ++asked) {
        requestClose(display.displayName(), main());
        ended = waitFor([&] { return !running(); }, 2000);
    }
    EXPECT_TRUE(ended) << "the process still runs after the close";
}

// The repair's module list worked with the mouse under the window manager: a module picked
// in the open list is read, which starts its bootloader (a QTM's without the engine
// question); the next pick reads the next one.
TEST_F(WindowManagerTest, AModulePickedWithTheMouseInTheRepairListIsRead) {
    startSite("qtm", 2);
    // The site in a folder of its own: the repair's templates lie beside it.
    QTemporaryDir root;
    QString siteDir;
    ASSERT_NO_FATAL_FAILURE(writeSiteBesideTemplates(root.path(), siteDir));
    startProgram({"/QTM", "/develop", "/db=" + siteDir});
    const QString main = mainWindow(QStringLiteral("for QTM$"));
    ASSERT_FALSE(main.isEmpty()) << loader.readAll().toStdString();
    // The last item of the Tools menu is the repair.
    ASSERT_TRUE(display.keys(main, {"alt+t", "Up", "Return"}));
    const QString repair = shown(QStringLiteral("^Repair HW InfoBlock$"), 10000);
    ASSERT_FALSE(repair.isEmpty()) << loader.readAll().toStdString();
    const QString shots = qEnvironmentVariable("KELB_GRAB_DIR", runtime.path());
    // The list at (260, 22) of the window; open, it lays its entries 22 pixels apart with
    // the entry shown over the closed list.
    const auto pick = [&](int shownRow, int row) {
        if (!display.click(repair, 260, 22)) return false;
        waitFor([] { return false; }, 1500);
        return display.click(repair, 150, 24 + 22 * (row - shownRow));
    };
    ASSERT_TRUE(pick(0, 3));  // entries "---", "0", "1", "2"
    EXPECT_TRUE(waitFor([&] { return modules->mode(2) == PxmModule::Mode::Bootloader; }, 10000)) << "module 2 was not read";
    waitFor([] { return false; }, 1000);
    display.grab(QDir(shots).filePath(QStringLiteral("repair_picked.png")));

    ASSERT_TRUE(pick(3, 2));
    EXPECT_TRUE(waitFor([&] { return modules->mode(1) == PxmModule::Mode::Bootloader; }, 10000)) << "module 1 was not read";
    waitFor([] { return false; }, 1000);
    display.grab(QDir(shots).filePath(QStringLiteral("repair_picked_again.png")));
    EXPECT_EQ(modules->mode(0), PxmModule::Mode::Application);
}

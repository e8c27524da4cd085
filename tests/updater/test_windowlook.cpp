// The update window inside the main window, as the engineer sees it at each step. The
// pictures go to $KELB_GRAB_DIR when it is set (to look at them), else to a temporary folder.
#include "runfixture.h"

#include "mainwindow/frmmain.h"
#include "updater/updaterinstall.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

using namespace runtest;

namespace {

class WindowLook : public WiredRunTest {
protected:
    void SetUp() override {
        WiredRunTest::SetUp();
        shots = qEnvironmentVariable("KELB_GRAB_DIR", dir.path());
        QDir().mkpath(shots);
    }
    void shoot(const QString& name) {
        const QPixmap pm = main->grab();
        ASSERT_FALSE(pm.isNull());
        ASSERT_TRUE(pm.save(QDir(shots).filePath(name + ".png")));
    }
    QString shots;
};

TEST_F(WindowLook, TheUpdateWindowSitsBesideTheManualPartAndEveryControlLiesInside) {
    UpdateWindow& v = wired->window();
    QWidget* client = main->clientArea();
    EXPECT_TRUE(client->rect().contains(v.geometry())) << "update window outside the main window";
    EXPECT_GE(v.x(), main->lstMessage->geometry().right());
    for (QWidget* c : v.findChildren<QWidget*>()) {
        if (c->parentWidget() == nullptr || c->isHidden()) continue;
        EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << c->metaObject()->className();
    }
    shoot("00-start");
}

TEST_F(WindowLook, EachStepAsTheEngineerSeesIt) {
    site.duringDownload = [&] { shoot("download"); };
    int shot = 1;
    int last = -1;
    UpdateWindow& v = wired->window();
    // Each step as it begins, and each prompt before it is answered.
    runUntil([&] {
        if (wired->step() != last) {
            last = wired->step();
            shoot(QStringLiteral("%1-step%2").arg(shot++, 2, 10, QChar('0')).arg(last));
        }
        if (!v.timCyclic.isEnabled() && !v.cmdOk->isHidden()) shoot(QStringLiteral("%1-prompt").arg(shot++, 2, 10, QChar('0')));
        return wired->step() == 11 && !v.timCyclic.isEnabled();
    });
    EXPECT_EQ(wired->step(), 11);
    shoot(QStringLiteral("%1-done").arg(shot, 2, 10, QChar('0')));
}

}  // namespace

namespace {

TEST_F(WindowLook, AFailedDownloadShowsItsRedFieldTextAndTheInstructionButton) {
    site.downloadFails = {2};
    ASSERT_TRUE(runUntil([&] { return !wired->window().cmdOpenReport->isHidden(); }));
    UpdateWindow& v = wired->window();
    EXPECT_EQ(v.cmdOpenReport->text(), "Open Instruction");
    EXPECT_TRUE(v.fraUserInformation->rect().contains(v.cmdOpenReport->geometry()));
    EXPECT_EQ(v.txtUserInfo->toPlainText(), "T72 PXM #02");
    EXPECT_FALSE(v.cmdExitUpdater->isHidden());
    shoot("failed-download");
}

// The red ends of the load-file and CRC checks: the step field names the cause.
TEST_F(WindowLook, ARejectedLoadFile) {
    UpdateWindow& v = wired->window();
    writeLoadFile(loadFilePath(), "VEDR PXM-20 application");
    ASSERT_TRUE(runUntil([&] { return wired->updateFailed() && !v.timCyclic.isEnabled(); }));
    EXPECT_EQ(v.txtStep[4]->text(), "Load File Rejected");
    shoot("load-file-rejected");
}

TEST_F(WindowLook, AWrongApplicationAfterTheUpdate) {
    UpdateWindow& v = wired->window();
    site.installedCrc = 0x3333;
    ASSERT_TRUE(runUntil([&] { return wired->updateFailed() && !v.timCyclic.isEnabled(); }));
    EXPECT_EQ(v.txtStep[10]->text(), "Wrong Application");
    shoot("wrong-application");
}

}  // namespace

namespace {

// On a service laptop's screen (1280 x 800) the main window with the update window opens
// inside the work area; it can be made smaller than its design size, its content then
// scrolls, and every control can still be scrolled into view. The pictures are kept.
TEST_F(WindowLook, OnALaptopScreenTheWindowFitsAndEveryControlStaysReachable) {
    const QRect area = testsupport::workArea();
    ASSERT_EQ(area.size(), QSize(1280, 800));
    QWidget* client = main->clientArea();
    ASSERT_EQ(client->size(), QSize(1360, 572)) << "the two parts side by side, at their design places";
    EXPECT_TRUE(area.contains(main->frameGeometry())) << "the window opens inside the work area";
    auto* page = qobject_cast<QScrollArea*>(main->centralWidget());
    ASSERT_NE(page, nullptr);
    QCoreApplication::processEvents();
    EXPECT_LE(main->minimumSizeHint().width(), 640);
    EXPECT_LE(main->minimumSizeHint().height(), 480);
    EXPECT_TRUE(testsupport::unreachable(page).isEmpty()) << testsupport::unreachable(page).join(", ").toStdString();
    EXPECT_TRUE(testsupport::keepGrab(main.get(), QStringLiteral("main-window-update-1280x800")));

    // Smaller than its design size: scroll bars, and the Finish button and logo still reachable.
    main->resize(900, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(main->size(), QSize(900, 500));
    EXPECT_TRUE(page->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(testsupport::unreachable(page).isEmpty()) << testsupport::unreachable(page).join(", ").toStdString();
    UpdateWindow& v = wired->window();
    page->ensureWidgetVisible(v.cmdExitUpdater, 0, 0);
    EXPECT_TRUE(page->viewport()->rect().contains(v.cmdExitUpdater->geometry().translated(
        v.cmdExitUpdater->parentWidget()->mapTo(page->viewport(), QPoint(0, 0)))));
    EXPECT_TRUE(testsupport::keepGrab(main.get(), QStringLiteral("main-window-update-900x500")));
}

}  // namespace

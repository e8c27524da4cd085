// The update window inside the main window, as the engineer sees it at each step. The
// pictures go to $KELB_GRAB_DIR when it is set (to look at them), else to a temporary folder.
#include "runfixture.h"

#include "mainwindow/frmmain.h"
#include "updater/updaterinstall.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

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
    QWidget* client = main->centralWidget();
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

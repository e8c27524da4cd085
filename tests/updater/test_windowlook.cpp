// The update window inside the main window, as the engineer sees it at each step. The
// pictures go to $KELB_SHOTS when it is set (to look at them), else to a temporary folder.
#include "runfixture.h"

#include "mainwindow/frmmain.h"
#include "updater/updaterinstall.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace runtest;

namespace {

class WindowLook : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        makeConfig({61});
        main = std::make_unique<frmMain>();
        main->setProgramFile(QDir(dir.path()).filePath("pxmloader"));
        r = &updater::install(*main);
        // The program's own wiring places the window; the modules are the test's.
        r->showUpdater();
        updateModulesLink::install(&site);
        shots = qEnvironmentVariable("KELB_SHOTS", dir.path());
        QDir().mkpath(shots);
    }
    void TearDown() override {
        updater::uninstall();
        main.reset();
        RunTest::TearDown();
    }
    void shoot(const QString& name) {
        const QPixmap pm = main->grab();
        ASSERT_FALSE(pm.isNull());
        ASSERT_TRUE(pm.save(QDir(shots).filePath(name + ".png")));
    }
    std::unique_ptr<frmMain> main;
    UpdateRun* r = nullptr;
    QString shots;
};

TEST_F(WindowLook, TheUpdateWindowSitsBesideTheManualPartAndEveryControlLiesInside) {
    UpdateWindow& v = r->window();
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
    for (int i = 0; i < 400; ++i) {
        UpdateWindow& v = r->window();
        if (r->step() != last) {
            last = r->step();
            shoot(QStringLiteral("%1-step%2").arg(shot++, 2, 10, QChar('0')).arg(last));
        }
        if (!v.timCyclic.isEnabled()) {
            if (v.cmdOk->isHidden()) break;
            shoot(QStringLiteral("%1-prompt").arg(shot++, 2, 10, QChar('0')));
            v.cmdOk->click();
        }
        drain(*r);
        r->tick();
    }
    EXPECT_EQ(r->step(), 11);
    shoot(QStringLiteral("%1-done").arg(shot, 2, 10, QChar('0')));
}

}  // namespace

#include "mainwindowfixture.h"

#include <QAction>

using mwtest::MainWindowTest;

TEST_F(MainWindowTest, TheDcBuilderMenuOpensTheBuilderOnTheProgramFileDirectory) {
    w->txtFileDirectory->setText(QStringLiteral("/data/plant"));
    w->mnuBuildDC->trigger();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], QStringLiteral("g_show /data/plant"));
}

#include "desktop/desktopservices.h"

#include <QMainWindow>
#include <gtest/gtest.h>

TEST(DesktopServices, RemovingTheCloseItemKeepsTheWindowShownWithItsOtherButtons) {
    QMainWindow w;
    w.show();
    desktop::removeCloseItem(&w);
    EXPECT_TRUE(w.isVisible());
    const Qt::WindowFlags f = w.windowFlags();
    EXPECT_FALSE(f.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(f.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(f.testFlag(Qt::WindowMinimizeButtonHint));
    desktop::removeCloseItem(&w);  // for good: a second call changes nothing
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(DesktopServices, ALauncherReceivesEveryRequestInsteadOfTheSystem) {
    std::vector<std::pair<desktop::Action, QString>> seen;
    desktop::setLauncher([&](desktop::Action a, const QString& t) {
        seen.emplace_back(a, t);
        return false;
    });
    EXPECT_FALSE(desktop::openMail("mailto:someone@example.com"));
    EXPECT_FALSE(desktop::openInTextEditor("/tmp/Instruction.txt"));
    EXPECT_FALSE(desktop::printLines({"a", "b"}));
    EXPECT_FALSE(desktop::openDocument("/tmp/report.pdf"));
    desktop::setLauncher({});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].second, "mailto:someone@example.com");
    EXPECT_EQ(seen[1].first, desktop::Action::OpenInTextEditor);
    EXPECT_EQ(seen[2].second, "a\nb");
    EXPECT_EQ(seen[3].first, desktop::Action::OpenDocument);
    EXPECT_EQ(seen[3].second, "/tmp/report.pdf");
}

#include "desktop/desktopservices.h"
#include "testsupport.h"

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

TEST(DesktopServices, InstalledServicesReceiveEveryRequestInsteadOfTheSystem) {
    std::vector<std::pair<testsupport::DesktopAction, QString>> seen;
    {
        testsupport::DesktopRecorder recorder;
        recorder.result = false;
        EXPECT_FALSE(desktop::openMail("mailto:someone@example.com"));
        EXPECT_FALSE(desktop::openInTextEditor("/tmp/Instruction.txt"));
        EXPECT_FALSE(desktop::printLines({"a", "b"}));
        EXPECT_FALSE(desktop::openDocument("/tmp/report.pdf"));
        seen = recorder.seen;
    }
    EXPECT_FALSE(desktop::servicesLink::installed());
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].second, "mailto:someone@example.com");
    EXPECT_EQ(seen[1].first, testsupport::DesktopAction::OpenInTextEditor);
    EXPECT_EQ(seen[2].second, "a\nb");
    EXPECT_EQ(seen[3].first, testsupport::DesktopAction::OpenDocument);
    EXPECT_EQ(seen[3].second, "/tmp/report.pdf");
}

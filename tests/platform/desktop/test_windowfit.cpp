// A window fitted to its scrolling page follows the page when it grows after the window
// was shown, as the main window does when the update window joins its controls.
#include "desktop/windowfit.h"

#include <QMainWindow>
#include <QScrollArea>
#include <QWidget>
#include <gtest/gtest.h>

TEST(WindowFit, AShownWindowFollowsItsPageWhenThePageGrows) {
    QMainWindow window;
    auto* page = new QWidget;
    page->setFixedSize(500, 300);
    window.setCentralWidget(windowFit::scrollingPage(page, &window));
    windowFit::fitToContent(&window);
    window.show();
    EXPECT_EQ(window.size(), QSize(500, 300));

    page->setFixedSize(900, 400);
    windowFit::fitToContent(&window);
    EXPECT_EQ(window.size(), QSize(900, 400));
}

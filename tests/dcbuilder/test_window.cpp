// The builder window as the engineer sees it: every tab drawn, after a build. Set
// KELB_GRAB_DIR to keep the pictures for a look.
#include "builderfixture.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>

TEST_F(BuilderTest, EveryTabOfTheWindowIsDrawn) {
    makeDc(dcName(1));
    addInfoEntries(dcName(1));
    builder().g_show(dir.path());
    builder().cmdBuild_Click();
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    for (int tab = 0; tab < 4; ++tab) {
        builder().tabAction->setCurrentIndex(tab);
        const QPixmap shot = builder().grab();
        EXPECT_EQ(shot.size(), builder().size());
        EXPECT_TRUE(builder().fraAction[std::size_t(tab + 1)]->isVisible());
        if (tab == 1) {
            EXPECT_EQ(builder().txtEngineType->text(), QStringLiteral("RT-flex"));
        }
        if (!keep.isEmpty()) shot.save(QDir(keep).filePath(QStringLiteral("dcbuilder-tab%1.png").arg(tab + 1)));
    }
    EXPECT_EQ(builder().windowTitle(), QStringLiteral("Data Container Builder"));
    if (!keep.isEmpty()) dcfixture::writeFile(QDir(keep).filePath(QStringLiteral("dcbuilder-log.txt")), log().join(QLatin1Char('\n')));
}

TEST_F(BuilderTest, ALogOfAHundredThousandLinesKeepsThemAndShowsTheNewest) {
    makeDc(dcName(1));
    builder().g_show(dir.path());
    constexpr int kLines = 100000;
    for (int i = 0; i < kLines; ++i) builder().addMessage(QStringLiteral("line %1").arg(i));
    builder().addMessage(QStringLiteral("two\rpieces"));
    QListWidget* list = builder().lstMessage;
    ASSERT_EQ(list->count(), kLines + 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("line 0"));
    EXPECT_EQ(list->item(kLines - 1)->text(), QStringLiteral("line %1").arg(kLines - 1));
    EXPECT_EQ(list->item(kLines)->text(), QStringLiteral("two"));
    // Once the event loop runs again, the newest line is selected and in view.
    ASSERT_TRUE(testsupport::waitFor([&] { return list->currentRow() == kLines + 1; }, 10000)) << list->currentRow();
    const QRect newest = list->visualItemRect(list->item(kLines + 1));
    EXPECT_TRUE(list->viewport()->rect().contains(newest.center()));
    EXPECT_TRUE(list->item(kLines + 1)->isSelected());
    const QString keep = qEnvironmentVariable("KELB_GRAB_DIR");
    if (!keep.isEmpty()) builder().grab().save(QDir(keep).filePath(QStringLiteral("dcbuilder-longlog.png")));
}

// On a service laptop's screen the builder opens inside the work area at its design size;
// made smaller, its page scrolls and every control can still be scrolled into view.
TEST_F(BuilderTest, OnALaptopScreenTheWindowFitsAndEveryControlStaysReachable) {
    makeDc(dcName(1));
    builder().g_show(dir.path());
    const QRect area = testsupport::workArea();
    ASSERT_EQ(area.size(), QSize(1280, 800));
    EXPECT_TRUE(area.contains(builder().frameGeometry()));
    EXPECT_EQ(builder().size(), QSize(600, 580)) << "the design size fits the screen";
    EXPECT_EQ(builder().cmdExit->parentWidget()->size(), QSize(600, 580));
    auto* page = builder().findChild<QScrollArea*>();
    ASSERT_NE(page, nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(page->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(page->verticalScrollBar()->isVisible());
    EXPECT_TRUE(testsupport::keepGrab(&builder(), QStringLiteral("builder-1280x800")));

    EXPECT_LT(builder().minimumSizeHint().height(), 400);
    builder().resize(420, 360);
    QCoreApplication::processEvents();
    EXPECT_EQ(builder().size(), QSize(420, 360));
    EXPECT_TRUE(page->verticalScrollBar()->isVisible());
    EXPECT_TRUE(testsupport::unreachable(page).isEmpty()) << testsupport::unreachable(page).join(", ").toStdString();
    page->ensureWidgetVisible(builder().cmdExit, 0, 0);
    EXPECT_TRUE(testsupport::keepGrab(&builder(), QStringLiteral("builder-420x360")));
}

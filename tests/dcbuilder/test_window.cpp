// The builder window as the engineer sees it: every tab drawn, after a build. Set
// KELB_GRAB_DIR to keep the pictures for a look.
#include "builderfixture.h"

#include <QPixmap>

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

#include "dcdatabase/logwindow.h"

#include <gtest/gtest.h>

namespace {

TEST(LogWindow, MessageLinesSplitAtCarriageReturns) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"two\rwords", {"two", "words"}},
        {"", {}},
        {"one", {"one"}},
        {"a\r\nb", {"a", "\nb"}},
        {"end\r", {"end"}},
        {"\r\rx", {"", "", "x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(logWindow::messageLines(QString::fromLatin1(c.text)), c.lines) << c.text;
}

TEST(LogWindow, ProgressIsHeldBetweenZeroAndOne) {
    EXPECT_FLOAT_EQ(logWindow::progressValue(0.5f, 0.7f, true), 1.0f);
    EXPECT_FLOAT_EQ(logWindow::progressValue(0.5f, -3.0f, false), 0.0f);
    EXPECT_FLOAT_EQ(logWindow::progressValue(0.25f, 0.25f, true), 0.5f);
    EXPECT_FLOAT_EQ(logWindow::progressValue(0.9f, 0.3f, false), 0.3f);
}

}  // namespace

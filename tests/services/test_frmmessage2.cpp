#include "formfixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
using Msg = FormTest;

QStringList lines(const frmMessage2& w) {
    QStringList l;
    for (int i = 0; i < w.lstMessage->count(); ++i) l << w.lstMessage->item(i)->text();
    return l;
}
QColor listColour(const frmMessage2& w) { return w.lstMessage->palette().color(QPalette::Base); }
const QColor kRed(255, 128, 128);
}  // namespace

TEST_F(Msg, AddMessageSplitsAtCarriageReturnsOnly) {
    const struct { QString text; QStringList expected; } cases[] = {
        {QStringLiteral("A\rB\r"), {"A", "B"}},
        {QStringLiteral("A\r\rB"), {"A", "", "B"}},
        {QString(), {}},
        {QStringLiteral("A\r\nB"), {"A", "\nB"}},
    };
    frmMessage2& w = frmMessage2::instance();
    for (const auto& c : cases) {
        w.informationMsgBox(QString());
        w.addMessage(c.text);
        EXPECT_EQ(lines(w), c.expected) << c.text.toStdString();
        EXPECT_TRUE(w.lstMessage->selectedItems().isEmpty());
    }
}

TEST_F(Msg, AddMessageOpensAnUnloadedWindowAsInformationThatClosesAfterTenSeconds) {
    frmMessage2& w = frmMessage2::instance();
    ASSERT_FALSE(w.isLoaded());
    w.addMessage(QStringLiteral("bus set-up\rconverter 0"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(modGlobal::g_isLoaded(QStringLiteral("frmMessage2")));
    EXPECT_EQ(w.windowTitle(), "INFORMATION");
    EXPECT_FALSE(w.cmdOk->isHidden());
    EXPECT_TRUE(w.cmdYes->isHidden());
    EXPECT_FALSE(w.imgInformation->isHidden());
    EXPECT_TRUE(w.txtMessage->isHidden());
    EXPECT_EQ(lines(w), QStringList({"bus set-up", "converter 0"}));
    clock->advance(9999);
    EXPECT_TRUE(w.isVisible());
    clock->advance(1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isLoaded());
    EXPECT_FALSE(modGlobal::g_isLoaded(QStringLiteral("frmMessage2"), QString(), true));
}

TEST_F(Msg, UpdateModeLogsNothingEvenWhenTheWindowIsOpen) {
    frmMessage2& w = frmMessage2::instance();
    modGlobal::g_updateMode = true;
    w.addMessage(QStringLiteral("x"));
    EXPECT_FALSE(w.isLoaded());
    w.informationMsgBox(QStringLiteral("note"));
    w.addMessage(QStringLiteral("y"));
    // An information box asked for in update mode still shows its own text.
    EXPECT_EQ(lines(w), QStringList({"note"}));
}

TEST_F(Msg, EachMessageRestartsTheAutoCloseAndATouchStopsIt) {
    frmMessage2& w = frmMessage2::instance();
    w.informationMsgBox(QStringLiteral("a"), QString(), false, 1000);
    clock->advance(600);
    w.addMessage(QStringLiteral("b"));
    clock->advance(600);
    EXPECT_TRUE(w.isVisible());
    clock->advance(400);
    EXPECT_FALSE(w.isVisible());

    w.informationMsgBox(QStringLiteral("a"), QString(), false, 1000);
    w.lstMessage->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    clock->advance(5000);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Msg, ATickWhileHiddenLeavesTheWindowOpenUntilTheFirstTickAfterItIsShown) {
    frmMessage2& w = frmMessage2::instance();
    w.informationMsgBox(QStringLiteral("a"), QString(), false, 1000);
    w.hide();
    clock->advance(1000);
    EXPECT_TRUE(w.isLoaded());
    w.show();
    clock->advance(1000);
    EXPECT_FALSE(w.isLoaded());
}

TEST_F(Msg, ABoxOnAVisibleWindowStartsFreshAndOnAHiddenOneKeepsTheRedList) {
    frmMessage2& w = frmMessage2::instance();
    w.addMessage(QStringLiteral("a"));
    EXPECT_TRUE(w.errorSignal(true));
    EXPECT_EQ(listColour(w), kRed);
    w.hide();
    w.informationMsgBox(QStringLiteral("b"));
    EXPECT_EQ(listColour(w), kRed);
    EXPECT_EQ(lines(w), QStringList({"b"}));
    w.informationMsgBox(QStringLiteral("c"));  // visible now: unloaded first
    EXPECT_NE(listColour(w), kRed);
    EXPECT_EQ(lines(w), QStringList({"c"}));
}

TEST_F(Msg, ErrorSignalFalseOnlyReportsAndTheFlagLastsUntilTheNextBox) {
    frmMessage2& w = frmMessage2::instance();
    w.addMessage(QStringLiteral("a"));
    w.closeMsgBox(2000);
    EXPECT_FALSE(w.errorSignal(false));
    EXPECT_TRUE(w.errorSignal(true));
    clock->advance(5000);  // the marked log stays open
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.errorSignal(false));
    w.addMessage(QStringLiteral("b"));
    EXPECT_TRUE(w.errorSignal(false));
    w.informationMsgBox(QStringLiteral("c"));
    EXPECT_FALSE(w.errorSignal(false));
}

TEST_F(Msg, HideButtonsCutsTheButtonRowOffAndBringsItBack) {
    frmMessage2& w = frmMessage2::instance();
    w.addMessage(QStringLiteral("a"));
    w.hideButtons(true);
    EXPECT_GE(w.cmdOk->y(), w.height());
    EXPECT_GE(w.height(), w.lstMessage->geometry().bottom());
    w.hideButtons(false);
    EXPECT_LE(w.cmdOk->geometry().bottom(), w.height());
}

TEST_F(Msg, ErrorBoxShowsItsTextWithLineBreaksAndTheErrorIcon) {
    frmMessage2& w = frmMessage2::instance();
    w.errorMsgBox(QStringLiteral("first\rsecond"));
    EXPECT_EQ(w.windowTitle(), "ERROR");
    EXPECT_EQ(w.txtMessage->toPlainText(), "first\nsecond");
    EXPECT_TRUE(w.lstMessage->isHidden());
    EXPECT_FALSE(w.imgError->isHidden());
    EXPECT_TRUE(w.imgInformation->isHidden());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Msg, AModalInformationBoxClosesItselfAfterItsTime) {
    frmMessage2& w = frmMessage2::instance();
    bool topmost = false, visibleAfter = true;
    answers.pushForm([&](QDialog* f) {
        topmost = f->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        f->show();
        clock->advance(1000);
        visibleAfter = f->isVisible();
        return -1;
    });
    w.informationMsgBox(QStringLiteral("saved"), QStringLiteral("Note"), true, 1000);
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(visibleAfter);
    EXPECT_EQ(answers.shown().back().title, "Note");
}

TEST_F(Msg, QuestionAnswersWithTheFirstButtonAndATitleBarCloseNeverRepeatsAnEarlierYes) {
    frmMessage2& w = frmMessage2::instance();
    answers.pushForm([&](QDialog* f) {
        auto* m = static_cast<frmMessage2*>(f);
        EXPECT_EQ(m->windowTitle(), "QUESTION");
        EXPECT_EQ(m->cmdYes->text(), "Continue");
        EXPECT_EQ(m->cmdNo->text(), "Abort");
        EXPECT_FALSE(m->imgExclamation->isHidden());
        EXPECT_TRUE(m->imgQuestion->isHidden());
        EXPECT_TRUE(m->cmdOk->isHidden());
        EXPECT_TRUE(m->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        m->cmdYes->click();
        return -1;
    });
    EXPECT_TRUE(w.questionMsgBox(QStringLiteral("Go on?"), QString(), QStringLiteral("Continue"), QStringLiteral("Abort"), true));
    EXPECT_FALSE(w.isLoaded());

    answers.pushForm([](QDialog* f) {
        EXPECT_FALSE(static_cast<frmMessage2*>(f)->imgQuestion->isHidden());
        f->close();
        return -1;
    });
    EXPECT_FALSE(w.questionMsgBox(QStringLiteral("Again?"), QStringLiteral("Question"), QStringLiteral("Yes"), QStringLiteral("No"), false));
    EXPECT_EQ(w.m_yesFlag, 0);

    answers.pushForm([](QDialog* f) {
        static_cast<frmMessage2*>(f)->cmdNo->click();
        return -1;
    });
    EXPECT_FALSE(w.questionMsgBox(QStringLiteral("Third?"), QString(), QStringLiteral("Yes"), QStringLiteral("No"), false));
    EXPECT_EQ(w.m_noFlag, -1);
}

// Return presses the box's default button: OK in an information or error box, the first
// answer in a question, whichever control of the window has the focus.
TEST_F(Msg, ReturnPressesTheDefaultButton) {
    frmMessage2& w = frmMessage2::instance();
    const struct {
        const char* kind;
        int key;
    } cases[] = {{"information", Qt::Key_Return}, {"error", Qt::Key_Return}, {"question", Qt::Key_Return},
                 {"question", Qt::Key_Enter}, {"error", Qt::Key_Enter}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.key == Qt::Key_Return ? " Return" : " Enter"));
        const QString kind = QString::fromLatin1(c.kind);
        bool closed = false;
        answers.pushForm([&](QDialog* f) {
            auto* m = static_cast<frmMessage2*>(f);
            m->show();
            QWidget* focus = kind == "information" ? static_cast<QWidget*>(m->lstMessage) : m->txtMessage;
            focus->setFocus();
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QApplication::sendEvent(focus, &press);
            closed = !m->isVisible();
            return -1;
        });
        if (kind == "information") w.informationMsgBox(QStringLiteral("saved"), QString(), true);
        else if (kind == "error") w.errorMsgBox(QStringLiteral("failed"), QString(), true);
        else EXPECT_TRUE(w.questionMsgBox(QStringLiteral("Go on?"), QString(), QStringLiteral("Continue"), QStringLiteral("Abort"), false));
        EXPECT_TRUE(closed);
        EXPECT_EQ(kind == "question" ? w.m_yesFlag : w.m_okFlag, -1);
        EXPECT_FALSE(w.isLoaded());
    }
}

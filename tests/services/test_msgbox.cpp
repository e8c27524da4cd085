#include "formfixture.h"
#include "services/modmsgbox.h"

#include <QListWidget>
#include <functional>

namespace {
using Box = FormTest;
using namespace Dialogs;

// Answers every box with `button` and records what was asked and whether the message
// window was visible meanwhile.
struct Recorder : Answerer {
    int button = vbOK;
    Request last;
    bool windowVisible = false;
    Recorder() { answererLink::install(this); }
    ~Recorder() override { answererLink::install(nullptr); }
    Answer answer(const Request& r) override {
        last = r;
        const frmMessage2* w = frmMessage2::existing();
        windowVisible = w && w->isVisible();
        Answer a;
        a.button = button;
        return a;
    }
};
}  // namespace

TEST_F(Box, StylesDefaultTitlesAndAnswers) {
    Recorder rec;
    const struct {
        std::function<bool()> call;
        int answer;
        int style;
        QString title;
        bool result;
    } cases[] = {
        {[] { return modMsgBox::g_questionMsgBox("q?"); }, vbYes, 36, "QUESTION", true},
        {[] { return modMsgBox::g_questionMsgBox("q?", "Question"); }, vbNo, 36, "Question", false},
        {[] { return modMsgBox::g_warningMsgBox("w", "", false, vbOKCancel); }, vbOK, 305, "WARNING", true},
        {[] { return modMsgBox::g_warningMsgBox("w", "Warning", false, vbOKCancel); }, vbCancel, 305, "Warning", false},
        {[] { return modMsgBox::g_warningMsgBox("w", "", false, vbOKOnly); }, vbOK, 304, "WARNING", true},
        {[] { modMsgBox::g_errorMsgBox("e"); return false; }, vbOK, 16, "ERROR", false},
        {[] { modMsgBox::g_errMsgBox("PXM Loader is already running!"); return false; }, vbOK, 16, "ERROR", false},
        {[] { modMsgBox::g_informationMsgBox("i", "Info"); return false; }, vbOK, 64, "Info", false},
        {[] { modMsgBox::g_informationMsgBox("i"); return false; }, vbOK, 64, "INFORMATION", false},
    };
    int row = 0;
    for (const auto& c : cases) {
        rec.button = c.answer;
        EXPECT_EQ(c.call(), c.result) << "row " << row;
        EXPECT_EQ(rec.last.style, c.style) << "row " << row;
        EXPECT_EQ(rec.last.title, c.title) << "row " << row;
        ++row;
    }
}

TEST_F(Box, TheHideFlagHidesALoadedMessageWindowAndShowsItAgainAfterwards) {
    Recorder rec;
    frmMessage2& w = frmMessage2::instance();

    modMsgBox::g_errorMsgBox("not loaded", "", true);  // nothing to hide, nothing to show
    EXPECT_FALSE(w.isLoaded());
    EXPECT_FALSE(w.isVisible());

    w.addMessage("log");
    modMsgBox::g_questionMsgBox("visible", "", true);
    EXPECT_FALSE(rec.windowVisible);
    EXPECT_TRUE(w.isVisible());

    w.hide();
    rec.button = vbOK;
    modMsgBox::g_warningMsgBox("hidden before", "", true, vbOKOnly);
    EXPECT_TRUE(w.isVisible());

    modMsgBox::g_errorMsgBox("flag clear", "", false);
    EXPECT_TRUE(rec.windowVisible);
    modMsgBox::g_informationMsgBox("flag ignored", "", true);
    EXPECT_TRUE(rec.windowVisible);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(Box, InformationBox2OpensTheMessageWindowForAShortNote) {
    frmMessage2& w = frmMessage2::instance();
    modMsgBox::g_informationMsgBox2("saved\rdone", "", false, 1000);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "INFORMATION");
    EXPECT_EQ(w.lstMessage->count(), 2);
    clock->advance(1000);
    EXPECT_FALSE(w.isVisible());
}

#pragma once
// Shared set-up of the form tests: the virtual clock, a scripted answerer for every box
// and form, the desktop services recorded instead of started, and the message window
// back in its unloaded state.
#include "desktop/desktopservices.h"
#include "desktop/timeservice.h"
#include "services/errtrap.h"
#include "services/frmmessage2.h"
#include "services/modglobal.h"
#include "testsupport.h"

#include <QDialog>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

struct FormTest : ::testing::Test {
    testsupport::ScriptedAnswerer answers;
    testsupport::DesktopRecorder desktopRequests;
    std::vector<std::pair<testsupport::DesktopAction, QString>>& launched = desktopRequests.seen;
    bool& launchResult = desktopRequests.result;
    std::optional<testsupport::VirtualClockScope> clock;

    void SetUp() override {
        clock.emplace();
        modGlobal::g_updateMode = false;
        frmMessage2::instance().unload();
    }
    void TearDown() override {
        frmMessage2::instance().unload();
        ErrPtnr::errorHandlerLink::install(nullptr);
        processEndLink::install(nullptr);
        clock.reset();
    }

    // The message boxes shown so far (not the forms).
    std::vector<Dialogs::Request> boxes() const {
        std::vector<Dialogs::Request> v;
        for (const auto& r : answers.shown())
            if (r.kind == Dialogs::Kind::Message) v.push_back(r);
        return v;
    }
};

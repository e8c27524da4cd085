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
#include <utility>
#include <vector>

struct FormTest : ::testing::Test {
    testsupport::ScriptedAnswerer answers;
    std::vector<std::pair<desktop::Action, QString>> launched;
    bool launchResult = true;

    void SetUp() override {
        TimeService::useVirtualClock(true);
        modGlobal::g_updateMode = false;
        frmMessage2::instance().unload();
        desktop::setLauncher([this](desktop::Action a, const QString& target) {
            launched.emplace_back(a, target);
            return launchResult;
        });
    }
    void TearDown() override {
        frmMessage2::instance().unload();
        desktop::setLauncher({});
        ErrPtnr::setHandler({});
        ErrPtnr::setEndHook({});
        TimeService::useVirtualClock(false);
    }

    // The message boxes shown so far (not the forms).
    std::vector<Dialogs::Request> boxes() const {
        std::vector<Dialogs::Request> v;
        for (const auto& r : answers.shown())
            if (r.kind == Dialogs::Kind::Message) v.push_back(r);
        return v;
    }
};

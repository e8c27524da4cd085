#include "services/errtrap.h"
#include "desktop/runtimeerror.h"
#include "testsupport.h"

#include <gtest/gtest.h>

TEST(ErrTrap, AFailingStepReachesTheHandlerWithObjectProcedureAndNumber) {
    ErrPtnr::ErrorInfo seen;
    ErrPtnr::setHandler([&](const ErrPtnr::ErrorInfo& i) { seen = i; return ErrPtnr::Choice::Continue; });
    bool after = false;
    const bool ok = trap("modTest", "g_step", [] { throw RuntimeError(3021, "No current record."); });
    after = true;
    EXPECT_FALSE(ok);
    EXPECT_TRUE(after);
    EXPECT_EQ(seen.object, "modTest");
    EXPECT_EQ(seen.procedure, "g_step");
    EXPECT_EQ(seen.number, 3021);
    EXPECT_EQ(seen.description, "No current record.");
    ErrPtnr::setHandler({});
}

TEST(ErrTrap, EndRunsTheEndHookAndAnErrorInsideTheHandlerOpensNoSecondDialog) {
    int ends = 0, dialogs = 0;
    ErrPtnr::setEndHook([&] { ++ends; });
    ErrPtnr::setHandler([&](const ErrPtnr::ErrorInfo&) {
        ++dialogs;
        trap("frmErr", "inner", [] { throw std::runtime_error("again"); });
        return ErrPtnr::Choice::End;
    });
    trap("modTest", "outer", [] { throw std::runtime_error("first"); });
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(ends, 1);
    ErrPtnr::setHandler({});
    ErrPtnr::setEndHook({});
}

#include "services/errtrap.h"
#include "desktop/runtimeerror.h"
#include "errorlog.h"
#include "testsupport.h"

#include <gtest/gtest.h>

TEST(ErrTrap, AFailingStepReachesTheHandlerWithObjectProcedureAndNumber) {
    testsupport::ErrorLog log;
    bool after = false;
    const bool ok = trap("modTest", "g_step", [] { throw RuntimeError(3021, "No current record."); });
    after = true;
    EXPECT_FALSE(ok);
    EXPECT_TRUE(after);
    ASSERT_EQ(log.seen.size(), 1u);
    const ErrPtnr::ErrorInfo& seen = log.seen[0];
    EXPECT_EQ(seen.object, "modTest");
    EXPECT_EQ(seen.procedure, "g_step");
    EXPECT_EQ(seen.number, 3021);
    EXPECT_EQ(seen.description, "No current record.");
}

TEST(ErrTrap, EndRunsTheEndHookAndAnErrorInsideTheHandlerOpensNoSecondDialog) {
    int ends = 0;
    testsupport::EndCounter endCounter(ends);
    processEndLink::install(&endCounter);
    // A handler whose own dialog fails, and which then ends the program.
    struct FailingDialog : ErrPtnr::ErrorHandler {
        int dialogs = 0;
        ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo&) override {
            ++dialogs;
            trap("frmErr", "inner", [] { throw std::runtime_error("again"); });
            return ErrPtnr::Choice::End;
        }
    } handler;
    ErrPtnr::errorHandlerLink::install(&handler);
    trap("modTest", "outer", [] { throw std::runtime_error("first"); });
    EXPECT_EQ(handler.dialogs, 1);
    EXPECT_EQ(ends, 1);
    ErrPtnr::errorHandlerLink::install(nullptr);
    processEndLink::install(nullptr);
}

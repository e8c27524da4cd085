#pragma once
// Stand-ins for the central error handler and for the end of the process. Header only:
// the tests that use them link the services library anyway.
#include "services/errtrap.h"

#include <vector>

namespace testsupport {

// Appends every run-time error that reaches the central handler to `into` and answers
// "Continue"; install it through ErrPtnr::errorHandlerLink.
struct ErrorsInto : ErrPtnr::ErrorHandler {
    std::vector<ErrPtnr::ErrorInfo>* into = nullptr;
    ErrPtnr::Choice handle(const ErrPtnr::ErrorInfo& i) override {
        into->push_back(i);
        return ErrPtnr::Choice::Continue;
    }
};

// Records the run-time errors that reach the central handler while it lives and answers "Continue".
struct ErrorLog {
    std::vector<ErrPtnr::ErrorInfo> seen;
    ErrorsInto handler;
    ErrorLog() {
        handler.into = &seen;
        ErrPtnr::errorHandlerLink::install(&handler);
    }
    ~ErrorLog() { ErrPtnr::errorHandlerLink::install(nullptr); }
};

// Counts the program's ends in `ends` instead of ending the process; install it through
// processEndLink.
struct EndCounter : ProcessEnd {
    explicit EndCounter(int& counter) : ends(counter) {}
    int& ends;
    void endProcess() override { ++ends; }
};

}  // namespace testsupport

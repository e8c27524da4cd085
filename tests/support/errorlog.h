#pragma once
// Records the run-time errors that reach the central handler and answers "Continue".
// Header only: the tests that use it link the services library anyway.
#include "services/errtrap.h"

#include <vector>

namespace testsupport {

struct ErrorLog {
    std::vector<ErrPtnr::ErrorInfo> seen;
    ErrorLog() {
        ErrPtnr::setHandler([this](const ErrPtnr::ErrorInfo& i) { seen.push_back(i); return ErrPtnr::Choice::Continue; });
    }
    ~ErrorLog() { ErrPtnr::setHandler({}); }
};

}  // namespace testsupport

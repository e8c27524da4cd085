#pragma once
// Stands in for the CAN component's version class: the version it reports, or none at all.
// Header only: the tests that use it link the CAN interface anyway.
#include "caninterface/caninterface.h"

namespace testsupport {

struct CanComponentFake : CanComponent {
    double reported = 2.0;
    bool present = true;  // false: the version class cannot be created
    bool hasVersionClass() const override { return present; }
    double version() const override { return reported; }
};

}  // namespace testsupport

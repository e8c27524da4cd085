#pragma once
// The system information that the modules publish on request: what the update run must
// know before it decides anything. Values are kept as they arrive, in any order; each has
// a mark for "not received" so that the run can tell when the record is complete.
#include "can/systemsymbols.h"

struct SystemInfo : SystemValues {
    static constexpr int notDecided = 999;  // engine-type symbol count before it is known

    int engineTypeSymbols = notDecided;

    // Clears every value a read asks for; a decided engine-type count is kept when
    // keepEngineCount.
    void reset(bool keepEngineCount);
    // The engine-type count is decided: its text and parts start afresh.
    void decideEngineType(int symbols);
    bool complete() const;
};

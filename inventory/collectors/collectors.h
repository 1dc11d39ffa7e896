// The category collectors and the table that orders them into the inventory's four phases.
#pragma once

#include <vector>

#include "run/context.h"

namespace qv::inventory {

enum class Phase { OperatingSystem, Hardware, Network, Software };

struct CollectorEntry {
    Phase phase;
    const char* trace;        // debug trace after the collector (before it in the software phase)
    void (*run)(RunContext&);
};

// The category sequence, in driver order.
const std::vector<CollectorEntry>& collectorTable();

}  // namespace qv::inventory

// The per-computer inventory driver: connection, report header, the category sequence in four phases.
#pragma once

#include "run/context.h"

namespace qv::inventory {

void inventoryTarget(RunContext& ctx);

}  // namespace qv::inventory

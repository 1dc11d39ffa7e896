// The per-computer inventory driver: connection, report header, the category sequence in four phases.
#pragma once

#include "core/target_context.h"

namespace qv::inventory {

void inventoryTarget(TargetContext& ctx);

}  // namespace qv::inventory

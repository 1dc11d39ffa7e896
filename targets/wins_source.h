// The WINS source of the domain option: the workstation names of the controller's WINS database.
#pragma once

#include "core/context.h"

namespace qv::targets {

void addWinsTargets(RunContext& ctx);

}  // namespace qv::targets

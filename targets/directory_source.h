// The directory source of the domain option: every computer object of the domain.
#pragma once

#include "core/context.h"

namespace qv::targets {

void addDirectoryTargets(RunContext& ctx);

}  // namespace qv::targets

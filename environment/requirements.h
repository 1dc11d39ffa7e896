// The requirement checks of the chosen option; sets bMDB and opens the name file.
#pragma once

#include "core/context.h"

namespace qv::environment {

bool checkRequirements(RunContext& ctx);

}  // namespace qv::environment

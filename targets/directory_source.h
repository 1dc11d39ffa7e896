// The directory source of the domain option: every computer object of the domain.
#pragma once

#include "core/context.h"
#include "core/reporter.h"
#include "targets/target_list.h"

namespace qv::targets {

void addDirectoryTargets(Platform& platform, const RunEnvironment& env, Reporter& report, TargetList& list);

}  // namespace qv::targets

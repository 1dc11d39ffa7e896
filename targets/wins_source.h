// The WINS source of the domain option: the workstation names of the controller's WINS database.
#pragma once

#include "core/context.h"
#include "core/reporter.h"
#include "targets/target_list.h"

namespace qv::targets {

void addWinsTargets(Platform& platform, const RunEnvironment& env, Reporter& report, TargetList& list);

}  // namespace qv::targets

// The environment probe: fills RunEnvironment once per run and writes the debug dump.
#pragma once

#include "core/context.h"

namespace qv::environment {

void probeEnvironment(RunContext& ctx);
// Sets bFlagWINS: a service named WINS on the local computer's management service.
void checkWinsService(RunContext& ctx);

}  // namespace qv::environment

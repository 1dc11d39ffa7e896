// The environment probe: fills RunEnvironment once per run and writes the debug dump.
#pragma once

#include "core/context.h"

namespace qv::environment {

// Fills `env` from the platform, the local computer's management service and the command line;
// the option and the start folder are set before.
void probeEnvironment(RunEnvironment& env, Platform& platform, management::Connector& connector,
                      const CommandLine& commandLine, Conventions conventions);
// Sets bFlagWINS: a service named WINS on the local computer's management service.
void checkWinsService(RunEnvironment& env, management::Connector& connector);

}  // namespace qv::environment

// The usage screen and the normal and abnormal ends.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"

namespace qv::run {

// The platform's current date and time in the locale's general date form, for log and trace lines.
std::string now(RunContext& ctx);

void showUsage(RunContext& ctx);
void normalEnd(RunContext& ctx);
void abnormalEnd(RunContext& ctx);

}  // namespace qv::run

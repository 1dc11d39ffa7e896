// The usage screen, the normal and abnormal ends, and the general text sort.
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

// In-place, case-insensitive (ordinal on lower-case forms) quicksort of values[low..high].
// The recursion is kept on an explicit stack in the same order, so no input can exhaust the stack.
void quickSortText(std::vector<std::string>& values, long low, long high);

}  // namespace qv::run

// The run driver: the whole run in order, from the start banner to one of the end paths.
#pragma once

#include <string>

#include "core/context.h"

namespace qv::run {

// Runs the program once with the command-line argument text. Returns on every path; the caller
// ends the console and exits with code 0.
void runProgram(RunContext& ctx, const std::string& argumentText);

// The argument text from separate arguments: joined with single spaces.
std::string joinArguments(int argc, char** argv, int first);

}  // namespace qv::run

// The run driver: the whole run in order, from the start banner to one of the end paths.
#pragma once

#include <string>

#include "core/context.h"

namespace qv::run {

// The program's exit statuses, for schedulers and scripts.
inline constexpr int kExitDone = 0;           // everything asked for was done
inline constexpr int kExitIncomplete = 1;     // ended normally, a computer not inventoried or its rows not written
inline constexpr int kExitRefused = 2;        // the command line was refused (usage shown)
inline constexpr int kExitNotStarted = 3;     // a requirement missing, the name file not found, no output folder
inline constexpr int kExitInterrupted = 130;  // ended by Ctrl-C
inline constexpr int kExitQuit = 131;         // ended by Ctrl-Break (SIGQUIT)
inline constexpr int kExitTerminated = 143;   // the console closed, or terminated (SIGTERM, SIGHUP)

// The exit status of a run stopped by a break event of type 0, 1 or 2.
int exitStatusForBreak(int type);

// Runs the program once with the command-line argument text. Returns on every path with the
// exit status; the caller ends the console and exits with it.
int runProgram(RunContext& ctx, const std::string& argumentText);

// The argument text from separate arguments: joined with single spaces.
std::string joinArguments(int argc, char** argv, int first);

}  // namespace qv::run

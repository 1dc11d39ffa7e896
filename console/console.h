// The console host: start and end, the control handler's flag, and the two console operations.
#pragma once

#include <string>

#include "core/context.h"
#include "core/target_context.h"

namespace qv::console {

// Starts the platform console once and points its control handler at the run's event words.
void start(RunContext& ctx);
// Restores the console as it was found. Runs once.
void end(RunContext& ctx);
void setTitle(RunContext& ctx, const std::string& title);

// Writes text (plus CR LF when newline) in one write; an empty result writes nothing.
std::size_t writeConsoleLine(RunContext& ctx, const std::string& text, bool newline);
// The same for a computer being inventoried: written in list order with its other output.
void writeConsoleLine(TargetContext& ctx, const std::string& text, bool newline);
// Shows the prompt (default "Press any key to continue . . . ") and waits for one key. When no
// key can be read, or under Linux conventions, only the lines before the prompt's last one are
// written, without a wait.
void pauseForKey(RunContext& ctx, const std::string& prompt, bool newline);

// True when a break event of type 0, 1 or 2 has arrived (a type still -1 counts as not yet arrived).
bool breakRequested(const RunContext& ctx, int& type);

}  // namespace qv::console

// The run log QV.log: opening with its header block, line writes, closing.
#pragma once

#include <string>

#include "core/context.h"
#include "core/target_context.h"

namespace qv::files {

inline constexpr const char* kVersionLiteral = "Version 3.00.0037";
inline constexpr const char* kProductLine = "Quorvex Inventory Tool Version 3.00.0037";

// Opens (appends to an existing, creates a missing) log and writes the header block.
bool openRunLog(RunContext& ctx, const std::string& path);
// One write-line: the text plus CR LF. Nothing happens once the log is closed.
void logLine(RunContext& ctx, const std::string& text);
void closeRunLog(RunContext& ctx);
// A log line of a computer being inventoried: written in list order with its other output.
void logLine(TargetContext& ctx, const std::string& text);

// "True" or "False", the words flags are written as.
inline const char* flagText(bool b) { return b ? "True" : "False"; }

}  // namespace qv::files

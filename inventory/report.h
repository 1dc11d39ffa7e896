// The computer report: line writes and the label/value line format all collectors share.
#pragma once

#include <string>
#include <string_view>

#include "run/context.h"

namespace qv::report {

inline constexpr std::size_t kLabelWidth = 21;
inline const std::string kContinuation(kLabelWidth, ' ');

// The label right-aligned so that its ": " ends the field: label("Description") == "        Description: ".
std::string label(std::string_view name, std::size_t width = kLabelWidth);

// The report form of a value: Null as nothing, Booleans as True/False, numbers in plain decimal,
// texts as returned, a list as its first element. Unreadable values give the empty text.
std::string displayText(const Value& v);

// One write-line on ComputerReport (text + CR LF).
void writeLine(RunContext& ctx, const std::string& text);
// label(name) + displayText(v) + suffix, written unless the value cannot be read.
// Returns whether the line was written.
bool writeValue(RunContext& ctx, std::string_view name, const Value& v, const std::string& suffix = "");

}  // namespace qv::report

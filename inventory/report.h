// The computer report: line writes and the label/value line format all collectors share.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/target_context.h"

namespace qv::report {

inline constexpr std::size_t kLabelWidth = 21;
inline const std::string kContinuation(kLabelWidth, ' ');

// The label right-aligned so that its ": " ends the field: label("Description") == "        Description: ";
// a question keeps its mark instead of the colon: label("Part of Domain?") == "     Part of Domain? ".
std::string label(std::string_view name, std::size_t width = kLabelWidth);

// The report form of a value: Null as nothing, Booleans as True/False, numbers in plain decimal,
// texts as returned, a list as its first element. Unreadable values give the empty text.
std::string displayText(const Value& v);

// Opens the report for appending, created when it does not exist; null when it cannot.
std::unique_ptr<TextWriter> openReport(RunContext& ctx, const std::string& path);

// One write-line on ComputerReport (text + CR LF), in list order with the computer's other output.
void writeLine(TargetContext& ctx, const std::string& text);
// label(name) + displayText(v) + suffix, written unless the value cannot be read.
// Returns whether the line was written.
bool writeValue(TargetContext& ctx, std::string_view name, const Value& v, const std::string& suffix = "");

}  // namespace qv::report

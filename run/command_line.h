// The command-line grammar: tokens, validation and the option code.
#pragma once

#include <functional>
#include <string>

#include "core/context.h"

namespace qv::run {

// The platform's upper-casing of names (System::upperCase).
using UpperCase = std::function<std::string(const std::string&)>;

// Splits the argument text at single spaces into tokens upper-cased by `upper`.
void parseCommandLine(CommandLine& cl, const std::string& argumentText, const UpperCase& upper);
// True when the tokens satisfy the grammar; otherwise sets optionError.
bool validateOptions(CommandLine& cl);
// Parses and validates; "/B", "/F", "/?", "/N", "/L", or empty when refused.
std::string selectOption(CommandLine& cl, const std::string& argumentText, const UpperCase& upper);

}  // namespace qv::run

// The command-line grammar: tokens, validation and the option code.
#pragma once

#include <string>

#include "run/context.h"

namespace qv::run {

// Splits the argument text at single spaces into upper-cased tokens.
void parseCommandLine(CommandLine& cl, const std::string& argumentText);
// True when the tokens satisfy the grammar; otherwise sets optionError.
bool validateOptions(CommandLine& cl);
// Parses and validates; "/B", "/F", "/?", "/N", "/L", or empty when refused.
std::string selectOption(CommandLine& cl, const std::string& argumentText);

}  // namespace qv::run

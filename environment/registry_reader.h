// Reads one registry value as text, number or bytes, by hive name, key and value name.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/platform.h"

namespace qv::environment {

// Empty, text, 32-bit integer or bytes.
using RegEntry = std::variant<std::monostate, std::string, std::int32_t, std::vector<unsigned char>>;

// hive: abbreviation or full name, any case; on return the handle as signed decimal text.
// dataType: the registry type read, or -1 on any failure.
RegEntry getRegEntry(Platform& platform, std::string& hive, const std::string& key, const std::string& valueName,
                     std::int32_t& dataType);

// The entry as text (empty result: empty text; numbers in decimal; bytes as characters).
std::string regEntryText(const RegEntry& e);

// Expands %NAME% references from the environment; unknown references stay as written.
std::string expandEnvironmentReferences(System& system, const std::string& text);

}  // namespace qv::environment

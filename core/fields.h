// The values a record writer takes: one column's value and a row's columns by name.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/values.h"

namespace qv {

// A value handed to a writer. monostate stores Null. A text for a numeric or date column is
// converted with the locale's rules; a value the column cannot take refuses the row.
using Field = std::variant<std::monostate, std::string, double, std::int64_t, bool, DateTime>;
using Fields = std::vector<std::pair<std::string, Field>>;  // column name, value

}  // namespace qv

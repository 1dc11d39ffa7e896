// Value forms the network collectors share: flags, decode codes and their tables, list elements.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/values.h"

namespace qv::inventory::net {

// A property as a flag: Booleans as they are, numbers true when not zero, the texts "True" and
// "False" (any case); anything else, and a value that cannot be read, is false.
bool flagOf(const Value& v);

// A property as a whole-number code: an integer, a double without fraction, or a decimal text;
// a list gives the code of its first element. Nothing for every other value.
std::optional<std::int64_t> codeOf(const Value& v);

// The first element of a list property; a value that is not a list stands for itself.
// An empty list gives Null.
const Value& firstElement(const Value& v);

// The entries of a list property. A single value that is not a list counts as a list of one;
// nothing when the property is missing (cannot be read, or Null).
std::optional<std::vector<Value>> entriesOf(const Value& v);

// One row of a decode table: a code and its text.
struct CodeText {
    std::int64_t code;
    const char* text;
};
// The text of `code`, or null when the table does not hold it.
const char* decode(std::span<const CodeText> table, std::int64_t code);

}  // namespace qv::inventory::net

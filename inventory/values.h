// The value conversions every collector uses, each named after its rule: plain text forms, trimming,
// cut to n, numbers, codes and their tables, Booleans, list elements.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/text.h"
#include "platform/values.h"

namespace qv::inventory {

// The text helpers every layer shares, named here as the collectors use them.
using text::characterCount;
using text::firstCharacters;
using text::plainNumber;
using text::trimBlanks;

// The plain text of a value: Null and unreadable give "", Booleans True/False, numbers in decimal,
// a list its first element.
std::string plainText(const Value& v);
// The plain text with blanks trimmed: a copied text column's value, which the writer cuts to the
// column's width.
std::string trimmedText(const Value& v);
// Cut to n: the plain text with blanks trimmed, then at most n characters.
std::string cutTo(const Value& v, std::size_t n);

// Bytes per unit of the sizes the report shows.
inline constexpr double kBytesPerKilobyte = 1024.0;
inline constexpr double kBytesPerMegabyte = 1048576.0;
inline constexpr double kBytesPerGigabyte = 1073741824.0;

// A number held as an integer or double, or spelled as a decimal text (blanks around it allowed;
// 64-bit values arrive so); nothing for Booleans, lists, Null, unreadable and other texts.
std::optional<double> decimalNumberOf(const Value& v);
// A number from a value: decimalNumberOf, Booleans -1/0, a list its first element; anything else 0.
double numberOf(const Value& v);
// A number for arithmetic: numbers and Booleans (-1/0) as numberOf, texts in the locale's number
// form ("1,536.5" in en-US), a list its first element; nothing for anything else.
std::optional<double> localeNumberOf(const Locale& locale, const Value& v);
// A value that fits a signed 32-bit column, else 0.
std::int32_t int32Of(const Value& v);

// A whole-number code: an integer, a double without fraction, a decimal text of digits with an
// optional minus (blanks around it allowed), a list its first element; nothing for Booleans and
// anything else.
std::optional<std::int64_t> codeOf(const Value& v);
// codeOf, except that a Boolean is the code -1 (True) or 0 (False), as the scripting layer compares them.
std::optional<std::int64_t> codeOrBooleanOf(const Value& v);

// One row of a decode table: a code and its text.
struct CodeText {
    std::int64_t code;
    const char* text;
};
using CodeTable = std::span<const CodeText>;
// The first row of `table` holding `code`; null for no code or an unlisted one.
const CodeText* findCode(CodeTable table, std::optional<std::int64_t> code);

// A Boolean: Booleans as they are, numbers true when not zero, the texts "True" and "False" (any
// case, blanks around allowed) and decimal texts as their number, a list its first element;
// anything else (Null, unreadable, other texts) false.
bool booleanOf(const Value& v);

// The first element of a list; a value that is not a list stands for itself; an empty list is Null.
const Value& firstElement(const Value& v);
// The entries of a list. A single value that is not a list counts as a list of one; nothing when
// the value is missing (cannot be read, or Null).
std::optional<std::vector<Value>> entriesOf(const Value& v);

}  // namespace qv::inventory

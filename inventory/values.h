// Value rules shared by the collectors: plain text forms, trimming, cut to n, numbers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/values.h"

namespace qv::inventory {

// Removes leading and trailing blanks (spaces only, as the scripting layer's Trim does).
std::string trimBlanks(const std::string& s);
// Number of characters of a UTF-8 text.
std::size_t characterCount(const std::string& s);
// The first n characters of a UTF-8 text.
std::string firstCharacters(const std::string& s, std::size_t n);
// Plain decimal of a double as the scripting layer's default conversion writes it (15 significant digits).
std::string plainNumber(double d);
// The plain text of a value: Null and unreadable give "", Booleans True/False, numbers in decimal,
// a list its first element.
std::string plainText(const Value& v);
// Cut to n: the plain text with blanks trimmed, then at most n characters.
std::string cutTo(const Value& v, std::size_t n);
// A number from a value: integers and doubles as they are, Booleans -1/0, decimal texts parsed,
// anything else (Null, unreadable, not a number) 0.
double numberOf(const Value& v);
// A value that fits a signed 32-bit column, else 0.
std::int32_t int32Of(const Value& v);

}  // namespace qv::inventory

// Text helpers shared by every layer: ASCII case rules for keys and names of the program's own,
// and the upper-casing of UTF-8 text in Latin script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::text {

// ASCII letters upper-cased, every other byte kept: for identifiers (class, hive and key names,
// options) whose case rule is ASCII on every platform.
std::string asciiUpper(std::string s);
std::string asciiLower(std::string s);
// Equal apart from the case of ASCII letters.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// UTF-8 text with every letter of Basic Latin, Latin-1 Supplement and Latin Extended-A that has a
// single capital upper-cased ("pécé" -> "PÉCÉ", "ÿ" -> "Ÿ"); letters without one (ß, ĸ, ŉ) and
// bytes that are not UTF-8 are kept.
std::string upperLatin(const std::string& utf8);

// The text with every control character (C0, DEL, and C1 in UTF-8) shown as "?": names that come
// from files and directories reach the console and the log without escape sequences or line breaks.
std::string shownSafely(std::string_view text);

// Removes leading and trailing blanks (spaces only, as the scripting layer's Trim does).
std::string trimBlanks(const std::string& s);
// Number of characters of a UTF-8 text.
std::size_t characterCount(const std::string& s);
// The first n characters of a UTF-8 text.
std::string firstCharacters(const std::string& s, std::size_t n);
// Plain decimal of a double as the scripting layer's default conversion writes it (15 significant digits).
std::string plainNumber(double d);

// Helpers of the readers of text files and answers: blanks are the C locale's white space.
std::string trim(std::string_view s);
bool startsWith(std::string_view s, std::string_view prefix);
bool endsWith(std::string_view s, std::string_view suffix);
std::vector<std::string> splitLines(std::string_view text);  // on LF, a CR before it dropped
std::vector<std::string> splitWords(std::string_view text);  // on blanks and tabs
std::string unquote(std::string s);  // strips one pair of matching ' or " quotes
// A whole unsigned number in base 10 or 16 (an 0x prefix allowed), blanks around it ignored;
// nullopt for anything else or a number past 64 bits.
std::optional<std::uint64_t> parseUnsigned(std::string_view s, int base = 10);
}  // namespace qv::text

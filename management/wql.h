// The one reading of the management-service queries (WQL) and the one rule by which a condition
// selects an instance, so that every back-end that answers queries itself filters alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/values.h"

namespace qv::management::wql {

// The dialect, and nothing more (anything else is an invalid query):
//
//   Select * from CLASS [Where PROPERTY = LITERAL]
//
// - Keywords (Select, from, Where, TRUE, FALSE) in any letter case; blanks (spaces, tabs, line
//   ends) between tokens, optional around "*" and "=".
// - CLASS and PROPERTY: a letter or "_", then letters, digits and "_".
// - LITERAL: text in single or double quotes, in which \\, \' and \" stand for \, ' and " (any
//   other backslash is invalid; a doubled quote ends the text); a number: "-" optional, digits,
//   "." and digits optional (a whole number outside 64 bits is invalid); TRUE or FALSE.
struct Condition {
    std::string property;
    Value literal;  // Text, Int, Double or Bool
};

struct Query {
    std::string className;  // as written
    std::optional<Condition> condition;
};

// The query, or nothing when the text is not of that form.
std::optional<Query> parse(std::string_view text);

// WQL equality of a property's value with a literal: texts ignoring the case of ASCII letters,
// numbers by their value (whole and decimal alike), Booleans as Booleans. Values of another kind
// than the literal's (a number given as text, Null, a list, an unreadable value) never match.
bool matches(const Value& value, const Value& literal);

// Whether the instance is one the query selects: every instance without a condition.
bool selects(const Query& query, const Instance& instance);

}  // namespace qv::management::wql

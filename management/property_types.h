// The CIM type of every property the collectors read, and the value a text received for one becomes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "classes/declarations.h"
#include "platform/values.h"

namespace qv::management {

// The property types of the management service's class definitions.
using classes::CimType;

struct PropertyType {
    CimType type = CimType::String;
    bool array = false;
};

// One property of one class, as the class's definition declares it.
struct PropertyRow {
    const char* className;
    const char* property;
    CimType type;
    bool array;
};

// Every class and property the collectors read, class by class, as the class declarations give them.
std::span<const PropertyRow> propertyTable();

// The declared type of a property; class and property names compare without regard to case.
// Nothing for a property the table does not list.
std::optional<PropertyType> propertyType(std::string_view className, std::string_view property);

// The type's name as the class definitions write it ("uint32", "datetime").
const char* cimTypeName(CimType type);

// The kind of Value the DCOM path gives a scalar of this type (an array gives a List of them):
// texts for strings, date-times, references and 64-bit numbers (which arrive as texts), whole
// numbers up to 32 bits and characters as Int, reals as Double. Embedded objects cannot be read.
Value::Kind valueKind(CimType type);

// A value a transport received as text, typed as the DCOM path types the same value. Texts of
// strings, date-times, references and 64-bit numbers are kept as they came. A whole number must be
// decimal and within its type's range, a Boolean "true", "false", "1" or "0" (letter case and
// surrounding blanks aside), a real a decimal or "INF"/"NaN" form; a text that is none of these
// cannot be read. A property the table does not list keeps its text. An array property's one text
// is a list of one element, as repeated elements of an XML answer are when only one came.
Value typedValue(std::string_view className, std::string_view property, std::string_view text);
// The same for a value whose type is known otherwise (a method's output parameter).
Value typedValue(const PropertyType& type, std::string_view text);
// The texts of an array property, typed element by element into a List (an element that cannot be
// read stays in its place as unreadable). A scalar property takes exactly one text.
Value typedValue(std::string_view className, std::string_view property, const std::vector<std::string>& texts);

}  // namespace qv::management

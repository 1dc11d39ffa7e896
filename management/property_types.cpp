// The property-type table of the classes the collectors read (from their declarations), and the typing of values received as text.
#include "management/property_types.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/text.h"

namespace qv::management {

namespace {

using enum classes::CimType;

struct IntegerRange {
    std::int64_t least, most;
};

std::optional<IntegerRange> integerRange(CimType type) {
    switch (type) {
        case Uint8: return IntegerRange{0, UINT8_MAX};
        case Sint8: return IntegerRange{INT8_MIN, INT8_MAX};
        case Uint16:
        case Char16: return IntegerRange{0, UINT16_MAX};
        case Sint16: return IntegerRange{INT16_MIN, INT16_MAX};
        case Uint32: return IntegerRange{0, UINT32_MAX};
        case Sint32: return IntegerRange{INT32_MIN, INT32_MAX};
        default: return std::nullopt;
    }
}

std::string_view trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

Value integerOf(std::string_view text, IntegerRange range) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return Value::unreadable();
    if (n < range.least || n > range.most) return Value::unreadable();
    return Value::of(n);
}

// A character property arrives as its one character (UTF-8); the DCOM path gives its UTF-16 code.
Value characterOf(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::uint32_t code = 0;
    std::size_t length = 0;
    if (text.size() == 1 && p[0] < 0x80) code = p[0], length = 1;
    else if (text.size() == 2 && (p[0] & 0xE0) == 0xC0) code = (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu), length = 2;
    else if (text.size() == 3 && (p[0] & 0xF0) == 0xE0)
        code = (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu), length = 3;
    if (length == 0) return Value::unreadable();
    for (std::size_t k = 1; k < length; ++k)
        if ((p[k] & 0xC0) != 0x80) return Value::unreadable();
    return Value::of(static_cast<std::int64_t>(code));
}

Value booleanOf(std::string_view text) {
    text = trimmed(text);
    if (text == "1" || text::equalsIgnoringCase(text, "true")) return Value::of(true);
    if (text == "0" || text::equalsIgnoringCase(text, "false")) return Value::of(false);
    return Value::unreadable();
}

// A real in the C locale's form (never the user's decimal point), narrowed to single precision for
// real32 as the DCOM path's VT_R4 is.
Value realOf(std::string_view text, bool single) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double d = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return Value::unreadable();
    if (!single) return Value::of(d);
    if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return Value::unreadable();
    return Value::of(static_cast<double>(static_cast<float>(d)));
}

Value scalarOf(CimType type, std::string_view text) {
    if (const std::optional<IntegerRange> range = integerRange(type); range && type != Char16)
        return integerOf(text, *range);
    switch (type) {
        case Boolean: return booleanOf(text);
        case Real32: return realOf(text, true);
        case Real64: return realOf(text, false);
        case Char16: return characterOf(text);
        case Object: return Value::unreadable();
        default: return Value::of(std::string(text));
    }
}

}  // namespace

std::span<const PropertyRow> propertyTable() {
    static const std::vector<PropertyRow> table = [] {
        std::vector<PropertyRow> rows;
        for (const classes::ClassDecl* c : classes::classList())
            for (const classes::Property& p : c->properties) rows.push_back({c->name, p.name, p.type, p.array});
        return rows;
    }();
    return table;
}

std::optional<PropertyType> propertyType(std::string_view className, std::string_view property) {
    const classes::ClassDecl* c = classes::findClass(className);
    const classes::Property* p = c ? classes::findProperty(*c, property) : nullptr;
    if (!p) return std::nullopt;
    return PropertyType{p->type, p->array};
}

const char* cimTypeName(CimType type) {
    switch (type) {
        case String: return "string";
        case Boolean: return "boolean";
        case Datetime: return "datetime";
        case Reference: return "reference";
        case Object: return "object";
        case Char16: return "char16";
        case Uint8: return "uint8";
        case Sint8: return "sint8";
        case Uint16: return "uint16";
        case Sint16: return "sint16";
        case Uint32: return "uint32";
        case Sint32: return "sint32";
        case Uint64: return "uint64";
        case Sint64: return "sint64";
        case Real32: return "real32";
        case Real64: return "real64";
    }
    return "?";
}

Value::Kind valueKind(CimType type) {
    switch (type) {
        case Boolean: return Value::Kind::Bool;
        case Real32:
        case Real64: return Value::Kind::Double;
        case Object: return Value::Kind::Unreadable;
        default: return integerRange(type) ? Value::Kind::Int : Value::Kind::Text;
    }
}

Value typedValue(const PropertyType& type, std::string_view text) {
    Value v = scalarOf(type.type, text);
    return type.array ? Value::ofList({std::move(v)}) : v;
}

Value typedValue(std::string_view className, std::string_view property, std::string_view text) {
    const std::optional<PropertyType> t = propertyType(className, property);
    return t ? typedValue(*t, text) : Value::of(std::string(text));
}

Value typedValue(std::string_view className, std::string_view property, const std::vector<std::string>& texts) {
    const std::optional<PropertyType> t = propertyType(className, property);
    if (t && !t->array) return texts.size() == 1 ? scalarOf(t->type, texts.front()) : Value::unreadable();
    std::vector<Value> items;
    items.reserve(texts.size());
    for (const std::string& text : texts) items.push_back(t ? scalarOf(t->type, text) : Value::of(text));
    return Value::ofList(std::move(items));
}

}  // namespace qv::management

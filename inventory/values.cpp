// The value conversions every collector uses.
#include "inventory/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/text.h"

namespace qv::inventory {

std::string plainText(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Unreadable:
        case Value::Kind::Null: return {};
        case Value::Kind::Bool: return v.boolean ? "True" : "False";
        case Value::Kind::Int: return std::to_string(v.integer);
        case Value::Kind::Double: return plainNumber(v.real);
        case Value::Kind::Text: return v.text;
        case Value::Kind::List: return v.list.empty() ? std::string() : plainText(v.list.front());
    }
    return {};
}

std::string trimmedText(const Value& v) { return trimBlanks(plainText(v)); }

std::string cutTo(const Value& v, std::size_t n) { return firstCharacters(trimmedText(v), n); }

std::optional<double> decimalNumberOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Int: return static_cast<double>(v.integer);
        case Value::Kind::Double: return v.real;
        case Value::Kind::Text: {
            const std::string t = trimBlanks(v.text);
            // Decimal only: strtod alone would also read hexadecimal, "inf" and "nan".
            if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
            char* end = nullptr;
            const double d = std::strtod(t.c_str(), &end);
            if (end != t.c_str() + t.size() || !std::isfinite(d)) return std::nullopt;
            return d;
        }
        default: return std::nullopt;
    }
}

double numberOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean ? -1.0 : 0.0;
        case Value::Kind::List: return v.list.empty() ? 0.0 : numberOf(v.list.front());
        default: return decimalNumberOf(v).value_or(0.0);
    }
}

std::optional<double> localeNumberOf(const Locale& locale, const Value& v) {
    switch (v.kind) {
        case Value::Kind::Int:
        case Value::Kind::Double:
        case Value::Kind::Bool: return numberOf(v);
        case Value::Kind::Text: {
            double d = 0;
            if (!parseLocaleNumber(locale, v.text, d)) return std::nullopt;
            return d;
        }
        case Value::Kind::List: return v.list.empty() ? std::nullopt : localeNumberOf(locale, v.list.front());
        default: return std::nullopt;
    }
}

std::int32_t int32Of(const Value& v) {
    double d = numberOf(v);
    if (d < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        d > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(std::llround(d));
}

std::optional<std::int64_t> codeOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Int: return v.integer;
        case Value::Kind::Double:
            // Only whole numbers well inside the 64-bit range are codes.
            if (std::isfinite(v.real) && v.real == std::floor(v.real) && std::fabs(v.real) < 9.0e18)
                return static_cast<std::int64_t>(v.real);
            return std::nullopt;
        case Value::Kind::Text: {
            const std::string t = trimBlanks(v.text);
            std::int64_t code = 0;
            const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), code);
            if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
            return code;
        }
        case Value::Kind::List: return v.list.empty() ? std::nullopt : codeOf(v.list.front());
        default: return std::nullopt;
    }
}

std::optional<std::int64_t> codeOrBooleanOf(const Value& v) {
    if (v.kind == Value::Kind::Bool) return v.boolean ? -1 : 0;
    if (v.kind == Value::Kind::List) return v.list.empty() ? std::nullopt : codeOrBooleanOf(v.list.front());
    return codeOf(v);
}

const CodeText* findCode(CodeTable table, std::optional<std::int64_t> code) {
    if (!code) return nullptr;
    for (const CodeText& row : table)
        if (row.code == *code) return &row;
    return nullptr;
}

bool booleanOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean;
        case Value::Kind::Text: {
            const std::string t = trimBlanks(v.text);
            if (text::equalsIgnoringCase(t, "True")) return true;
            return decimalNumberOf(v).value_or(0.0) != 0.0;
        }
        case Value::Kind::List: return !v.list.empty() && booleanOf(v.list.front());
        default: return decimalNumberOf(v).value_or(0.0) != 0.0;
    }
}

const Value& firstElement(const Value& v) {
    static const Value kNull = Value::null();
    if (v.kind != Value::Kind::List) return v;
    return v.list.empty() ? kNull : v.list.front();
}

std::optional<std::vector<Value>> entriesOf(const Value& v) {
    if (!v.readable() || v.isNull()) return std::nullopt;
    if (v.kind == Value::Kind::List) return v.list;
    return std::vector<Value>{v};
}

}  // namespace qv::inventory

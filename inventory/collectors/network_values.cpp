// Value forms the network collectors share.
#include "inventory/collectors/network_values.h"

#include <charconv>
#include <cmath>
#include <strings.h>

#include "inventory/values.h"

namespace qv::inventory::net {

bool flagOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean;
        case Value::Kind::Int: return v.integer != 0;
        case Value::Kind::Double: return v.real != 0.0;
        case Value::Kind::Text: return ::strcasecmp(trimBlanks(v.text).c_str(), "True") == 0;
        default: return false;
    }
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
            std::string t = trimBlanks(v.text);
            std::int64_t code = 0;
            auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), code);
            if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
            return code;
        }
        case Value::Kind::List: return v.list.empty() ? std::nullopt : codeOf(v.list.front());
        default: return std::nullopt;
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

const char* decode(std::span<const CodeText> table, std::int64_t code) {
    for (const CodeText& row : table)
        if (row.code == code) return row.text;
    return nullptr;
}

}  // namespace qv::inventory::net

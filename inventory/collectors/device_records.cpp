// Building blocks of the device collectors.
#include "inventory/collectors/device_records.h"

#include <cmath>
#include <cstdio>
#include <strings.h>

#include "inventory/collector.h"
#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

const TypeCode* listedCode(const Value& v, std::span<const TypeCode> codes) {
    bool numeric = v.kind == Value::Kind::Int || v.kind == Value::Kind::Double;
    if (v.kind == Value::Kind::Text) {
        const std::string t = trimBlanks(v.text);
        const std::size_t digits = !t.empty() && t[0] == '-' ? 1 : 0;
        numeric = t.size() > digits && t.size() < 16 && t.find_first_not_of("0123456789", digits) == std::string::npos;
    }
    if (!numeric) return nullptr;
    const double d = numberOf(v);
    for (const TypeCode& c : codes)
        if (d == static_cast<double>(c.code)) return &c;
    return nullptr;
}

std::string decodeType(const Value& v, const TypeTable& table) {
    const TypeCode* code = listedCode(v, table.codes);
    return "Type " + plainText(v) + (code ? code->text : table.otherText);
}

database::Field textField(const Instance& inst, const char* property, std::size_t n) {
    return cutTo(inst.get(property), n);
}

database::Field nullableTextField(const Instance& inst, const char* property, std::size_t n) {
    const Value& v = inst.get(property);
    if (v.isNull()) return std::monostate{};
    return cutTo(v, n);
}

database::Field int32Field(const Instance& inst, const char* property) {
    return static_cast<std::int64_t>(int32Of(inst.get(property)));
}

bool booleanOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean;
        case Value::Kind::Int: return v.integer != 0;
        case Value::Kind::Double: return v.real != 0.0;
        case Value::Kind::Text: {
            std::string t = trimBlanks(v.text);
            if (strcasecmp(t.c_str(), "true") == 0 && t.size() == 4) return true;
            return numberOf(v) != 0.0;
        }
        case Value::Kind::List: return !v.list.empty() && booleanOf(v.list.front());
        default: return false;
    }
}

std::string formatGroupedFixed(const Locale& locale, double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    // Formatted through a stream-sized buffer: at most 309 integer digits plus the decimals.
    if (decimals < 0) decimals = 0;
    if (decimals > 20) decimals = 20;
    char buffer[400];
    const int size = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    std::string digits(buffer, size > 0 ? static_cast<std::size_t>(size) : 0);
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    std::string fraction;
    if (std::size_t dot = digits.find('.'); dot != std::string::npos) {
        fraction = digits.substr(dot + 1);
        digits.erase(dot);
    }
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += locale.groupSeparator;
        out += digits[i];
    }
    if (!fraction.empty()) out += locale.decimalPoint + fraction;
    return (value < 0 && !zero) ? "-" + out : out;
}

void writeRecordLines(TargetContext& ctx, std::initializer_list<RecordLine> lines, std::size_t width) {
    std::size_t index = 0;
    for (const RecordLine& line : lines) {
        ++index;
        if (!line.value.readable()) continue;
        const std::string end = index == lines.size() ? "\r\n" : "";
        report::writeLine(ctx, report::label(line.name, width) + report::displayText(line.value) + end);
    }
}

void appendRecord(TargetContext& ctx, const std::string& table, const database::Fields& fields) {
    guarded([&] { database::appendRow(ctx, table, fields); });
}

void appendEmptyRecord(TargetContext& ctx, const std::string& table) {
    guarded([&] { database::appendEmptyRow(ctx, table); });
}

}  // namespace qv::inventory

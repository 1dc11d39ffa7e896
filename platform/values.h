// Plain value types that cross the platform interfaces: date-times, management-service values, errors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// A calendar date and wall-clock time, as the platform's clock and files report them.
struct DateTime {
    int year = 1899, month = 12, day = 30;  // the platform's zero date
    int hour = 0, minute = 0, second = 0;
    bool operator==(const DateTime&) const = default;
    bool isZero() const { return year == 1899 && month == 12 && day == 30 && hour == 0 && minute == 0 && second == 0; }
};

// One property value read from a management-service instance. Unreadable (the read itself
// failed) is kept apart from Null (the property exists and holds nothing).
struct Value {
    enum class Kind { Unreadable, Null, Bool, Int, Double, Text, List };
    Kind kind = Kind::Unreadable;
    bool boolean = false;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
    std::vector<Value> list;

    static Value unreadable() { return {}; }
    static Value null() { Value v; v.kind = Kind::Null; return v; }
    static Value of(bool b) { Value v; v.kind = Kind::Bool; v.boolean = b; return v; }
    static Value of(std::int64_t i) { Value v; v.kind = Kind::Int; v.integer = i; return v; }
    static Value of(int i) { return of(static_cast<std::int64_t>(i)); }
    static Value of(double d) { Value v; v.kind = Kind::Double; v.real = d; return v; }
    static Value of(std::string s) { Value v; v.kind = Kind::Text; v.text = std::move(s); return v; }
    static Value of(const char* s) { return of(std::string(s)); }
    static Value ofList(std::vector<Value> items) { Value v; v.kind = Kind::List; v.list = std::move(items); return v; }

    bool readable() const { return kind != Kind::Unreadable; }
    bool isNull() const { return kind == Kind::Null; }
};

// An error as the platform reports it: a signed number and a description text.
struct PlatformError {
    std::int32_t number = 0;
    std::string description;
};

}  // namespace qv

// Test support: whether a back-end's values have the kinds and ranges the property-type table gives.
#pragma once

#include <charconv>
#include <iostream>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "management/property_types.h"
#include "platform/platform.h"

namespace qvtest::types {

inline const char* kindName(qv::Value::Kind kind) {
    using K = qv::Value::Kind;
    switch (kind) {
        case K::Unreadable: return "Unreadable";
        case K::Null: return "Null";
        case K::Bool: return "Bool";
        case K::Int: return "Int";
        case K::Double: return "Double";
        case K::Text: return "Text";
        case K::List: return "List";
    }
    return "?";
}

// A scalar as a text transport carries it: numbers in decimal (reals in their shortest exact
// form), Booleans as "true"/"false", texts as they are.
inline std::string transportText(const qv::Value& v) {
    switch (v.kind) {
        case qv::Value::Kind::Bool: return v.boolean ? "true" : "false";
        case qv::Value::Kind::Int: return std::to_string(v.integer);
        case qv::Value::Kind::Double: {
            char buf[64];
            const auto end = std::to_chars(buf, buf + sizeof buf, v.real).ptr;
            return std::string(buf, end);
        }
        default: return v.text;
    }
}

// What is wrong with one scalar of a property of type `t`; empty when its kind is the one the DCOM
// path gives the type. Null agrees with every type.
inline std::string scalarProblem(qv::management::CimType t, const qv::Value& v) {
    if (v.isNull()) return {};
    const qv::Value::Kind want = qv::management::valueKind(t);
    if (v.kind != want)
        return std::string(kindName(v.kind)) + " " + transportText(v).substr(0, 40) + " where " +
               qv::management::cimTypeName(t) + " gives " + kindName(want);
    return {};
}

// The same for a whole value: an array property's value is a List of agreeing elements.
inline std::string problem(const qv::management::PropertyType& t, const qv::Value& v) {
    if (!v.readable() || v.isNull()) return {};
    if (t.array != (v.kind == qv::Value::Kind::List))
        return std::string(kindName(v.kind)) + (t.array ? " where the property is an array" : " where it is no array");
    if (!t.array) return scalarProblem(t.type, v);
    for (const qv::Value& item : v.list)
        if (std::string p = item.readable() ? scalarProblem(t.type, item) : "an element cannot be read"; !p.empty())
            return "element: " + p;
    return {};
}

inline bool same(const qv::Value& a, const qv::Value& b) {
    if (a.kind != b.kind || a.boolean != b.boolean || a.integer != b.integer || a.text != b.text ||
        a.list.size() != b.list.size())
        return false;
    if (a.kind == qv::Value::Kind::Double && !(a.real == b.real)) return false;
    for (std::size_t k = 0; k < a.list.size(); ++k)
        if (!same(a.list[k], b.list[k])) return false;
    return true;
}

// What the check of one back-end found.
struct Findings {
    int checked = 0;                           // values of listed properties compared with the table
    std::set<std::string> answered;            // "Class.Property" that had a value
    std::map<std::string, std::string> problems;  // "Class.Property" -> the first disagreement seen
};

// Checks every listed property of every instance of a class: its kind agrees with the table, and
// the value's text, typed as a text transport's would be, gives the very same value back (so a
// whole number is also within its type's range).
inline void check(const std::string& className, const qv::Instances& instances, Findings& found) {
    for (const qv::management::PropertyRow& row : qv::management::propertyTable()) {
        if (className != row.className) continue;
        const qv::management::PropertyType type{row.type, row.array};
        const std::string key = className + "." + row.property;
        for (const qv::Instance& instance : instances) {
            const qv::Value& v = instance.get(row.property);
            if (!v.readable() || v.isNull()) continue;
            ++found.checked;
            found.answered.insert(key);
            std::string p = problem(type, v);
            if (p.empty()) {
                qv::Value typed;
                if (v.kind == qv::Value::Kind::List) {
                    std::vector<std::string> texts;
                    for (const qv::Value& item : v.list) texts.push_back(transportText(item));
                    typed = qv::management::typedValue(className, row.property, texts);
                } else {
                    typed = qv::management::typedValue(className, row.property, transportText(v));
                }
                // A whole number outside its type's range cannot be read from its text.
                if (!same(typed, v))
                    p = v.kind == qv::Value::Kind::Int
                            ? std::to_string(v.integer) + " is outside " + qv::management::cimTypeName(row.type)
                            : "its text \"" + transportText(v) + "\" types to another value";
            }
            if (!p.empty()) found.problems.emplace(key, p);
        }
    }
}

// A disagreement a back-end is known to have, and why it is kept.
struct KnownException {
    const char* property;  // "Class.Property"
    const char* reason;
};

// Every disagreement found must be a known exception; each known exception seen is printed, and
// where the back-end answers deterministically (`allSeen`) each must still be seen.
inline std::vector<std::string> unexpected(const Findings& found, std::span<const KnownException> known, bool allSeen) {
    std::vector<std::string> out;
    for (const auto& [key, p] : found.problems) {
        bool listed = false;
        for (const KnownException& k : known) listed = listed || key == k.property;
        if (!listed) out.push_back(key + ": " + p);
    }
    for (const KnownException& k : known) {
        auto it = found.problems.find(k.property);
        if (it != found.problems.end())
            std::cout << "known exception " << k.property << ": " << it->second << " (" << k.reason << ")\n";
        else if (allSeen)
            out.push_back(std::string(k.property) + ": listed as a known exception but agrees now");
    }
    return out;
}

}  // namespace qvtest::types

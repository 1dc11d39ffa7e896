// A connection's calls as yes-or-no with the value through an argument, and the reason of a failed
// call: the forms the tests' assertions read most easily (the program takes the typed results).
#pragma once

#include "management/connection.h"

namespace qv::calls {

// The reason a call failed; a text no test expects when it succeeded.
template <class T>
std::string failureOf(const Result<T>& r) {
    return r ? std::string("(the call succeeded)") : r.error().why();
}

template <class T, class Out>
bool into(management::Result<T> r, Out& out, PlatformError* err) {
    if (!r) {
        if (err) *err = r.error().error;
        return false;
    }
    out = std::move(*r);
    return true;
}

inline bool countInstances(management::TargetConnection& c, const std::string& cls, std::int64_t& n, PlatformError& err) {
    return into(c.count(cls), n, &err);
}
inline bool instancesOf(management::TargetConnection& c, const std::string& cls, Instances& out, PlatformError& err) {
    out.clear();
    return into(c.instances(cls), out, &err);
}
inline bool execQuery(management::TargetConnection& c, const std::string& wql, Instances& out, PlatformError& err) {
    out.clear();
    return into(c.query(wql), out, &err);
}
inline bool enumKey(management::TargetConnection& c, std::uint32_t hive, const std::string& key, std::vector<std::string>& names) {
    return into(c.subkeys(hive, key), names, nullptr);
}
inline bool enumValues(management::TargetConnection& c, std::uint32_t hive, const std::string& key,
                       std::vector<std::string>& names, std::vector<std::int32_t>& types) {
    management::Result<management::RegistryValueNames> r = c.valueNames(hive, key);
    if (!r) return false;
    names = std::move(r->names);
    types = std::move(r->types);
    return true;
}
inline bool getStringValue(management::TargetConnection& c, std::uint32_t hive, const std::string& key,
                           const std::string& valueName, std::string& out) {
    return into(c.stringValue(hive, key, valueName), out, nullptr);
}

}  // namespace qv::calls

// The in-memory registry: REG_SZ values by hive, key and value name, found without regard to case.
#include "platform/memory_registry.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {
std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}
}  // namespace

void MemoryRegistry::setString(std::uint32_t hive, const std::string& key, const std::string& valueName,
                               const std::string& data) {
    RegistryValue v;
    v.type = 1;  // REG_SZ, with its terminating NUL
    v.data.assign(data.begin(), data.end());
    v.data.push_back(0);
    keys_[{hive, upper(key)}][upper(valueName)] = v;
}

RegistryStatus MemoryRegistry::read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                    RegistryValue& out) {
    auto k = keys_.find({hive, upper(key)});
    if (k == keys_.end()) return RegistryStatus::KeyMissing;
    auto v = k->second.find(upper(valueName));
    if (v == k->second.end()) return RegistryStatus::ValueMissing;
    out = v->second;
    return RegistryStatus::Ok;
}

}  // namespace qv

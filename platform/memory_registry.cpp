// The in-memory registry: REG_SZ values by hive, key and value name, found without regard to case.
#include "platform/memory_registry.h"

#include "platform/text.h"

namespace qv {

namespace {
// Registry keys and value names match without regard to ASCII case.
std::string upper(const std::string& s) { return text::asciiUpper(s); }
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

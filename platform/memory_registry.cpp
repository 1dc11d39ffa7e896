// The in-memory registry: REG_SZ values by hive, key and value name, found without regard to case.
#include "platform/memory_registry.h"

#include "platform/text.h"

namespace qv {


void MemoryRegistry::setString(std::uint32_t hive, const std::string& key, const std::string& valueName,
                               const std::string& data) {
    RegistryValue v;
    v.type = 1;  // REG_SZ, with its terminating NUL
    v.data.assign(data.begin(), data.end());
    v.data.push_back(0);
    keys_[{hive, text::asciiUpper(key)}][text::asciiUpper(valueName)] = v;
}

RegistryStatus MemoryRegistry::read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                    RegistryValue& out) {
    auto k = keys_.find({hive, text::asciiUpper(key)});
    if (k == keys_.end()) return RegistryStatus::KeyMissing;
    auto v = k->second.find(text::asciiUpper(valueName));
    if (v == k->second.end()) return RegistryStatus::ValueMissing;
    out = v->second;
    return RegistryStatus::Ok;
}

}  // namespace qv

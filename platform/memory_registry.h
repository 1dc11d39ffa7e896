// A registry held in memory: the POSIX platform's whole registry, and the layer the Windows
// registry puts over the real one for the components the program brings itself.
#pragma once

#include <map>

#include "platform/platform.h"

namespace qv {

class MemoryRegistry : public Registry {
public:
    // Key and value names compare without regard to case, as in the Windows registry.
    RegistryStatus read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        RegistryValue& out) override;
    void setString(std::uint32_t hive, const std::string& key, const std::string& valueName, const std::string& data);

private:
    // hive, upper-cased key -> upper-cased value name -> value
    std::map<std::pair<std::uint32_t, std::string>, std::map<std::string, RegistryValue>> keys_;
};

}  // namespace qv

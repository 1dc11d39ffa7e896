// The POSIX registry: an in-memory registry holding the components this program provides.
#pragma once

#include <map>

#include "platform/platform.h"

namespace qv::posix {

class MemoryRegistry : public Registry {
public:
    MemoryRegistry();  // registers the program's own components
    RegistryStatus read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        RegistryValue& out) override;
    void setString(std::uint32_t hive, const std::string& key, const std::string& valueName, const std::string& data);

private:
    // hive, upper-cased key -> upper-cased value name -> value
    std::map<std::pair<std::uint32_t, std::string>, std::map<std::string, RegistryValue>> keys_;
};

}  // namespace qv::posix

// The Windows registry, with an overlay in which the components this program brings itself are
// registered (the SQLite engine in the data-access components' place), so that a Windows without
// Jet still finds its database components.
#pragma once

#include "platform/memory_registry.h"
#include "platform/platform.h"

namespace qv::win32 {

class Win32Registry : public Registry {
public:
    Win32Registry();  // fills the overlay
    RegistryStatus read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                        RegistryValue& out) override;

private:
    MemoryRegistry overlay_;
};

}  // namespace qv::win32

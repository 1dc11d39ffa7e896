// The Windows registry (being built): the overlay only.
#include "platform/win32/registry-win32.h"

namespace qv::win32 {

Win32Registry::Win32Registry() {}
RegistryStatus Win32Registry::read(std::uint32_t, const std::string&, const std::string&, RegistryValue&) {
    return RegistryStatus::KeyMissing;
}

}  // namespace qv::win32

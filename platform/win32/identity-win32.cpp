// Identity of the local Windows computer (being built).
#include "platform/win32/identity-win32.h"

namespace qv::win32 {

bool Win32Identity::computerName(std::string&) { return false; }
bool Win32Identity::userName(std::string&) { return false; }
bool Win32Identity::dnsDomain(std::string&) { return false; }
bool Win32Identity::documentsFolder(std::string&) { return false; }
bool Win32Identity::privilegeLevel(const std::string&, std::int32_t&) { return false; }
bool Win32Identity::primaryDCName(std::string&) { return false; }
bool Win32Identity::version(VersionRecord&) { return false; }

}  // namespace qv::win32

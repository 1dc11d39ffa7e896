// The directory through wldap32 (being built).
#include "platform/win32/directory-win32.h"

namespace qv::win32 {

bool WldapDirectory::defaultNamingContext(const std::string&, std::string&, std::string& why) {
    why = "not yet available";
    return false;
}
bool WldapDirectory::searchComputers(const std::string&, const std::string&, std::vector<std::optional<std::string>>&,
                                     std::string& why) {
    why = "not yet available";
    return false;
}

}  // namespace qv::win32

// The directory layer on POSIX (LDAP).
#include "platform/posix/directory-posix.h"

namespace qv::posix {

bool LdapDirectory::defaultNamingContext(const std::string& server, std::string&, std::string& why) {
    why = "Unable to bind to LDAP://" + server + "/rootDSE";
    return false;
}

bool LdapDirectory::searchComputers(const std::string&, const std::string&, std::vector<std::optional<std::string>>&,
                                    std::string& why) {
    why = "Directory search not available";
    return false;
}

}  // namespace qv::posix

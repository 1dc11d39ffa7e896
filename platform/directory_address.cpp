// Reading the directory server and search base, for every directory back-end.
#include "platform/directory_address.h"

#include <strings.h>

#include <cctype>

namespace qv {

DirectoryBase parseDirectoryBase(const std::string& base) {
    DirectoryBase b;
    b.dn = base;
    if (strncasecmp(base.c_str(), "GC://", 5) == 0) {
        b.scheme = "GC://";
        b.dn = base.substr(5);
        b.globalCatalog = true;
    } else if (strncasecmp(base.c_str(), "LDAP://", 7) == 0) {
        b.dn = base.substr(7);
    }
    return b;
}

bool isDirectoryHostName(const std::string& server) {
    if (server.empty()) return false;
    for (unsigned char c : server)
        if (!std::isalnum(c) && c != '-' && c != '.' && c != '_') return false;
    return true;
}

}  // namespace qv

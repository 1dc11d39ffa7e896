// Reading the directory server and search base, for every directory back-end.
#include "platform/directory_address.h"

#include <cctype>

#include "platform/text.h"

namespace qv {

DirectoryBase parseDirectoryBase(const std::string& base) {
    DirectoryBase b;
    b.dn = base;
    if (text::equalsIgnoringCase(std::string_view(base).substr(0, 5), "GC://")) {
        b.scheme = "GC://";
        b.dn = base.substr(5);
        b.globalCatalog = true;
    } else if (text::equalsIgnoringCase(std::string_view(base).substr(0, 7), "LDAP://")) {
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

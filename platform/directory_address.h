// How the directory back-ends read the server and base they are given: shared so that every
// back-end refuses the same servers and reaches the same port for the same base.
#pragma once

#include <string>

namespace qv {

// "GC://dn" searches the global catalog, "LDAP://dn" or a bare dn the directory itself.
struct DirectoryBase {
    std::string scheme = "LDAP://";  // as the failure texts name the place
    std::string dn;
    bool globalCatalog = false;
};
DirectoryBase parseDirectoryBase(const std::string& base);

// A server given to the directory must be a plain host name or address (letters, digits, '-',
// '.', '_'), so that nothing else reaches the LDAP library's address parser.
bool isDirectoryHostName(const std::string& server);

}  // namespace qv

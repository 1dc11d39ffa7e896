// The directory back-ends' shared order of bind and search, and their failure texts.
#include "platform/directory_search.h"

#include <utility>

#include "platform/directory_address.h"

namespace qv {

bool readDefaultNamingContext(LdapSession& session, const std::string& server, int port, std::string& namingContext,
                              std::string& why) {
    const std::string where = "LDAP://" + server + "/rootDSE";
    if (!isDirectoryHostName(server)) {
        why = "Unable to bind to " + where + ": not a host name";
        return false;
    }
    std::string failure;
    if (!session.connectAndBind(server, port, failure)) {
        why = "Unable to bind to " + where + ": " + failure;
        return false;
    }
    std::optional<std::string> value;
    if (!session.rootDseValue("defaultNamingContext", value, failure)) {
        why = "Unable to read " + where + ": " + failure;
        return false;
    }
    if (!value || value->empty()) {
        why = "defaultNamingContext not readable on " + server;
        return false;
    }
    namingContext = *value;
    return true;
}

bool searchComputerNames(LdapSession& session, const std::string& server, const std::string& base, int ldapPort,
                         int globalCatalogPort, std::vector<std::optional<std::string>>& names, std::string& why) {
    const DirectoryBase where = parseDirectoryBase(base);
    if (!isDirectoryHostName(server)) {
        why = "Unable to bind to " + where.scheme + server + ": not a host name";
        return false;
    }
    std::string failure;
    if (!session.connectAndBind(server, where.globalCatalog ? globalCatalogPort : ldapPort, failure)) {
        why = "Unable to bind to " + where.scheme + server + ": " + failure;
        return false;
    }
    std::vector<std::optional<std::string>> found;
    if (!session.computerNames(where.dn, found, failure)) {
        why = "Search of " + where.scheme + where.dn + " failed: " + failure;
        return false;
    }
    names = std::move(found);
    return true;
}

}  // namespace qv

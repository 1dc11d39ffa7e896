// The directory back-ends' shared order of bind and search, and their failure texts.
#include "platform/directory_search.h"

#include <utility>

#include "platform/directory_address.h"

namespace qv {

Result<std::string> readDefaultNamingContext(LdapSession& session, const std::string& server, int port) {
    const std::string where = "LDAP://" + server + "/rootDSE";
    if (!isDirectoryHostName(server)) return CallError::because("Unable to bind to " + where + ": not a host name");
    if (Result<Done> bound = session.connectAndBind(server, port); !bound)
        return CallError::because("Unable to bind to " + where + ": " + bound.error().why());
    Result<std::optional<std::string>> value = session.rootDseValue("defaultNamingContext");
    if (!value) return CallError::because("Unable to read " + where + ": " + value.error().why());
    if (!*value || (*value)->empty()) return CallError::because("defaultNamingContext not readable on " + server);
    return std::move(**value);
}

Result<std::vector<std::optional<std::string>>> searchComputerNames(LdapSession& session, const std::string& server,
                                                                    const std::string& base, int ldapPort,
                                                                    int globalCatalogPort) {
    const DirectoryBase where = parseDirectoryBase(base);
    if (!isDirectoryHostName(server))
        return CallError::because("Unable to bind to " + where.scheme + server + ": not a host name");
    if (Result<Done> bound = session.connectAndBind(server, where.globalCatalog ? globalCatalogPort : ldapPort); !bound)
        return CallError::because("Unable to bind to " + where.scheme + server + ": " + bound.error().why());
    Result<std::vector<std::optional<std::string>>> found = session.computerNames(where.dn);
    if (!found) return CallError::because("Search of " + where.scheme + where.dn + " failed: " + found.error().why());
    return found;
}

}  // namespace qv

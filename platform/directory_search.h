// What every directory back-end does the same way: the checks of the server, the failure texts
// and the order of bind and search, over a small session each LDAP library implements.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace qv {

// One connection through one LDAP library (OpenLDAP's libldap, wldap32).
class LdapSession {
public:
    virtual ~LdapSession() = default;
    // Connects to host:port and binds as the user who runs the program, or gives the reason.
    virtual Result<Done> connectAndBind(const std::string& host, int port) = 0;
    // The first value of `attribute` of the rootDSE (nullopt when it has none), or the library's
    // reason when the search fails.
    virtual Result<std::optional<std::string>> rootDseValue(const std::string& attribute) = 0;
    // The name of every computer object under `dn` (nullopt for an entry without one), page by
    // page in returned order, or the library's reason when a page cannot be read.
    virtual Result<std::vector<std::optional<std::string>>> computerNames(const std::string& dn) = 0;
};

// The rootDSE's defaultNamingContext of `server`, through `session`.
Result<std::string> readDefaultNamingContext(LdapSession& session, const std::string& server, int port);

// Every computer under `base` ("GC://" + DN searches the global catalog on `globalCatalogPort`,
// "LDAP://" + DN or a bare DN the directory on `ldapPort`).
Result<std::vector<std::optional<std::string>>> searchComputerNames(LdapSession& session, const std::string& server,
                                                                    const std::string& base, int ldapPort,
                                                                    int globalCatalogPort);

}  // namespace qv

// What every directory back-end does the same way: the checks of the server, the failure texts
// and the order of bind and search, over a small session each LDAP library implements.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

// One connection through one LDAP library (OpenLDAP's libldap, wldap32).
class LdapSession {
public:
    virtual ~LdapSession() = default;
    // Connects to host:port and binds as the user who runs the program; false with the reason.
    virtual bool connectAndBind(const std::string& host, int port, std::string& why) = 0;
    // The first value of `attribute` of the rootDSE (nullopt when it has none); false with the
    // library's reason when the search fails.
    virtual bool rootDseValue(const std::string& attribute, std::optional<std::string>& value, std::string& why) = 0;
    // The name of every computer object under `dn` (nullopt for an entry without one), page by
    // page in returned order; false with the library's reason when a page cannot be read.
    virtual bool computerNames(const std::string& dn, std::vector<std::optional<std::string>>& names,
                               std::string& why) = 0;
};

// The rootDSE's defaultNamingContext of `server`, through `session`.
bool readDefaultNamingContext(LdapSession& session, const std::string& server, int port, std::string& namingContext,
                              std::string& why);

// Every computer under `base` ("GC://" + DN searches the global catalog on `globalCatalogPort`,
// "LDAP://" + DN or a bare DN the directory on `ldapPort`).
bool searchComputerNames(LdapSession& session, const std::string& server, const std::string& base, int ldapPort,
                         int globalCatalogPort, std::vector<std::optional<std::string>>& names, std::string& why);

}  // namespace qv

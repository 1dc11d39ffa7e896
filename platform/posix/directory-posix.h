// The directory layer on POSIX: the domain controller's LDAP service and global catalog through libldap.
#pragma once

#include "platform/platform.h"

namespace qv::posix {

// Binds as the user who runs the program (SASL GSSAPI with the user's Kerberos ticket when one
// exists, else anonymously). The ports are those of a domain controller; tests point them at a
// local server.
class LdapDirectory : public Directory {
public:
    explicit LdapDirectory(int ldapPort = 389, int globalCatalogPort = 3268)
        : ldapPort_(ldapPort), globalCatalogPort_(globalCatalogPort) {}
    qv::Result<std::string> defaultNamingContext(const std::string& server) override;
    // `base` is "GC://" + DN (the global catalog) or "LDAP://" + DN; subtree search for
    // "(objectCategory=Computer)", paged so that every computer is listed.
    qv::Result<DirectoryNames> searchComputers(const std::string& server, const std::string& base) override;
    // The best host of the forest's "_gc._tcp" service records in DNS.
    bool globalCatalogServer(const std::string& domain, std::string& server) override;

private:
    int ldapPort_;
    int globalCatalogPort_;
};

}  // namespace qv::posix

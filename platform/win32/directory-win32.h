// The directory of a domain controller through wldap32.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

// Binds with the credentials of the user who runs the program (Negotiate), else anonymously.
// The ports are those of a domain controller; tests point them at a local server.
class WldapDirectory : public Directory {
public:
    explicit WldapDirectory(int ldapPort = 389, int globalCatalogPort = 3268)
        : ldapPort_(ldapPort), globalCatalogPort_(globalCatalogPort) {}
    qv::Result<std::string> defaultNamingContext(const std::string& server) override;
    // `base` is "GC://" + DN (the global catalog) or "LDAP://" + DN; subtree search for
    // "(objectCategory=Computer)", paged so that every computer is listed.
    qv::Result<DirectoryNames> searchComputers(const std::string& server, const std::string& base) override;
    // The domain-controller locator's answer for a global catalog of this computer's forest.
    bool globalCatalogServer(const std::string& domain, std::string& server) override;

private:
    int ldapPort_;
    int globalCatalogPort_;
};

}  // namespace qv::win32

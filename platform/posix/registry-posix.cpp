// The in-memory registry of the POSIX platform. Linux has no registry; the components the program
// itself provides register here as Windows components register themselves, so that the environment
// probe finds them: the local management provider, the SQLite engine in the data-access and database
// provider's place, the text reader, and the LDAP directory layer. WinNT\Clsid stays absent.
#include "platform/posix/registry-posix.h"

#include <ldap.h>

#include "platform/components.h"

namespace qv::posix {

PosixRegistry::PosixRegistry() {
    setString(kHiveClassesRoot, "WINMGMTS\\CurVer", "", "WINMGMTS.1");
    LDAPAPIInfo info {};
    info.ldapai_info_version = LDAP_API_INFO_VERSION;
    std::string ldapVersion = "OpenLDAP";
    if (ldap_get_option(nullptr, LDAP_OPT_API_INFO, &info) == LDAP_SUCCESS) {
        ldapVersion = std::string(info.ldapai_vendor_name ? info.ldapai_vendor_name : "OpenLDAP") + " " +
                      std::to_string(info.ldapai_vendor_version);
        if (info.ldapai_vendor_name) ldap_memfree(info.ldapai_vendor_name);
        if (info.ldapai_extensions) ber_memvfree(reinterpret_cast<void**>(info.ldapai_extensions));
    }
    for (const ComponentEntry& e : ownComponents(ldapVersion)) setString(e.hive, e.key, e.valueName, e.text);
}

}  // namespace qv::posix

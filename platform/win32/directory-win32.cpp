// The directory through wldap32: rootDSE of the domain controller and paged global-catalog searches.
#include "platform/win32/host-win32.h"
#include "platform/win32/directory-win32.h"

#include <windows.h>
#include <winldap.h>
#include <dsgetdc.h>
#include <lm.h>


#include "platform/directory_search.h"
#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

// Large domains are listed page by page; a domain controller serves at most 1,000 per page.
constexpr ULONG kPageSize = 1000;
constexpr LONG kNetworkTimeoutSeconds = 15;
constexpr LONG kOperationTimeoutSeconds = 120;

struct Connection {
    LDAP* ld = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(); }
    void close() {
        if (ld) ldap_unbind_s(ld);
        ld = nullptr;
    }
};

struct Message {
    LDAPMessage* message = nullptr;
    Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    ~Message() { reset(); }
    void reset() {
        if (message) ldap_msgfree(message);
        message = nullptr;
    }
};

// The server goes into the connection as a host name or address, nothing else.
std::string errorText(ULONG rc) {
    const wchar_t* text = ldap_err2stringW(rc);
    return text ? fromWide(text, wcslen(text)) : "LDAP error " + std::to_string(rc);
}

// The error text, with the server's own diagnostic where it gave one.
std::string errorText(LDAP* ld, ULONG rc) {
    std::string text = errorText(rc);
    wchar_t* detail = nullptr;
    if (ldap_get_optionW(ld, LDAP_OPT_SERVER_ERROR, &detail) == LDAP_SUCCESS && detail) {
        if (*detail) text += " - " + fromWide(detail, wcslen(detail));
        ldap_memfreeW(detail);
    }
    return text;
}

bool open(Connection& c, const std::string& host, int port, std::string& why) {
    c.close();
    std::wstring wideHost = toWide(host);
    c.ld = ldap_initW(wideHost.data(), static_cast<ULONG>(port));
    if (!c.ld) {
        why = errorText(LdapGetLastError());
        return false;
    }
    ULONG version = LDAP_VERSION3;
    ldap_set_option(c.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(c.ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ULONG limit = kOperationTimeoutSeconds;
    ldap_set_option(c.ld, LDAP_OPT_TIMELIMIT, &limit);
    l_timeval network{kNetworkTimeoutSeconds, 0};
    ULONG rc = ldap_connect(c.ld, &network);
    if (rc != LDAP_SUCCESS) {
        why = errorText(rc);
        c.close();
        return false;
    }
    return true;
}

bool ldapBindAnonymously(Connection& c, std::string& why) {
    ULONG rc = ldap_simple_bind_sW(c.ld, nullptr, nullptr);
    if (rc == LDAP_SUCCESS) return true;
    why = errorText(rc);
    return false;
}

// Wine's wldap32 (8.0) reads the credentials it is given in its SASL callback without testing
// them for null, so a Negotiate bind as the current user ends the process there.
bool negotiateBindUsable() { return !runningUnderWine(); }

// Connects and binds as the user who runs the program, else anonymously.
bool connectAndBind(Connection& c, const std::string& host, int port, std::string& why) {
    if (!open(c, host, port, why)) return false;
    if (!negotiateBindUsable()) return ldapBindAnonymously(c, why);
    ULONG rc = ldap_bind_sW(c.ld, nullptr, nullptr, LDAP_AUTH_NEGOTIATE);
    if (rc == LDAP_SUCCESS) return true;
    const std::string negotiateFailure = "Negotiate: " + errorText(rc) + "; ";
    // A fresh connection, so nothing of the failed exchange stays behind.
    if (!open(c, host, port, why)) return false;
    if (ldapBindAnonymously(c, why)) return true;
    why = negotiateFailure + why;
    return false;
}

// The first value of an attribute of an entry (directory values are UTF-8); nullopt when none.
std::optional<std::string> firstValue(LDAP* ld, LDAPMessage* entry, const wchar_t* attribute) {
    std::wstring name = attribute;
    berval** values = ldap_get_values_lenW(ld, entry, name.data());
    std::optional<std::string> value;
    if (values && values[0]) value.emplace(values[0]->bv_val, values[0]->bv_len);
    if (values) ldap_value_free_len(values);
    return value;
}

// A connection through wldap32, bound as the user who runs the program.
class WldapSession : public LdapSession {
public:
    qv::Result<Done> connectAndBind(const std::string& host, int port) override {
        std::string why;
        if (!win32::connectAndBind(c_, host, port, why)) return CallError::because(why);
        return Done{};
    }

    qv::Result<std::optional<std::string>> rootDseValue(const std::string& attribute) override {
        std::wstring name = toWide(attribute);
        wchar_t* attributes[] = {name.data(), nullptr};
        wchar_t base[] = L"", filter[] = L"(objectClass=*)";
        l_timeval limit{kOperationTimeoutSeconds, 0};
        Message result;
        ULONG rc = ldap_search_ext_sW(c_.ld, base, LDAP_SCOPE_BASE, filter, attributes, 0, nullptr, nullptr, &limit, 0,
                                      &result.message);
        if (rc != LDAP_SUCCESS) return CallError::because(errorText(c_.ld, rc));
        LDAPMessage* entry = ldap_first_entry(c_.ld, result.message);
        return entry ? firstValue(c_.ld, entry, name.c_str()) : std::nullopt;
    }

    qv::Result<DirectoryNames> computerNames(const std::string& dn) override {
        DirectoryNames names;
        std::wstring wideDn = toWide(dn);
        wchar_t dnAttribute[] = L"distinguishedName", nameAttribute[] = L"name";
        wchar_t* attributes[] = {dnAttribute, nameAttribute, nullptr};
        wchar_t filter[] = L"(objectCategory=Computer)";
        LDAPSearch* search = ldap_search_init_pageW(c_.ld, wideDn.data(), LDAP_SCOPE_SUBTREE, filter, attributes, 0,
                                                    nullptr, nullptr, kOperationTimeoutSeconds, 0, nullptr);
        if (!search) return CallError::because(errorText(c_.ld, LdapGetLastError()));
        ULONG rc = LDAP_SUCCESS;
        for (;;) {
            Message page;
            ULONG total = 0;
            l_timeval limit{kOperationTimeoutSeconds, 0};
            rc = ldap_get_next_page_s(c_.ld, search, &limit, kPageSize, &total, &page.message);
            // The last page has been read.
            if (rc == LDAP_NO_RESULTS_RETURNED) break;
            // A referral to another part of the forest ends the page; its own entries still count.
            if (rc != LDAP_SUCCESS && rc != LDAP_REFERRAL) break;
            for (LDAPMessage* entry = ldap_first_entry(c_.ld, page.message); entry;
                 entry = ldap_next_entry(c_.ld, entry))
                names.push_back(firstValue(c_.ld, entry, nameAttribute));
            if (rc == LDAP_REFERRAL) break;
        }
        ldap_search_abandon_page(c_.ld, search);
        if (rc != LDAP_SUCCESS && rc != LDAP_NO_RESULTS_RETURNED && rc != LDAP_REFERRAL)
            return CallError::because(errorText(c_.ld, rc));
        return names;
    }

private:
    Connection c_;
};

}  // namespace

qv::Result<std::string> WldapDirectory::defaultNamingContext(const std::string& server) {
    WldapSession session;
    return readDefaultNamingContext(session, server, ldapPort_);
}

qv::Result<DirectoryNames> WldapDirectory::searchComputers(const std::string& server, const std::string& base) {
    WldapSession session;
    return searchComputerNames(session, server, base, ldapPort_, globalCatalogPort_);
}

bool WldapDirectory::globalCatalogServer(const std::string&, std::string& server) {
    // The locator works from this computer's own domain and site; the domain name the run knows
    // may be a workgroup's, so it is not passed.
    DOMAIN_CONTROLLER_INFOW* info = nullptr;
    if (DsGetDcNameW(nullptr, nullptr, nullptr, nullptr, DS_GC_SERVER_REQUIRED | DS_RETURN_DNS_NAME, &info) !=
            ERROR_SUCCESS ||
        !info)
        return false;
    std::wstring name = info->DomainControllerName ? info->DomainControllerName : L"";
    NetApiBufferFree(info);
    while (!name.empty() && name.front() == L'\\') name.erase(0, 1);
    if (name.empty()) return false;
    server = fromWide(name);
    return true;
}

}  // namespace qv::win32

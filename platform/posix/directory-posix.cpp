// The directory layer on POSIX: rootDSE and paged global-catalog searches through OpenLDAP's libldap.
#include "platform/posix/directory-posix.h"
#include "platform/posix/service-records.h"

#include <ldap.h>
#include <sasl/sasl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/directory_search.h"

namespace qv::posix {

namespace {

// Large domains are listed page by page; a domain controller serves at most 1,000 per page.
constexpr int kPageSize = 1000;
constexpr int kNetworkTimeoutSeconds = 15;
constexpr int kOperationTimeoutSeconds = 120;

struct Connection {
    LDAP* ld = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(); }
    void close() {
        if (ld) ldap_unbind_ext_s(ld, nullptr, nullptr);
        ld = nullptr;
    }
};

struct Message {
    LDAPMessage* message = nullptr;
    Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    ~Message() {
        if (message) ldap_msgfree(message);
    }
};

// The server goes into an LDAP URL: a host name or address, nothing else.
// The GSSAPI mechanism asks for nothing it does not have a default for.
int saslInteract(LDAP*, unsigned, void*, void* prompts) {
    for (auto* p = static_cast<sasl_interact_t*>(prompts); p && p->id != SASL_CB_LIST_END; ++p) {
        const char* answer = p->defresult ? p->defresult : "";
        p->result = answer;
        p->len = static_cast<unsigned>(std::strlen(answer));
    }
    return LDAP_SUCCESS;
}

// True when the user holds a Kerberos credential cache: the file one exists, or a cache of
// another kind (keyring, KCM) is named, which the GSSAPI mechanism then looks into.
bool kerberosTicketPresent() {
    const char* named = std::getenv("KRB5CCNAME");
    std::string cache = named && *named ? named : "FILE:/tmp/krb5cc_" + std::to_string(::getuid());
    std::string path;
    if (cache.rfind("FILE:", 0) == 0)
        path = cache.substr(5);
    else if (cache[0] == '/')
        path = cache;
    else
        return cache.find(':') != std::string::npos;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

bool open(Connection& c, const std::string& host, int port, std::string& why) {
    c.close();
    const std::string uri = "ldap://" + host + ":" + std::to_string(port);
    int rc = ldap_initialize(&c.ld, uri.c_str());
    if (rc != LDAP_SUCCESS || !c.ld) {
        c.ld = nullptr;
        why = ldap_err2string(rc);
        return false;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(c.ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(c.ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    timeval network{kNetworkTimeoutSeconds, 0};
    ldap_set_option(c.ld, LDAP_OPT_NETWORK_TIMEOUT, &network);
    timeval operation{kOperationTimeoutSeconds, 0};
    ldap_set_option(c.ld, LDAP_OPT_TIMEOUT, &operation);
    return true;
}

// Connects and binds as the user who runs the program: GSSAPI with a Kerberos ticket, else anonymously.
bool connectAndBind(Connection& c, const std::string& host, int port, std::string& why) {
    std::string gssapiFailure;
    if (kerberosTicketPresent()) {
        if (!open(c, host, port, why)) return false;
        int rc = ldap_sasl_interactive_bind_s(c.ld, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET, saslInteract,
                                              nullptr);
        if (rc == LDAP_SUCCESS) return true;
        gssapiFailure = std::string("GSSAPI: ") + ldap_err2string(rc) + "; ";
    }
    if (!open(c, host, port, why)) return false;
    berval empty{0, nullptr};
    int rc = ldap_sasl_bind_s(c.ld, nullptr, LDAP_SASL_SIMPLE, &empty, nullptr, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        why = gssapiFailure + ldap_err2string(rc);
        return false;
    }
    return true;
}

std::string errorText(LDAP* ld, int rc) {
    std::string text = ldap_err2string(rc);
    char* detail = nullptr;
    if (ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &detail) == LDAP_OPT_SUCCESS && detail) {
        if (*detail) text += std::string(" - ") + detail;
        ldap_memfree(detail);
    }
    return text;
}

// The first value of an attribute of an entry; nullopt when the entry has none.
std::optional<std::string> firstValue(LDAP* ld, LDAPMessage* entry, const char* attribute) {
    berval** values = ldap_get_values_len(ld, entry, attribute);
    std::optional<std::string> value;
    if (values && values[0]) value.emplace(values[0]->bv_val, values[0]->bv_len);
    if (values) ldap_value_free_len(values);
    return value;
}

// A connection through libldap, bound as the user who runs the program.
class LibldapSession : public LdapSession {
public:
    qv::Result<Done> connectAndBind(const std::string& host, int port) override {
        std::string why;
        if (!posix::connectAndBind(c_, host, port, why)) return CallError::because(why);
        return Done{};
    }

    qv::Result<std::optional<std::string>> rootDseValue(const std::string& attribute) override {
        std::string name = attribute;
        char* attributes[] = {name.data(), nullptr};
        timeval limit{kOperationTimeoutSeconds, 0};
        Message result;
        int rc = ldap_search_ext_s(c_.ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0, nullptr, nullptr,
                                   &limit, LDAP_NO_LIMIT, &result.message);
        if (rc != LDAP_SUCCESS) return CallError::because(errorText(c_.ld, rc));
        LDAPMessage* entry = ldap_first_entry(c_.ld, result.message);
        return entry ? firstValue(c_.ld, entry, name.c_str()) : std::nullopt;
    }

    qv::Result<DirectoryNames> computerNames(const std::string& dn) override {
        DirectoryNames names;
        char dnAttribute[] = "distinguishedName", nameAttribute[] = "name";
        char* attributes[] = {dnAttribute, nameAttribute, nullptr};
        char filter[] = "(objectCategory=Computer)";
        berval cookie{0, nullptr};
        auto dropCookie = [&cookie] {
            if (cookie.bv_val) ber_memfree(cookie.bv_val);
            cookie = berval{0, nullptr};
        };
        for (;;) {
            LDAPControl* page = nullptr;
            int rc = ldap_create_page_control(c_.ld, kPageSize, cookie.bv_val ? &cookie : nullptr, 0, &page);
            if (rc != LDAP_SUCCESS) {
                dropCookie();
                return CallError::because(ldap_err2string(rc));
            }
            LDAPControl* controls[] = {page, nullptr};
            timeval limit{kOperationTimeoutSeconds, 0};
            Message result;
            rc = ldap_search_ext_s(c_.ld, dn.c_str(), LDAP_SCOPE_SUBTREE, filter, attributes, 0, controls, nullptr,
                                   &limit, LDAP_NO_LIMIT, &result.message);
            ldap_control_free(page);
            // A referral to another part of the forest ends the page; its own entries still count.
            if (rc != LDAP_SUCCESS && rc != LDAP_REFERRAL) {
                dropCookie();
                return CallError::because(errorText(c_.ld, rc));
            }
            for (LDAPMessage* entry = ldap_first_entry(c_.ld, result.message); entry;
                 entry = ldap_next_entry(c_.ld, entry))
                names.push_back(firstValue(c_.ld, entry, nameAttribute));

            LDAPControl** returned = nullptr;
            int resultCode = LDAP_SUCCESS;
            ldap_parse_result(c_.ld, result.message, &resultCode, nullptr, nullptr, nullptr, &returned, 0);
            dropCookie();
            bool more = false;
            if (LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
                ber_int_t estimate = 0;
                more = ldap_parse_pageresponse_control(c_.ld, response, &estimate, &cookie) == LDAP_SUCCESS &&
                       cookie.bv_len > 0;
            }
            if (returned) ldap_controls_free(returned);
            if (!more) break;
        }
        dropCookie();
        return names;
    }

private:
    Connection c_;
};

}  // namespace

qv::Result<std::string> LdapDirectory::defaultNamingContext(const std::string& server) {
    LibldapSession session;
    return readDefaultNamingContext(session, server, ldapPort_);
}

qv::Result<DirectoryNames> LdapDirectory::searchComputers(const std::string& server, const std::string& base) {
    LibldapSession session;
    return searchComputerNames(session, server, base, ldapPort_, globalCatalogPort_);
}

bool LdapDirectory::globalCatalogServer(const std::string& domain, std::string& server) {
    std::vector<std::string> hosts = globalCatalogHosts(domain);
    if (hosts.empty()) return false;
    server = hosts.front();
    return true;
}

}  // namespace qv::posix

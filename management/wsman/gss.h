// The GSSAPI security context of one TCP connection (SPNEGO with Kerberos or NTLM) and the
// message encryption of WS-Management over HTTP.
#pragma once

#include <memory>
#include <string>

#include "management/wsman/encrypted_body.h"

namespace qv::management::wsman {

enum class Mechanism { Kerberos, Ntlm };

// A user and password for NTLM. The password is kept only here and handed only to GSSAPI.
struct Password {
    std::string user;  // "DOMAIN\user" or "user@DOMAIN"
    std::string secret;
};

class SecurityContext {
public:
    enum class Step { Continue, Complete, Failed };

    // A context for HTTP/<serviceHost>. Kerberos takes the user's ticket cache; NTLM the
    // password. Null with `why` when no credential can be had.
    static std::unique_ptr<SecurityContext> make(Mechanism mech, const std::string& serviceHost,
                                                 const Password* password, std::string& why);
    // The accepting side of a context, as a WS-Management server holds it: the default acceptor
    // credentials (a keytab for Kerberos, gss-ntlmssp's user file for NTLM).
    static std::unique_ptr<SecurityContext> accept();
    ~SecurityContext();
    SecurityContext(const SecurityContext&) = delete;
    SecurityContext& operator=(const SecurityContext&) = delete;

    // One leg of the handshake: the other side's token (empty first for a client) in, the next
    // token out. Complete only with confidentiality and integrity granted.
    Step step(const std::string& in, std::string& out, std::string& why);

    // Seals a message: the signature and the sealed bytes, as the encrypted body carries them.
    bool seal(const std::string& plain, std::string& signature, std::string& sealed, std::string& why);
    bool unseal(const std::string& signature, const std::string& sealed, std::string& plain, std::string& why);

private:
    struct Impl;
    explicit SecurityContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The multipart body that carries a sealed SOAP message; false with `why` when sealing failed.
bool encryptBody(SecurityContext& context, const std::string& soap, std::string& body, std::string& why);
// The SOAP message of an encrypted body: its parts split (splitEncryptedBody) and unsealed, the
// unsealed length checked against OriginalContent's Length.
bool decryptBody(SecurityContext& context, const std::string& body, std::string& soap, std::string& why);

}  // namespace qv::management::wsman

// SPNEGO over MIT GSSAPI: Kerberos from the ticket cache, NTLM through gss-ntlmssp, and the
// sealing of WS-Management messages with the context.
#include "management/wsman/gss.h"

#include <gssapi/gssapi.h>
#include <gssapi/gssapi_ext.h>
#include <gssapi/gssapi_krb5.h>
#include <gssapi/gssapi_ntlmssp.h>

#include <cstring>
#include <vector>

namespace qv::management::wsman {

namespace {

gss_OID_desc kSpnego = {6, const_cast<char*>("\x2b\x06\x01\x05\x05\x02")};
gss_OID_desc kKrb5 = {9, const_cast<char*>("\x2a\x86\x48\x86\xf7\x12\x01\x02\x02")};
gss_OID_desc kNtlm = {10, const_cast<char*>("\x2b\x06\x01\x04\x01\x82\x37\x02\x02\x0a")};

std::string statusText(OM_uint32 major, OM_uint32 minor, gss_OID mech) {
    std::string out;
    for (int kind : {GSS_C_GSS_CODE, GSS_C_MECH_CODE}) {
        OM_uint32 code = kind == GSS_C_GSS_CODE ? major : minor;
        if (kind == GSS_C_MECH_CODE && minor == 0) break;
        OM_uint32 ctx = 0, m = 0;
        do {
            gss_buffer_desc text = GSS_C_EMPTY_BUFFER;
            if (gss_display_status(&m, code, kind, mech, &ctx, &text) != GSS_S_COMPLETE) break;
            if (!out.empty()) out += "; ";
            out.append(static_cast<const char*>(text.value), text.length);
            gss_release_buffer(&m, &text);
        } while (ctx != 0);
    }
    return out.empty() ? "GSSAPI error" : out;
}

std::string take(gss_buffer_desc& b) {
    std::string s(static_cast<const char*>(b.value), b.length);
    OM_uint32 minor = 0;
    gss_release_buffer(&minor, &b);
    return s;
}

bool sameOid(gss_OID a, const gss_OID_desc& b) {
    return a && a->length == b.length && std::memcmp(a->elements, b.elements, b.length) == 0;
}

}  // namespace

struct SecurityContext::Impl {
    Mechanism mech = Mechanism::Kerberos;
    gss_cred_id_t cred = GSS_C_NO_CREDENTIAL;
    gss_name_t target = GSS_C_NO_NAME;
    gss_ctx_id_t ctx = GSS_C_NO_CONTEXT;
    bool kerberosWrap = false;  // the negotiated mechanism is Kerberos: header/data/padding
    bool acceptor = false;
    ~Impl() {
        OM_uint32 minor = 0;
        if (ctx != GSS_C_NO_CONTEXT) gss_delete_sec_context(&minor, &ctx, GSS_C_NO_BUFFER);
        if (target != GSS_C_NO_NAME) gss_release_name(&minor, &target);
        if (cred != GSS_C_NO_CREDENTIAL) gss_release_cred(&minor, &cred);
    }
};

SecurityContext::SecurityContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SecurityContext::~SecurityContext() = default;

std::unique_ptr<SecurityContext> SecurityContext::make(Mechanism mech, const std::string& serviceHost,
                                                       const Password* password, std::string& why) {
    auto impl = std::make_unique<Impl>();
    impl->mech = mech;
    OM_uint32 major = 0, minor = 0;
    const std::string service = "HTTP@" + serviceHost;
    gss_buffer_desc nameBuf{service.size(), const_cast<char*>(service.data())};
    major = gss_import_name(&minor, &nameBuf, GSS_C_NT_HOSTBASED_SERVICE, &impl->target);
    if (GSS_ERROR(major)) {
        why = "service name " + service + ": " + statusText(major, minor, GSS_C_NO_OID);
        return nullptr;
    }
    gss_OID_set_desc spnegoSet{1, &kSpnego};
    gss_OID_set_desc only{1, mech == Mechanism::Kerberos ? &kKrb5 : &kNtlm};
    if (mech == Mechanism::Ntlm) {
        if (!password) {
            why = "no password for NTLM";
            return nullptr;
        }
        gss_name_t user = GSS_C_NO_NAME;
        gss_buffer_desc userBuf{password->user.size(), const_cast<char*>(password->user.data())};
        major = gss_import_name(&minor, &userBuf, GSS_C_NT_USER_NAME, &user);
        if (GSS_ERROR(major)) {
            why = "user name: " + statusText(major, minor, GSS_C_NO_OID);
            return nullptr;
        }
        gss_buffer_desc secret{password->secret.size(), const_cast<char*>(password->secret.data())};
        // For NTLM alone: a password credential acquired for SPNEGO is acquired for every mechanism
        // it offers, and Kerberos would ask the default realm's KDC for a ticket with the password.
        major = gss_acquire_cred_with_password(&minor, user, &secret, GSS_C_INDEFINITE, &only, GSS_C_INITIATE,
                                               &impl->cred, nullptr, nullptr);
        OM_uint32 m2 = 0;
        gss_release_name(&m2, &user);
        if (GSS_ERROR(major)) {
            why = "NTLM credential (is gss-ntlmssp installed?): " + statusText(major, minor, GSS_C_NO_OID);
            return nullptr;
        }
    } else {
        major = gss_acquire_cred(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, &spnegoSet, GSS_C_INITIATE, &impl->cred,
                                 nullptr, nullptr);
        if (GSS_ERROR(major)) {
            why = "no Kerberos ticket (kinit): " + statusText(major, minor, GSS_C_NO_OID);
            return nullptr;
        }
    }
    if (mech == Mechanism::Kerberos) {
        // SPNEGO offers only Kerberos.
        major = gss_set_neg_mechs(&minor, impl->cred, &only);
        if (GSS_ERROR(major)) {
            why = "SPNEGO mechanism: " + statusText(major, minor, GSS_C_NO_OID);
            return nullptr;
        }
        // The ticket cache must hold a usable ticket-granting ticket for Kerberos to be tried.
        gss_cred_id_t krb = GSS_C_NO_CREDENTIAL;
        gss_OID_set_desc krbSet{1, &kKrb5};
        OM_uint32 lifetime = 0;
        major = gss_acquire_cred(&minor, GSS_C_NO_NAME, GSS_C_INDEFINITE, &krbSet, GSS_C_INITIATE, &krb, nullptr, &lifetime);
        OM_uint32 m2 = 0;
        if (krb != GSS_C_NO_CREDENTIAL) gss_release_cred(&m2, &krb);
        if (GSS_ERROR(major) || lifetime == 0) {
            why = "no Kerberos ticket (kinit): " + statusText(major, minor, &kKrb5);
            return nullptr;
        }
    }
    return std::unique_ptr<SecurityContext>(new SecurityContext(std::move(impl)));
}

std::unique_ptr<SecurityContext> SecurityContext::accept() {
    auto impl = std::make_unique<Impl>();
    impl->acceptor = true;
    return std::unique_ptr<SecurityContext>(new SecurityContext(std::move(impl)));
}

SecurityContext::Step SecurityContext::step(const std::string& in, std::string& out, std::string& why) {
    OM_uint32 minor = 0, flags = 0;
    gss_buffer_desc input{in.size(), const_cast<char*>(in.data())};
    gss_buffer_desc output = GSS_C_EMPTY_BUFFER;
    gss_OID actual = GSS_C_NO_OID;
    const OM_uint32 wanted = GSS_C_CONF_FLAG | GSS_C_INTEG_FLAG | GSS_C_SEQUENCE_FLAG | GSS_C_REPLAY_FLAG | GSS_C_MUTUAL_FLAG;
    OM_uint32 major =
        impl_->acceptor
            ? gss_accept_sec_context(&minor, &impl_->ctx, GSS_C_NO_CREDENTIAL, &input, GSS_C_NO_CHANNEL_BINDINGS,
                                     nullptr, &actual, &output, &flags, nullptr, nullptr)
            // NTLM's tokens go as they are under the Negotiate scheme, as Windows takes them.
            : gss_init_sec_context(&minor, impl_->cred, &impl_->ctx, impl_->target,
                                   impl_->mech == Mechanism::Ntlm ? &kNtlm : &kSpnego, wanted, 0,
                                   GSS_C_NO_CHANNEL_BINDINGS, in.empty() ? GSS_C_NO_BUFFER : &input, &actual, &output,
                                   &flags, nullptr);
    out = take(output);
    if (GSS_ERROR(major)) {
        why = statusText(major, minor, actual);
        return Step::Failed;
    }
    if (major & GSS_S_CONTINUE_NEEDED) return Step::Continue;
    if (!(flags & GSS_C_CONF_FLAG) || !(flags & GSS_C_INTEG_FLAG)) {
        why = "the security context offers no confidentiality";
        return Step::Failed;
    }
    gss_OID mech = GSS_C_NO_OID;
    if (gss_inquire_context(&minor, impl_->ctx, nullptr, nullptr, nullptr, &mech, nullptr, nullptr, nullptr) ==
        GSS_S_COMPLETE)
        impl_->kerberosWrap = sameOid(mech, kKrb5);
    else
        impl_->kerberosWrap = impl_->mech == Mechanism::Kerberos;
    return Step::Complete;
}

bool SecurityContext::seal(const std::string& plain, std::string& signature, std::string& sealed, std::string& why) {
    OM_uint32 major = 0, minor = 0;
    int conf = 0;
    if (impl_->kerberosWrap) {
        gss_iov_buffer_desc iov[3];
        iov[0].type = GSS_IOV_BUFFER_TYPE_HEADER | GSS_IOV_BUFFER_FLAG_ALLOCATE;
        iov[0].buffer = GSS_C_EMPTY_BUFFER;
        std::vector<char> data(plain.begin(), plain.end());
        iov[1].type = GSS_IOV_BUFFER_TYPE_DATA;
        iov[1].buffer = {data.size(), data.data()};
        iov[2].type = GSS_IOV_BUFFER_TYPE_PADDING | GSS_IOV_BUFFER_FLAG_ALLOCATE;
        iov[2].buffer = GSS_C_EMPTY_BUFFER;
        major = gss_wrap_iov(&minor, impl_->ctx, 1, GSS_C_QOP_DEFAULT, &conf, iov, 3);
        if (!GSS_ERROR(major) && conf) {
            signature.assign(static_cast<const char*>(iov[0].buffer.value), iov[0].buffer.length);
            sealed.assign(data.data(), data.size());
            sealed.append(static_cast<const char*>(iov[2].buffer.value), iov[2].buffer.length);
        }
        gss_release_iov_buffer(&minor, iov, 3);
    } else {
        gss_buffer_desc in{plain.size(), const_cast<char*>(plain.data())};
        gss_buffer_desc out = GSS_C_EMPTY_BUFFER;
        major = gss_wrap(&minor, impl_->ctx, 1, GSS_C_QOP_DEFAULT, &in, &conf, &out);
        if (!GSS_ERROR(major) && conf && out.length >= plain.size()) {
            // The token is the signature followed by the sealed bytes, as long as the message.
            std::string token = take(out);
            signature = token.substr(0, token.size() - plain.size());
            sealed = token.substr(token.size() - plain.size());
        } else {
            gss_release_buffer(&minor, &out);
        }
    }
    if (GSS_ERROR(major) || !conf) {
        why = GSS_ERROR(major) ? statusText(major, minor, GSS_C_NO_OID) : "message not sealed";
        return false;
    }
    return true;
}

bool SecurityContext::unseal(const std::string& signature, const std::string& sealed, std::string& plain, std::string& why) {
    OM_uint32 major = 0, minor = 0;
    int conf = 0;
    if (impl_->kerberosWrap) {
        std::vector<char> header(signature.begin(), signature.end()), data(sealed.begin(), sealed.end());
        gss_iov_buffer_desc iov[2];
        iov[0].type = GSS_IOV_BUFFER_TYPE_HEADER;
        iov[0].buffer = {header.size(), header.data()};
        iov[1].type = GSS_IOV_BUFFER_TYPE_DATA;
        iov[1].buffer = {data.size(), data.data()};
        major = gss_unwrap_iov(&minor, impl_->ctx, &conf, nullptr, iov, 2);
        if (!GSS_ERROR(major)) plain.assign(static_cast<const char*>(iov[1].buffer.value), iov[1].buffer.length);
    } else {
        std::string token = signature + sealed;
        gss_buffer_desc in{token.size(), token.data()};
        gss_buffer_desc out = GSS_C_EMPTY_BUFFER;
        major = gss_unwrap(&minor, impl_->ctx, &in, &out, &conf, nullptr);
        if (!GSS_ERROR(major)) plain = take(out);
        else gss_release_buffer(&minor, &out);
    }
    if (GSS_ERROR(major)) {
        why = "answer could not be unsealed: " + statusText(major, minor, GSS_C_NO_OID);
        return false;
    }
    if (!conf) {
        why = "answer not sealed";
        return false;
    }
    return true;
}

bool encryptBody(SecurityContext& context, const std::string& soap, std::string& body, std::string& why) {
    SealedParts parts;
    if (!context.seal(soap, parts.signature, parts.sealed, why)) return false;
    parts.length = soap.size();
    body = encryptedBody(parts);
    return true;
}

bool decryptBody(SecurityContext& context, const std::string& body, std::string& soap, std::string& why) {
    SealedParts parts;
    if (!splitEncryptedBody(body, parts, why)) return false;
    if (!context.unseal(parts.signature, parts.sealed, soap, why)) return false;
    if (soap.size() != parts.length) {
        why = "encrypted answer's length does not match its OriginalContent";
        return false;
    }
    return true;
}

}  // namespace qv::management::wsman

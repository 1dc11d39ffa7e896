// Opening a WS-Management connection: settings, credentials, Identify, and the authenticated
// first call.
#include "management/wsman/transport.h"

#include <arpa/inet.h>

#include "management/errors.h"
#include "management/wsman/answers.h"
#include "management/wsman/connection.h"
#include "management/wsman/errors.h"
#include "management/wsman/requests.h"
#include "management/wsman/session.h"
#include "management/wsman/xml.h"

namespace qv::management::wsman {

namespace {

bool isAddress(const std::string& host) {
    unsigned char buf[16];
    std::string h = host;
    if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    return inet_pton(AF_INET, h.c_str(), buf) == 1 || inet_pton(AF_INET6, h.c_str(), buf) == 1;
}

unsigned portOf(const Settings& s, Scheme scheme) { return s.port ? s.port : scheme == Scheme::Https ? 5986 : 5985; }

CallError unavailable() { return CallError::of(kErrRpcServerUnavailable, kErrRpcServerUnavailableText); }

}  // namespace

std::optional<ProbeAddress> WsmanTransport::probeAddress(const std::string& computer) {
    Settings s;
    std::string why;
    if (!settingsFor(computer, s, why)) return std::nullopt;  // opening says what is wrong
    return ProbeAddress{s.hostName, portOf(s, s.scheme)};
}

Result<std::unique_ptr<TargetConnection>> WsmanTransport::open(const std::string& computer, const Limits& limits,
                                                               std::optional<Socket>) {
    return openOver(computer, limits, std::nullopt, false);
}

Result<std::unique_ptr<TargetConnection>> WsmanTransport::openOver(const std::string& computer, const Limits& limits,
                                                                   std::optional<Scheme> scheme, bool requireWindows) {
    Settings s;
    std::string why;
    if (!settingsFor(computer, s, why)) return CallError::of(kErrWsmanSettings, why + " ");
    Endpoint e;
    e.computer = computer;
    e.scheme = scheme ? *scheme : s.scheme;
    e.serviceHost = s.hostName;
    e.caFile = s.caFile;
    const std::string host = s.hostName.find(':') != std::string::npos && s.hostName.front() != '['
                                 ? "[" + s.hostName + "]" : s.hostName;
    e.url = std::string(e.scheme == Scheme::Https ? "https://" : "http://") + host + ":" +
            std::to_string(portOf(s, e.scheme)) + "/wsman";
    // Kerberos from the ticket cache where it can be used: Windows refuses it to an address.
    e.auth = s.auth;
    if (e.auth == AuthChoice::Default) {
        std::string none;
        e.auth = !isAddress(s.hostName) && SecurityContext::make(Mechanism::Kerberos, s.hostName, nullptr, none)
                     ? AuthChoice::Kerberos : AuthChoice::Ntlm;
    }
    if (e.auth == AuthChoice::Basic && e.scheme != Scheme::Https)
        return CallError::of(kErrWsmanSettings, "Basic authentication to " + computer + " is only ever used over https ");
    if (e.auth != AuthChoice::Kerberos) {
        Login login;
        NetrcStatus st = loginFor(computer, login, why);
        if (st == NetrcStatus::NotFound && s.hostName != computer) st = loginFor(s.hostName, login, why);
        if (st == NetrcStatus::Refused) return CallError::of(kErrWsmanNoCredentials, why + " ");
        if (st == NetrcStatus::NotFound)
            return CallError::of(kErrWsmanNoCredentials,
                                 "No Kerberos ticket or .netrc login for " + computer + " ");
        e.password = Password{login.user, login.password};
    }

    auto session = std::make_unique<Session>(std::move(e), limits.connectMs);
    Exchange id = session->identify(limits.connectMs);
    auto failed = [&](const Exchange& ex) -> CallError {
        switch (ex.failure) {
            case Failure::Unreachable:
            case Failure::TimedOut:
            case Failure::Lost: return unavailable();
            case Failure::Untrusted:
                return CallError::of(kErrWsmanCertificate, "Certificate of " + computer + " not trusted: " + ex.why + " ");
            case Failure::Handshake:
                return CallError::of(kErrWsmanTls, "TLS handshake with " + computer + " failed: " + ex.why + " ");
            case Failure::Refused:
                if (ex.status == 401) return CallError::of(kErrAccessDenied, kErrAccessDeniedText);
                return CallError::of(kErrWsmanAuthentication, "Authentication to " + computer + " failed: " + ex.why + " ");
            default:
                return CallError::of(kErrWsmanProtocol,
                                     "WS-Management answer of " + computer + " not understood: " + ex.why + " ");
        }
    };
    if (id.failure != Failure::None) return failed(id);
    pugi::xml_document doc;
    Identification who;
    if (!parseAnswer(id.soap, doc, why) || !readIdentify(doc, who, why)) {
        if (requireWindows) return CallError::of(kErrWsmanNotWindows, computer + " answers no WS-Management Identify ");
        return CallError::of(kErrWsmanProtocol, "WS-Management answer of " + computer + " not understood: " + why + " ");
    }
    if (requireWindows && !who.windows())
        return CallError::of(kErrWsmanNotWindows, computer + " answers WS-Management but not as Windows (" + who.vendor + ") ");

    // The first check: an authenticated Identify proves the credentials and the sealing.
    Exchange check = session->send(identifyEnvelope(), limits.connectMs);
    if (check.failure != Failure::None) return failed(check);
    if (check.status != 200 || !parseAnswer(check.soap, doc, why) || !readIdentify(doc, who, why))
        return CallError::of(kErrWsmanProtocol, "WS-Management answer of " + computer + " not understood: HTTP " +
                                                    std::to_string(check.status) + " to Identify ");
    std::unique_ptr<TargetConnection> connection = std::make_unique<WsmanConnection>(std::move(session), limits, s.connections);
    return connection;
}

}  // namespace qv::management::wsman

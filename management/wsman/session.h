// One computer's WS-Management session: a kept-alive HTTP(S) connection, authenticated with
// SPNEGO (Kerberos or NTLM) or Basic over HTTPS, each message sealed over HTTP.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "management/wsman/gss.h"
#include "management/wsman/settings.h"

namespace qv::management::wsman {

enum class Failure {
    None,
    Unreachable,  // no connection could be made
    Handshake,    // TCP connected, but the TLS handshake failed or got no answer (`why` says which)
    Untrusted,    // the server's certificate does not verify for its name
    TimedOut,     // no whole answer within the call's limit
    Lost,         // the connection broke during the exchange
    Refused,      // the credentials or the security context were refused
    TooLarge,     // the answer went past the largest a server may send
    Protocol,     // an answer that does not follow the protocol
};

struct Endpoint {
    std::string computer;     // as the run names it
    std::string serviceHost;  // the host of the service principal HTTP/<host>
    std::string url;          // http(s)://HOST:PORT/wsman
    Scheme scheme = Scheme::Http;
    AuthChoice auth = AuthChoice::Kerberos;  // resolved: Kerberos, Ntlm or Basic
    std::string caFile;
    std::optional<Password> password;
};

struct Exchange {
    Failure failure = Failure::None;
    long status = 0;   // the HTTP status of an answer
    std::string soap;  // its SOAP text, unsealed
    std::string why;   // for a failure
};

// The largest answer read: a server keeps an envelope within MaxEnvelopeSize; sealing and the
// multipart frame add a little.
inline constexpr std::size_t kMaxAnswerBytes = 1200 * 1024;

// The base64 of HTTP's authorization headers.
std::string base64(const std::string& in);
bool unbase64(const std::string& in, std::string& out);

class Session {
public:
    Session(Endpoint endpoint, int connectMs);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Endpoint& endpoint() const { return endpoint_; }
    int connectMs() const { return connectMs_; }
    // True once any answer came back over this session.
    bool answered() const { return answered_; }
    // Ends the exchange in progress (from another thread) and every later one, as lost.
    void abort() { aborted_ = true; }
    // The unauthenticated Identify.
    Exchange identify(int timeoutMs);
    // One request: authenticated first where the connection is not (a new TCP connection always
    // authenticates again), sealed over HTTP. A refusal of a connection that was authenticated
    // before (the server dropped it and a new one was made) authenticates again and resends once.
    Exchange send(const std::string& soap, int timeoutMs);

private:
    struct Http;
    Exchange post(const std::string& body, const std::string& contentType, const std::string& authorization,
                  bool identify, int timeoutMs);
    Exchange authenticate(int timeoutMs);

    Endpoint endpoint_;
    int connectMs_;
    std::unique_ptr<Http> http_;
    std::unique_ptr<SecurityContext> context_;
    bool authenticated_ = false;
    bool answered_ = false;
    std::atomic<bool> aborted_{false};
};

}  // namespace qv::management::wsman

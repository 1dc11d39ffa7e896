// The HTTP exchanges of a WS-Management session over libcurl, with SPNEGO and message sealing.
#include "management/wsman/session.h"
#include "platform/text.h"

#include <curl/curl.h>
#include <strings.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <vector>

namespace qv::management::wsman {

namespace {

using text::trim;

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string base64(const std::string& in) {
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                     static_cast<unsigned char>(in[i + 2]);
        for (int k = 18; k >= 0; k -= 6) out += kBase64[(v >> k) & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += i + 1 < in.size() ? kBase64[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool unbase64(const std::string& in, std::string& out) {
    out.clear();
    unsigned v = 0;
    int bits = 0;
    for (char c : in) {
        if (c == '=') break;
        const char* p = std::strchr(kBase64, c);
        if (!p || !c) return false;
        v = (v << 6) | static_cast<unsigned>(p - kBase64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((v >> bits) & 0xFF);
        }
    }
    return true;
}

// The easy handle: its connection is kept between requests of the session.
struct Session::Http {
    CURL* curl = nullptr;
    std::string body;
    std::vector<std::string> authenticate;  // WWW-Authenticate values of the last answer
    std::string contentType;
    bool tooLarge = false;
    char error[CURL_ERROR_SIZE] = {};  // libcurl's detail of a failure (the TLS library's reason)

    Http() {
        static std::once_flag init;
        std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        curl = curl_easy_init();
    }
    ~Http() {
        if (curl) curl_easy_cleanup(curl);
    }

    static size_t onBody(char* data, size_t size, size_t n, void* self) {
        Http& h = *static_cast<Http*>(self);
        if (h.body.size() + size * n > kMaxAnswerBytes) {
            h.tooLarge = true;
            return 0;
        }
        h.body.append(data, size * n);
        return size * n;
    }
    static int onProgress(void* aborted, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<std::atomic<bool>*>(aborted)->load() ? 1 : 0;
    }
    static size_t onHeader(char* data, size_t size, size_t n, void* self) {
        Http& h = *static_cast<Http*>(self);
        std::string line(data, size * n);
        if (line.rfind("HTTP/", 0) == 0) {  // a new answer (after an interim one) starts afresh
            h.authenticate.clear();
            h.contentType.clear();
        }
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::string value = trim(line.substr(colon + 1));
            if (strcasecmp(name.c_str(), "WWW-Authenticate") == 0) h.authenticate.push_back(value);
            else if (strcasecmp(name.c_str(), "Content-Type") == 0) h.contentType = value;
        }
        return size * n;
    }
};

Session::Session(Endpoint endpoint, int connectMs)
    : endpoint_(std::move(endpoint)), connectMs_(connectMs), http_(std::make_unique<Http>()) {}

Session::~Session() = default;

Exchange Session::post(const std::string& body, const std::string& contentType, const std::string& authorization,
                       bool identify, int timeoutMs) {
    Exchange ex;
    CURL* c = http_->curl;
    if (!c) return {Failure::Protocol, 0, {}, "HTTP could not be set up"};
    if (aborted_) return {Failure::Lost, 0, {}, "the connection was closed"};
    http_->body.clear();
    http_->authenticate.clear();
    http_->contentType.clear();
    http_->tooLarge = false;
    curl_easy_setopt(c, CURLOPT_URL, endpoint_.url.c_str());
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // the computers are reached directly
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs_));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Http::onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, http_.get());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Http::onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, http_.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Quorvex WS-Management");
    http_->error[0] = '\0';
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, http_->error);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Http::onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &aborted_);
    if (endpoint_.scheme == Scheme::Https) {
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!endpoint_.caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, endpoint_.caFile.c_str());
        if (endpoint_.auth == AuthChoice::Basic && !identify && endpoint_.password) {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
            curl_easy_setopt(c, CURLOPT_USERNAME, endpoint_.password->user.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, endpoint_.password->secret.c_str());
        } else {
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_NONE));
        }
    }
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
    headers = curl_slist_append(headers, "Expect:");  // no 100-continue round trip
    headers = curl_slist_append(headers, "Connection: Keep-Alive");
    if (identify) headers = curl_slist_append(headers, "WSMANIDENTIFY: unauthenticated");
    if (!authorization.empty()) headers = curl_slist_append(headers, ("Authorization: " + authorization).c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    CURLcode rc = curl_easy_perform(c);
    curl_slist_free_all(headers);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    long connects = 0;
    curl_easy_getinfo(c, CURLINFO_NUM_CONNECTS, &connects);
    if (connects > 0 && !identify) authenticated_ = false;  // this answer came over a new connection
    if (rc != CURLE_OK) {
        ex.why = http_->error[0] ? http_->error : curl_easy_strerror(rc);
        curl_off_t connected = 0, secured = 0;
        curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connected);
        curl_easy_getinfo(c, CURLINFO_APPCONNECT_TIME_T, &secured);
        const bool https = endpoint_.scheme == Scheme::Https;
        switch (rc) {
            case CURLE_WRITE_ERROR:
                ex.failure = http_->tooLarge ? Failure::TooLarge : Failure::Lost;
                if (http_->tooLarge) ex.why = "answer larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
                break;
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_CONNECT: ex.failure = Failure::Unreachable; break;
            case CURLE_PEER_FAILED_VERIFICATION: ex.failure = Failure::Untrusted; break;
            // The port answered but not with TLS (an HTTP port answers a handshake with an HTTP
            // error, "wrong version number"), or the handshake was refused: said with its reason.
            case CURLE_SSL_CONNECT_ERROR: ex.failure = Failure::Handshake; break;
            case CURLE_SSL_CERTPROBLEM:
            case CURLE_SSL_CACERT_BADFILE: ex.failure = Failure::Unreachable; break;
            case CURLE_OPERATION_TIMEDOUT:
                if (https && connects > 0 && !secured) {
                    // A new connection was made (the probe found the port open), but nothing
                    // answered its handshake within the connection limit (a server that waits for
                    // an HTTP request).
                    ex.failure = Failure::Handshake;
                    ex.why = "no answer to the TLS handshake within " +
                             (connectMs_ % 1000 ? std::to_string(connectMs_) + " ms" : std::to_string(connectMs_ / 1000) + " s") +
                             " (is the port one of HTTP rather than HTTPS?)";
                } else {
                    ex.failure = connected ? Failure::TimedOut : Failure::Unreachable;
                }
                break;
            default: ex.failure = Failure::Lost;
        }
        // The connection is not to be trusted after a failed exchange: the next one starts anew.
        authenticated_ = false;
        context_.reset();
        return ex;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &ex.status);
    answered_ = true;
    ex.soap = std::move(http_->body);
    return ex;
}

Exchange Session::identify(int timeoutMs) {
    Exchange ex = post(std::string("<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                                   "xmlns:wsmid=\"http://schemas.dmtf.org/wbem/wsman/identity/1/wsmanidentity.xsd\">"
                                   "<s:Header/><s:Body><wsmid:Identify/></s:Body></s:Envelope>"),
                       "application/soap+xml;charset=UTF-8", "", true, timeoutMs);
    return ex;
}

Exchange Session::authenticate(int timeoutMs) {
    std::string why;
    Mechanism mech = endpoint_.auth == AuthChoice::Ntlm ? Mechanism::Ntlm : Mechanism::Kerberos;
    context_ = SecurityContext::make(mech, endpoint_.serviceHost, endpoint_.password ? &*endpoint_.password : nullptr, why);
    if (!context_) return {Failure::Refused, 0, {}, why};
    std::string in, out;
    for (int leg = 0; leg < 6; ++leg) {
        SecurityContext::Step step = context_->step(in, out, why);
        if (step == SecurityContext::Step::Failed) {
            context_.reset();
            return {Failure::Refused, 0, {}, why};
        }
        if (step == SecurityContext::Step::Complete && out.empty()) {
            authenticated_ = true;
            return {};
        }
        Exchange ex = post("", "application/soap+xml;charset=UTF-8", "Negotiate " + base64(out), false, timeoutMs);
        if (ex.failure != Failure::None) return ex;
        in.clear();
        for (const std::string& value : http_->authenticate)
            if (strncasecmp(value.c_str(), "Negotiate ", 10) == 0 && !unbase64(trim(value.substr(10)), in))
                return {Failure::Protocol, ex.status, {}, "a Negotiate token that is not base64"};
        if (ex.status == 401 && in.empty()) {
            context_.reset();
            return {Failure::Refused, 401, {}, "credentials refused"};
        }
        if (ex.status != 401 && ex.status != 200) {
            context_.reset();
            return {Failure::Protocol, ex.status, {}, "HTTP " + std::to_string(ex.status) + " to the authentication"};
        }
        if (ex.status == 200) {
            if (step == SecurityContext::Step::Continue) {
                if (in.empty() || context_->step(in, out, why) != SecurityContext::Step::Complete) {
                    context_.reset();
                    return {Failure::Refused, 200, {}, why.empty() ? "the authentication did not complete" : why};
                }
            }
            authenticated_ = true;
            return {};
        }
    }
    context_.reset();
    return {Failure::Refused, 0, {}, "the authentication did not complete"};
}

Exchange Session::send(const std::string& soap, int timeoutMs) {
    const bool sealed = endpoint_.scheme == Scheme::Http;
    const bool negotiate = endpoint_.auth != AuthChoice::Basic;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool wasAuthenticated = authenticated_;
        if (negotiate && !authenticated_) {
            Exchange auth = authenticate(timeoutMs);
            if (auth.failure != Failure::None) return auth;
        }
        std::string body;
        std::string contentType = "application/soap+xml;charset=UTF-8";
        if (sealed) {
            std::string why;
            if (!encryptBody(*context_, soap, body, why)) return {Failure::Refused, 0, {}, why};
            contentType = encryptedContentType();
        } else {
            body = soap;
        }
        Exchange ex = post(body, contentType, "", false, timeoutMs);
        if (ex.failure != Failure::None) return ex;
        if (ex.status == 401) {
            authenticated_ = false;
            context_.reset();
            // A connection authenticated before was replaced: authenticate the new one and resend.
            if (wasAuthenticated && negotiate && attempt == 0) continue;
            return {Failure::Refused, 401, {}, "credentials refused"};
        }
        if (sealed && strncasecmp(http_->contentType.c_str(), "multipart/encrypted", 19) == 0) {
            std::string plain, why;
            if (!decryptBody(*context_, ex.soap, plain, why)) return {Failure::Protocol, ex.status, {}, why};
            ex.soap = std::move(plain);
        } else if (sealed && (ex.status == 200 || (ex.status == 500 && !ex.soap.empty()))) {
            return {Failure::Protocol, ex.status, {}, "an unsealed answer to a sealed request"};
        }
        return ex;
    }
    return {Failure::Refused, 401, {}, "credentials refused"};
}

}  // namespace qv::management::wsman

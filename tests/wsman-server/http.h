// The test server's HTTP/1.1: requests read from a kept-alive connection, plain or TLS, and answers
// written in one piece.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <openssl/ssl.h>

namespace qvwsman {

// One accepted TCP connection, with TLS when the server has a certificate.
class Stream {
public:
    Stream(int fd, SSL* ssl) : fd_(fd), ssl_(ssl) {}
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    // Some bytes (at most `n`); 0 at the end of the connection or on failure.
    long read(char* buf, std::size_t n);
    bool writeAll(const std::string& bytes);
    bool tls() const { return ssl_ != nullptr; }
    // Ends the connection at once, without an answer.
    void drop();

private:
    int fd_;
    SSL* ssl_;
};

struct HttpRequest {
    std::string method, target;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;
    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

enum class ReadStatus { Ok, Closed, TooLarge, Malformed };

// Reads one request; the buffer keeps what came after it on the connection.
ReadStatus readRequest(Stream& s, std::string& buffer, HttpRequest& out, std::size_t maxBody);

// An answer with its headers ("Name: value\r\n" each) and body, as one write.
std::string httpAnswer(int status, const std::string& headers, const std::string& body);

}  // namespace qvwsman

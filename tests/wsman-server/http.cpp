// HTTP/1.1 requests and answers of the WS-Management test server.
#include "tests/wsman-server/http.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace qvwsman {

Stream::~Stream() {
    if (ssl_) {
        SSL_shutdown(ssl_);
        SSL_free(ssl_);
    }
    if (fd_ >= 0) ::close(fd_);
}

long Stream::read(char* buf, std::size_t n) {
    if (ssl_) {
        int got = SSL_read(ssl_, buf, static_cast<int>(n));
        return got > 0 ? got : 0;
    }
    ssize_t got = ::recv(fd_, buf, n, 0);
    return got > 0 ? got : 0;
}

bool Stream::writeAll(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        long put = ssl_ ? SSL_write(ssl_, bytes.data() + at, static_cast<int>(bytes.size() - at))
                        : ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (put <= 0) return false;
        at += static_cast<std::size_t>(put);
    }
    return true;
}

void Stream::drop() {
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
}

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

ReadStatus readRequest(Stream& s, std::string& buffer, HttpRequest& out, std::size_t maxBody) {
    char chunk[65536];
    std::size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > 65536) return ReadStatus::Malformed;
        long got = s.read(chunk, sizeof chunk);
        if (got <= 0) return ReadStatus::Closed;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    out = HttpRequest{};
    std::string head = buffer.substr(0, headEnd);
    std::size_t lineEnd = head.find("\r\n");
    std::string first = head.substr(0, lineEnd);
    std::size_t sp1 = first.find(' '), sp2 = first.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return ReadStatus::Malformed;
    out.method = first.substr(0, sp1);
    out.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    std::size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (at < head.size()) {
        std::size_t end = head.find("\r\n", at);
        if (end == std::string::npos) end = head.size();
        std::string line = head.substr(at, end - at);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) out.headers[lower(trim(line.substr(0, colon)))] = trim(line.substr(colon + 1));
        at = end + 2;
    }
    std::size_t length = 0;
    if (std::string cl = out.header("content-length"); !cl.empty()) length = std::strtoull(cl.c_str(), nullptr, 10);
    if (length > maxBody) return ReadStatus::TooLarge;
    buffer.erase(0, headEnd + 4);
    while (buffer.size() < length) {
        long got = s.read(chunk, sizeof chunk);
        if (got <= 0) return ReadStatus::Closed;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    out.body = buffer.substr(0, length);
    buffer.erase(0, length);
    return ReadStatus::Ok;
}

std::string httpAnswer(int status, const std::string& headers, const std::string& body) {
    const char* reason = status == 200 ? "OK" : status == 401 ? "Unauthorized" : status == 413 ? "Request Entity Too Large"
                         : status == 500 ? "Internal Server Error" : status == 400 ? "Bad Request" : "Error";
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nServer: Microsoft-HTTPAPI/2.0\r\n";
    out += headers;
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out += body;
    return out;
}

}  // namespace qvwsman

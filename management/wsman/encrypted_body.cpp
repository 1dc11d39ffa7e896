// Making and splitting the multipart/encrypted body of WS-Management's message encryption.
#include "management/wsman/encrypted_body.h"

#include <cstdlib>

namespace qv::management::wsman {

namespace {

const std::string kBoundary = "--Encrypted Boundary";

void putLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string encryptedContentType() {
    return std::string("multipart/encrypted;protocol=\"") + kEncryptedProtocol + "\";boundary=\"Encrypted Boundary\"";
}

std::string encryptedBody(const SealedParts& parts) {
    std::string body;
    body.reserve(parts.sealed.size() + parts.signature.size() + 300);
    body += kBoundary + "\r\n\tContent-Type: " + kEncryptedProtocol + "\r\n";
    body += "\tOriginalContent: type=application/soap+xml;charset=UTF-8;Length=" + std::to_string(parts.length) + "\r\n";
    body += kBoundary + "\r\n\tContent-Type: application/octet-stream\r\n";
    putLe32(body, static_cast<std::uint32_t>(parts.signature.size()));
    body += parts.signature;
    body += parts.sealed;
    body += kBoundary + "--\r\n";
    return body;
}

bool splitEncryptedBody(const std::string& body, SealedParts& parts, std::string& why) {
    why = "malformed encrypted answer";
    std::size_t at = 0;
    auto expect = [&](const std::string& text) {
        if (body.compare(at, text.size(), text) != 0) return false;
        at += text.size();
        return true;
    };
    auto line = [&](std::string& out) {
        std::size_t end = body.find("\r\n", at);
        if (end == std::string::npos) return false;
        out = body.substr(at, end - at);
        at = end + 2;
        return true;
    };
    std::string header;
    if (!expect(kBoundary + "\r\n") || !line(header)) return false;
    auto strip = [](std::string s) {
        std::size_t b = s.find_first_not_of(" \t");
        return b == std::string::npos ? std::string() : s.substr(b);
    };
    if (strip(header).rfind("Content-Type: ", 0) != 0 || strip(header).find(kEncryptedProtocol) == std::string::npos)
        return false;
    if (!line(header)) return false;
    header = strip(header);
    const std::string lengthKey = "Length=";
    std::size_t lp = header.find(lengthKey);
    if (header.rfind("OriginalContent:", 0) != 0 || lp == std::string::npos) return false;
    char* end = nullptr;
    const char* digits = header.c_str() + lp + lengthKey.size();
    unsigned long long length = std::strtoull(digits, &end, 10);
    if (end == digits || length > body.size()) return false;
    if (!expect(kBoundary + "\r\n") || !line(header)) return false;
    if (strip(header) != "Content-Type: application/octet-stream") return false;
    if (at + 4 > body.size()) return false;
    std::uint32_t sigLen = 0;
    for (int i = 0; i < 4; ++i) sigLen |= static_cast<std::uint32_t>(static_cast<unsigned char>(body[at + i])) << (8 * i);
    at += 4;
    const std::string trailer = kBoundary + "--\r\n";
    if (sigLen > body.size() - at || body.size() - at - sigLen < trailer.size()) return false;
    const std::size_t sealedLen = body.size() - at - sigLen - trailer.size();
    if (body.compare(at + sigLen + sealedLen, trailer.size(), trailer) != 0) return false;
    parts.length = length;
    parts.signature = body.substr(at, sigLen);
    parts.sealed = body.substr(at + sigLen, sealedLen);
    return true;
}

}  // namespace qv::management::wsman

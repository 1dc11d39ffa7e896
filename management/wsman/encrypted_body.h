// The framing of WS-Management's encrypted messages: the multipart/encrypted body that carries a
// sealed SOAP message, made and split without the security context that seals it.
#pragma once

#include <cstdint>
#include <string>

namespace qv::management::wsman {

// The protocol name of the encrypted body of an SPNEGO context.
inline constexpr const char* kEncryptedProtocol = "application/HTTP-SPNEGO-session-encrypted";
// The Content-Type of an encrypted body.
std::string encryptedContentType();

// What an encrypted body carries: the length OriginalContent gives the SOAP message, the
// signature and the sealed bytes.
struct SealedParts {
    std::uint64_t length = 0;
    std::string signature, sealed;
};

// The body carrying `parts`: two parts between "--Encrypted Boundary" lines, the second holding
// the signature's length (4 bytes, little-endian), the signature and the sealed bytes.
std::string encryptedBody(const SealedParts& parts);

// The parts of an encrypted body, its parts checked strictly in order, the signature length read
// from its field; false with `why` ("malformed encrypted answer") when it is not such a body.
bool splitEncryptedBody(const std::string& body, SealedParts& parts, std::string& why);

}  // namespace qv::management::wsman

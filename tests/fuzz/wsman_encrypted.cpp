// Fuzz harness: the multipart/encrypted body of WS-Management's message encryption, split without
// a security context (the sealed bytes are not opened), and made again from what it carried.
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/wsman/encrypted_body.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::management::wsman;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    SealedParts parts;
    std::string why;
    if (!splitEncryptedBody(body, parts, why)) {
        qvfuzz::require(!why.empty());
    } else {
        // What a body carries lies within it, and the body made of it splits into the same parts.
        qvfuzz::require(parts.signature.size() + parts.sealed.size() <= body.size() && parts.length <= body.size());
        SealedParts again;
        qvfuzz::require(splitEncryptedBody(encryptedBody(parts), again, why));
        qvfuzz::require(again.length == parts.length && again.signature == parts.signature && again.sealed == parts.sealed);
    }
    // Any signature and sealed bytes (the input's two halves) come back out of the body made of them.
    SealedParts made{size, body.substr(0, size / 2), body.substr(size / 2)};
    SealedParts back;
    qvfuzz::require(splitEncryptedBody(encryptedBody(made), back, why));
    qvfuzz::require(back.signature == made.signature && back.sealed == made.sealed && back.length == size);
    return 0;
}

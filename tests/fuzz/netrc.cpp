// Fuzz harness: a netrc text and the machine whose login is looked for.
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/wsman/settings.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = qvfuzz::pieces(data, size, 2);
    const std::string machine = parts.size() > 1 ? parts[0] : "ws01";
    std::optional<qv::management::wsman::Login> login = qv::management::wsman::loginFromNetrc(parts.back(), machine);
    // A login's words are words of the text: never longer than it.
    if (login) qvfuzz::require(login->user.size() <= parts.back().size() && login->password.size() <= parts.back().size());
    return 0;
}

// Fuzz harness: the winrm settings text and the SSH configuration's Host blocks for a computer name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/host_config.h"
#include "management/wsman/settings.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::management;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The computer's name, NUL, the file's text.
    const auto parts = qvfuzz::pieces(data, size, 2);
    const std::string name = parts.size() > 1 ? parts[0] : "ws01";
    const std::string& text = parts.back();
    wsman::Settings s;
    std::string why;
    if (wsman::settingsFromText(text, name, s, why)) {
        qvfuzz::require(s.port <= 65535);
        qvfuzz::require(s.auth != wsman::AuthChoice::Basic || s.scheme == wsman::Scheme::Https);
        qvfuzz::require(!s.hostName.empty() || name.empty() || s.configured);
    } else {
        qvfuzz::require(!why.empty());
    }
    // Keywords are kept in lower case, each with its first value.
    HostSettings h = hostSettings(text, name);
    for (const auto& [keyword, value] : h.values) {
        for (char c : keyword) qvfuzz::require(!(c >= 'A' && c <= 'Z'));
        qvfuzz::require(h.value(keyword) == value);
    }
    return 0;
}

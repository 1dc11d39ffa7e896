// Fuzz harness: host patterns against names, checked against a plain recursive matcher on short
// inputs (the matcher itself must stay linear: a slow input is a hang the fuzzer reports).
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/host_config.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// The definition: `*` any run, `?` one character, letters alike in either case.
bool reference(const std::string& p, std::size_t i, const std::string& n, std::size_t j) {
    if (i == p.size()) return j == n.size();
    if (p[i] == '*') return reference(p, i + 1, n, j) || (j < n.size() && reference(p, i, n, j + 1));
    if (j == n.size()) return false;
    const bool same = p[i] == '?' ||
                      std::tolower(static_cast<unsigned char>(p[i])) == std::tolower(static_cast<unsigned char>(n[j]));
    return same && reference(p, i + 1, n, j + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = qvfuzz::pieces(data, size, 2);
    const std::string& pattern = parts[0];
    const std::string name = parts.size() > 1 ? parts[1] : std::string("ws01.corp.example");
    const bool got = qv::management::hostPatternMatches(pattern, name);
    // The reference takes exponential time on many stars: compared only where that stays small.
    std::size_t stars = 0;
    for (char c : pattern) stars += c == '*';
    if (stars <= 6 && name.size() <= 24) qvfuzz::require(got == reference(pattern, 0, name, 0));
    return 0;
}

// Fuzz harness support: the input split into the pieces a harness hands to its parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace qvfuzz {

// The input's pieces between NUL bytes (at most `most`; the last takes the rest, NULs included),
// so one input can carry a name and a text, or several files.
inline std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size, std::size_t most) {
    std::vector<std::string> out;
    std::string_view all(reinterpret_cast<const char*>(data), size);
    while (out.size() + 1 < most) {
        const std::size_t nul = all.find('\0');
        if (nul == std::string_view::npos) break;
        out.emplace_back(all.substr(0, nul));
        all.remove_prefix(nul + 1);
    }
    out.emplace_back(all);
    return out;
}

// A check that holds for every input: a broken one ends the run as a crash the fuzzer reports.
inline void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace qvfuzz

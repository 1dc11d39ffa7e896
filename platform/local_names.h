// Whether a typed computer name means this computer: by one of its names or addresses.
#pragma once

#include <string>
#include <vector>

namespace qv {

// The names and addresses a computer answers to, as its platform lists them.
struct OwnNames {
    std::vector<std::string> names;      // compared ignoring case
    std::vector<std::string> addresses;  // 4 or 16 raw bytes each
};

// True when `name` equals one of the names, or is a dotted IPv4 or an IPv6 address of the
// loopback network or of the list (an IPv6 zone suffix "%..." is ignored).
bool namesThisComputer(const std::string& name, const OwnNames& own);

}  // namespace qv

// Whether a typed computer name means this computer: by one of its names or addresses.
#pragma once

#include <string>
#include <vector>

struct sockaddr;

namespace qv {

// The names and addresses a computer answers to, as its platform lists them.
struct OwnNames {
    std::vector<std::string> names;      // compared ignoring case
    std::vector<std::string> addresses;  // 4 or 16 raw bytes each
    // Adds an interface's IPv4 or IPv6 address (other families are left out).
    void addAddress(const sockaddr* address);
};

// True when `name` equals one of the names, or is a dotted IPv4 or an IPv6 address of the
// loopback network or of the list (an IPv6 zone suffix "%..." is ignored).
bool namesThisComputer(const std::string& name, const OwnNames& own);

}  // namespace qv

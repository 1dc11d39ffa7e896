// Matching a typed computer name against this computer's names and addresses.
#include "platform/local_names.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace qv {

void OwnNames::addAddress(const sockaddr* address) {
    if (!address) return;
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        addresses.emplace_back(reinterpret_cast<const char*>(&in->sin_addr), sizeof in->sin_addr);
    } else if (address->sa_family == AF_INET6) {
        const auto* in = reinterpret_cast<const sockaddr_in6*>(address);
        addresses.emplace_back(reinterpret_cast<const char*>(&in->sin6_addr), sizeof in->sin6_addr);
    }
}

bool namesThisComputer(const std::string& name, const OwnNames& own) {
    for (const std::string& n : own.names)
        if (!n.empty() && text::equalsIgnoringCase(name, n)) return true;
    const std::string bare = name.substr(0, name.find('%'));  // an IPv6 zone says nothing of the host
    unsigned char v4[4] = {};
    unsigned char v6[16] = {};
    std::string bytes;
    if (inet_pton(AF_INET, bare.c_str(), v4) == 1) {
        if (v4[0] == 127) return true;  // the whole loopback network
        bytes.assign(reinterpret_cast<const char*>(v4), sizeof v4);
    } else if (inet_pton(AF_INET6, bare.c_str(), v6) == 1) {
        static const unsigned char kLoopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        if (std::memcmp(v6, kLoopback6, sizeof v6) == 0) return true;
        bytes.assign(reinterpret_cast<const char*>(v6), sizeof v6);
    } else {
        return false;
    }
    return std::find(own.addresses.begin(), own.addresses.end(), bytes) != own.addresses.end();
}

}  // namespace qv

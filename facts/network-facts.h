// What the adapter builders read: the adapters found, and their DHCP leases and name servers.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "facts/classes.h"

namespace qv::facts {

// A network interface as the adapter classes describe it.
struct Nic {
    std::string name;
    int index = 0;
    int type = 0;
    std::optional<std::string> mac, description, manufacturer, service;
    bool physical = false;
};

// What the DHCP server gave an interface.
struct Lease {
    std::optional<std::time_t> obtained, expires;
    std::optional<std::string> server, domain, address;
    std::vector<std::string> dns, wins;
};

// The interface's last lease: dhclient's lease files, else systemd-networkd's.
std::optional<Lease> leaseOf(Source& s, const Nic& n);
// Whether ifupdown, systemd-networkd or the ifcfg files configure the interface by DHCP.
bool configuredForDhcp(Source& s, const Nic& n);
// The name servers of resolv.conf, and its search domain.
std::vector<std::string> resolvConfServers(Source& s, std::optional<std::string>& domain);

}  // namespace qv::facts

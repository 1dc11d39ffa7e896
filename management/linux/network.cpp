// Network adapters and their TCP/IP settings, network clients and protocols, shares and printers.
#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "management/linux/classes.h"

namespace qv::posix::provider {

namespace {

struct Nic {
    std::string name;
    int index = 0;
    int type = 0;
    std::optional<std::string> mac, description, manufacturer, service;
    bool physical = false;
};

std::optional<std::string> attrUp(Source& s, std::string dir, const std::string& file, int depth) {
    for (int k = 0; k < depth && dir.size() > 1; ++k) {
        if (auto v = s.attr(dir + "/" + file)) return v;
        dir = dir.substr(0, dir.find_last_of('/'));
    }
    return std::nullopt;
}

}  // namespace

void interfacesAhead(Source& s, Ahead& ahead) {
    for (const auto& name : s.list("/sys/class/net")) {
        for (const char* attr : {"type", "ifindex", "address", "addr_len", "uevent", "speed", "operstate", "flags"})
            ahead.files.push_back("/sys/class/net/" + name + "/" + attr);
        ahead.resolved.push_back("/sys/class/net/" + name + "/device");
        ahead.links.push_back("/sys/class/net/" + name + "/device/driver");
    }
}

namespace {

const std::vector<Nic>& interfaces(Source& s) {
    return s.memo<std::vector<Nic>>("nics", [&s] {
        std::vector<Nic> out;
        Ahead ahead;
        interfacesAhead(s, ahead);
        s.prefetch(ahead);
        for (const auto& name : s.list("/sys/class/net")) {
            std::string dir = "/sys/class/net/" + name;
            int type = static_cast<int>(parseUnsigned(s.attr(dir + "/type").value_or("")).value_or(0));
            if (type == 772) continue;  // loopback
            Nic n;
            n.name = name;
            n.type = type;
            n.index = static_cast<int>(parseUnsigned(s.attr(dir + "/ifindex").value_or("")).value_or(0));
            auto addr = s.attr(dir + "/address");
            if (addr && s.attr(dir + "/addr_len").value_or("6") != "0" && *addr != "00:00:00:00:00:00")
                n.mac = upper(*addr);
            auto dev = s.resolve(dir + "/device");
            n.physical = dev.has_value();
            if (dev) {
                std::string drv = driverName(s, dir + "/device");
                if (!drv.empty()) n.service = drv;
                std::optional<PciDevice> pci = pciDevice(s, *dev);
                if (!pci) pci = pciDevice(s, dev->substr(0, dev->find_last_of('/')));
                if (dev->find("/usb") != std::string::npos) {
                    n.description = attrUp(s, *dev, "product", 3);
                    n.manufacturer = attrUp(s, *dev, "manufacturer", 3);
                } else if (pci) {
                    PciNames names = pciNames(s, *pci);
                    n.description = names.device;
                    n.manufacturer = names.vendor;
                }
            }
            if (!n.description) {
                std::optional<std::string> devtype;
                if (const auto& ue = s.file(dir + "/uevent")) devtype = keyValue(*ue, "DEVTYPE");
                n.description = devtype ? *devtype + " " + name : name;
            }
            out.push_back(std::move(n));
        }
        std::sort(out.begin(), out.end(), [](const Nic& a, const Nic& b) { return a.index < b.index; });
        return out;
    });
}

}  // namespace

// The configuration and lease files the adapters' classes look for.
void interfaceFilesAhead(Source& s, Ahead& ahead) {
    for (const auto& n : interfaces(s)) {
        std::string index = std::to_string(n.index);
        for (const std::string& path : {"/var/lib/dhcp/dhclient." + n.name + ".leases", "/run/systemd/netif/leases/" + index,
                                        "/etc/sysconfig/network-scripts/ifcfg-" + n.name,
                                        "/run/systemd/resolve/netif/" + index, "/run/systemd/netif/links/" + index})
            ahead.files.push_back(path);
    }
}

namespace {

const std::vector<Nic>& nics(Source& s) {
    Ahead ahead;
    interfaceFilesAhead(s, ahead);
    s.prefetch(ahead);
    return interfaces(s);
}

const char* adapterType(const Source&, const Nic& n) {
    switch (n.type) {
        case 1: return "Ethernet 802.3";
        case 800: return "Token Ring 802.5";
        case 774: return "Fiber Distributed Data Interface (FDDI)";
        case 7: return "ARCNET";
        case 19: return "ATM";
        case 24: return "1394";
        case 512: case 768: case 776: case 65534: return "Wide Area Network (WAN)";
        default: return nullptr;
    }
}

std::string hexToIPv4(const std::string& hex) {
    auto v = parseUnsigned(hex, 16);
    if (!v) return {};
    unsigned x = static_cast<unsigned>(*v);  // little-endian in /proc/net/route
    return std::to_string(x & 0xFF) + "." + std::to_string((x >> 8) & 0xFF) + "." + std::to_string((x >> 16) & 0xFF) +
           "." + std::to_string((x >> 24) & 0xFF);
}

std::string hexToIPv6(const std::string& hex) {
    if (hex.size() != 32) return {};
    // Compressed form like inet_ntop: groups without leading zeros, the longest zero run as "::".
    std::vector<unsigned> g;
    for (int k = 0; k < 8; ++k) g.push_back(static_cast<unsigned>(parseUnsigned(hex.substr(k * 4, 4), 16).value_or(0)));
    int bestStart = -1, bestLen = 0;
    for (int k = 0; k < 8;) {
        if (g[k] != 0) { ++k; continue; }
        int j = k;
        while (j < 8 && g[j] == 0) ++j;
        if (j - k > bestLen && j - k >= 2) { bestStart = k; bestLen = j - k; }
        k = j;
    }
    std::string out;
    for (int k = 0; k < 8; ++k) {
        if (k == bestStart) {
            out += "::";
            k += bestLen - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out += ':';
        char buf[8];
        std::snprintf(buf, sizeof buf, "%x", g[k]);
        out += buf;
    }
    return out;
}

std::vector<std::string> gateways(Source& s, const std::string& ifname) {
    std::vector<std::string> out;
    if (const auto& f = s.file("/proc/net/route"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() < 8 || w[0] != ifname || w[1] != "00000000" || w[7] != "00000000") continue;
            auto flags = parseUnsigned(w[3], 16).value_or(0);
            if (flags & 0x2) out.push_back(hexToIPv4(w[2]));
        }
    if (const auto& f = s.file("/proc/net/ipv6_route"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() < 10 || w[9] != ifname || w[0] != std::string(32, '0') || w[1] != "00") continue;
            if (w[4] == std::string(32, '0')) continue;
            out.push_back(hexToIPv6(w[4]));
        }
    return out;
}

struct Lease {
    std::optional<std::time_t> obtained, expires;
    std::optional<std::string> server, domain, address;
    std::vector<std::string> dns, wins;
};

std::optional<std::time_t> utcTime(int y, int mo, int d, int h, int mi, int se) {
    std::tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = se;
    std::time_t t = ::timegm(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

std::vector<std::string> commaList(const std::string& v) {
    std::vector<std::string> out;
    std::size_t p = 0;
    while (p <= v.size()) {
        auto c = v.find(',', p);
        std::string item = trim(v.substr(p, c == std::string::npos ? std::string::npos : c - p));
        if (!item.empty()) out.push_back(item);
        if (c == std::string::npos) break;
        p = c + 1;
    }
    return out;
}

// The last lease block for the interface in a dhclient lease file.
std::optional<Lease> dhclientLease(const std::string& text, const std::string& ifname) {
    std::optional<Lease> found;
    std::size_t p = 0;
    while ((p = text.find("lease {", p)) != std::string::npos) {
        auto end = text.find('}', p);
        if (end == std::string::npos) break;
        std::string block = text.substr(p + 7, end - p - 7);
        p = end + 1;
        Lease l;
        std::string iface;
        std::optional<std::uint64_t> leaseTime;
        for (const auto& raw : splitLines(block)) {
            std::string line = trim(raw);
            if (!line.empty() && line.back() == ';') line.pop_back();
            auto w = splitWords(line);
            if (w.empty()) continue;
            if (w[0] == "interface" && w.size() > 1) iface = unquote(w[1]);
            else if (w[0] == "fixed-address" && w.size() > 1) l.address = w[1];
            else if (w[0] == "expire" && w.size() > 2) {
                if (w[1] == "epoch") {
                    if (auto e = parseUnsigned(w[2])) l.expires = static_cast<std::time_t>(*e);
                } else if (w.size() > 3) {
                    int y, mo, d, h, mi, se;
                    if (std::sscanf(w[2].c_str(), "%d/%d/%d", &y, &mo, &d) == 3 &&
                        std::sscanf(w[3].c_str(), "%d:%d:%d", &h, &mi, &se) == 3)
                        l.expires = utcTime(y, mo, d, h, mi, se);
                }
            } else if (w[0] == "option" && w.size() > 2) {
                std::string rest = trim(line.substr(line.find(w[1]) + w[1].size()));
                if (w[1] == "dhcp-lease-time") leaseTime = parseUnsigned(rest);
                else if (w[1] == "dhcp-server-identifier") l.server = rest;
                else if (w[1] == "domain-name") l.domain = unquote(rest);
                else if (w[1] == "domain-name-servers") l.dns = commaList(rest);
                else if (w[1] == "netbios-name-servers") l.wins = commaList(rest);
            }
        }
        if (iface != ifname && !iface.empty()) continue;
        if (l.expires && leaseTime && static_cast<std::time_t>(*leaseTime) <= *l.expires)
            l.obtained = *l.expires - static_cast<std::time_t>(*leaseTime);
        found = l;
    }
    return found;
}

std::optional<std::uint64_t> timespanSeconds(const std::string& v) {
    if (auto n = parseUnsigned(v)) return n;
    std::uint64_t total = 0;
    bool any = false;
    for (const auto& w : splitWords(v)) {
        std::size_t k = 0;
        while (k < w.size() && std::isdigit(static_cast<unsigned char>(w[k]))) ++k;
        auto n = parseUnsigned(w.substr(0, k));
        if (!n) return std::nullopt;
        std::string unit = w.substr(k);
        std::uint64_t mult = unit == "s" || unit == "sec" ? 1 : unit == "min" || unit == "m" ? 60 : unit == "h" ? 3600
                           : unit == "d" ? 86400 : unit == "w" ? 604800 : 0;
        if (!mult) return std::nullopt;
        total += *n * mult;
        any = true;
    }
    return any ? std::optional(total) : std::nullopt;
}

std::optional<Lease> leaseOf(Source& s, const Nic& n) {
    std::vector<std::string> files = {"/var/lib/dhcp/dhclient." + n.name + ".leases", "/var/lib/dhcp/dhclient.leases"};
    for (const char* dir : {"/var/lib/dhclient", "/var/lib/NetworkManager"})
        for (const auto& f : s.list(dir))
            if (startsWith(f, "dhclient") && (endsWith(f, "-" + n.name + ".lease") || endsWith(f, "-" + n.name + ".leases")))
                files.push_back(std::string(dir) + "/" + f);
    for (const auto& path : files)
        if (const auto& text = s.file(path))
            if (auto l = dhclientLease(*text, n.name)) return l;
    std::string networkd = "/run/systemd/netif/leases/" + std::to_string(n.index);
    if (const auto& text = s.file(networkd)) {
        Lease l;
        auto kv = [&](const char* k) { return keyValue(*text, k); };
        l.address = kv("ADDRESS");
        l.server = kv("SERVER_ADDRESS");
        l.domain = kv("DOMAINNAME");
        if (auto dns = kv("DNS")) l.dns = splitWords(*dns);
        if (auto st = s.status(networkd)) {
            l.obtained = st->st_mtime;
            if (auto life = kv("LIFETIME"))
                if (auto secs = timespanSeconds(*life)) l.expires = st->st_mtime + static_cast<std::time_t>(*secs);
        }
        return l;
    }
    return std::nullopt;
}

bool configuredForDhcp(Source& s, const Nic& n) {
    if (const auto& f = s.file("/etc/network/interfaces"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() >= 4 && w[0] == "iface" && w[1] == n.name && w[2] == "inet" && w[3] == "dhcp") return true;
        }
    for (const auto& f : s.list("/etc/systemd/network")) {
        if (!endsWith(f, ".network")) continue;
        const auto& text = s.file("/etc/systemd/network/" + f);
        if (!text) continue;
        bool matches = false;
        std::optional<std::string> dhcp;
        for (const auto& sec : parseIni(*text)) {
            if (sec.name == "Match")
                if (auto names = sec.get("Name"))
                    for (const auto& pattern : splitWords(*names))
                        if (pattern == n.name || pattern == "*" ||
                            (endsWith(pattern, "*") && startsWith(n.name, pattern.substr(0, pattern.size() - 1))))
                            matches = true;
            if (sec.name == "Network")
                if (auto d = sec.get("DHCP")) dhcp = lower(*d);
        }
        if (matches && dhcp && (*dhcp == "yes" || *dhcp == "ipv4" || *dhcp == "true" || *dhcp == "both")) return true;
    }
    for (const auto& f : s.list("/etc/netplan")) {
        if (!endsWith(f, ".yaml") && !endsWith(f, ".yml")) continue;
        const auto& text = s.file("/etc/netplan/" + f);
        if (!text) continue;
        bool inside = false;
        std::size_t indent = 0;
        for (const auto& line : splitLines(*text)) {
            std::string t = trim(line);
            if (t.empty() || t[0] == '#') continue;
            std::size_t ind = line.find_first_not_of(' ');
            if (t == n.name + ":") {
                inside = true;
                indent = ind;
                continue;
            }
            if (inside && ind <= indent) inside = false;
            if (inside && (t == "dhcp4: true" || t == "dhcp4: yes")) return true;
        }
    }
    if (const auto& f = s.file("/etc/sysconfig/network-scripts/ifcfg-" + n.name))
        if (lower(keyValue(*f, "BOOTPROTO").value_or("")) == "dhcp") return true;
    return false;
}

std::vector<std::string> resolvConfServers(Source& s, std::optional<std::string>& domain) {
    std::vector<std::string> servers;
    auto read = [&](const std::string& path) {
        servers.clear();
        if (const auto& f = s.file(path))
            for (const auto& line : splitLines(*f)) {
                auto w = splitWords(line);
                if (w.size() < 2) continue;
                if (w[0] == "nameserver") servers.push_back(w[1]);
                else if ((w[0] == "domain" || w[0] == "search") && !domain) domain = w[1];
            }
    };
    read("/etc/resolv.conf");
    if (servers.size() == 1 && servers[0] == "127.0.0.53") read("/run/systemd/resolve/resolv.conf");
    return servers;
}

std::string ntoa(std::time_t t) { return cimDateTime(t); }

}  // namespace

Instances networkAdapter(Source& s) {
    Instances out;
    for (const auto& n : nics(s)) {
        std::string dir = "/sys/class/net/" + n.name;
        Instance i;
        i.set("DeviceID", Value::of(std::to_string(n.index)));
        i.set("Index", Value::of(n.index));
        i.set("InterfaceIndex", Value::of(n.index));
        i.set("Name", textOrNull(n.description));
        i.set("Description", textOrNull(n.description));
        i.set("Caption", textOrNull(n.description));
        i.set("NetConnectionID", Value::of(n.name));
        i.set("MACAddress", textOrNull(n.mac));
        const char* type = adapterType(s, n);
        i.set("AdapterType", type ? Value::of(type) : Value::null());
        i.set("Manufacturer", textOrNull(n.manufacturer));
        std::optional<std::string> speed;
        if (auto v = s.attr(dir + "/speed"); v && !startsWith(*v, "-"))
            if (auto mb = parseUnsigned(*v); mb && *mb > 0) speed = std::to_string(*mb * 1000000);
        i.set("Speed", textOrNull(speed));
        i.set("MaxSpeed", Value::null());
        i.set("ServiceName", textOrNull(n.service));
        i.set("PhysicalAdapter", Value::of(n.physical));
        i.set("NetEnabled", Value::of(s.attr(dir + "/operstate").value_or("") == "up"));
        out.push_back(std::move(i));
    }
    return out;
}

// The interface addresses from procfs, for when getifaddrs cannot be asked (another computer):
// IPv4 from the local addresses of the routing trie, each on the interface and with the mask of
// the narrowest route of its subnet; IPv6 from if_inet6. Ordered as getifaddrs gives them: by
// interface index, IPv6 global addresses before site and link-local ones.
std::vector<InterfaceAddress> procInterfaceAddresses(Source& s) {
    std::vector<InterfaceAddress> out;
    auto index = [&](const std::string& name) {
        return parseUnsigned(s.attr("/sys/class/net/" + name + "/ifindex").value_or("")).value_or(UINT32_MAX);
    };
    auto up = [&](const std::string& name) {
        return (parseUnsigned(s.attr("/sys/class/net/" + name + "/flags").value_or("0"), 16).value_or(0) & 1) != 0;
    };
    struct Route {
        std::string name;
        std::uint32_t dest = 0, mask = 0;
    };
    std::vector<Route> routes;
    if (const auto& f = s.file("/proc/net/route"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() < 8 || w[0] == "Iface" || parseUnsigned(w[2], 16).value_or(1) != 0) continue;
            auto dest = parseUnsigned(w[1], 16), mask = parseUnsigned(w[7], 16);
            if (dest && mask && *mask != 0) routes.push_back({w[0], static_cast<std::uint32_t>(*dest), static_cast<std::uint32_t>(*mask)});
        }
    std::set<std::uint32_t> seen;
    std::vector<std::pair<std::uint64_t, InterfaceAddress>> v4;
    if (const auto& f = s.file("/proc/net/fib_trie")) {
        std::string leaf;
        for (const auto& line : splitLines(*f)) {
            std::string t = trim(line);
            if (startsWith(t, "|-- ")) leaf = t.substr(4);
            if (t != "/32 host LOCAL" || leaf.empty()) continue;
            in_addr a {};
            if (::inet_pton(AF_INET, leaf.c_str(), &a) != 1 || !seen.insert(a.s_addr).second) continue;
            const Route* best = nullptr;  // /proc/net/route holds addresses in memory order, as s_addr
            for (const auto& r : routes)
                if ((a.s_addr & r.mask) == r.dest && (!best || __builtin_popcount(r.mask) > __builtin_popcount(best->mask)))
                    best = &r;
            if (!best) continue;
            in_addr m {};
            m.s_addr = best->mask;
            char buf[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &m, buf, sizeof buf);
            v4.push_back({index(best->name), {best->name, false, leaf, buf, up(best->name)}});
        }
    }
    std::stable_sort(v4.begin(), v4.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::pair<std::uint64_t, int>, InterfaceAddress>> v6;
    if (const auto& f = s.file("/proc/net/if_inet6"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (w.size() < 6 || w[0].size() != 32) continue;
            in6_addr a {};
            bool ok = true;
            for (int k = 0; k < 16 && ok; ++k) {
                auto b = parseUnsigned(w[0].substr(static_cast<std::size_t>(k) * 2, 2), 16);
                ok = b.has_value();
                a.s6_addr[k] = static_cast<unsigned char>(b.value_or(0));
            }
            auto ifIndex = parseUnsigned(w[1], 16), prefix = parseUnsigned(w[2], 16), scope = parseUnsigned(w[3], 16);
            if (!ok || !ifIndex || !prefix || !scope) continue;
            char buf[INET6_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET6, &a, buf, sizeof buf);
            int rank = *scope == 0 ? 0 : *scope == 0x40 ? 1 : *scope == 0x20 ? 2 : 3;
            v6.push_back({{*ifIndex, rank}, {w[5], true, buf, std::to_string(*prefix), up(w[5])}});
        }
    std::stable_sort(v6.begin(), v6.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [k, a] : v4) out.push_back(std::move(a));
    for (auto& [k, a] : v6) out.push_back(std::move(a));
    return out;
}

Instances networkAdapterConfiguration(Source& s) {
    std::vector<InterfaceAddress> addresses;
    addresses = s.probes().interfaceAddresses ? s.probes().interfaceAddresses() : procInterfaceAddresses(s);
    // IPv4 addresses first, then IPv6, as Windows lists them; each family in the kernel's order.
    std::stable_partition(addresses.begin(), addresses.end(), [](const InterfaceAddress& a) { return !a.ipv6; });
    std::optional<std::string> globalDomain;
    auto globalDns = resolvConfServers(s, globalDomain);
    bool samba = !sambaConfig(s).empty();
    std::vector<std::string> winsServers;
    if (auto w = sambaGlobal(s, "wins server")) winsServers = splitWords(*w);
    bool dnsProxy = samba && lower(sambaGlobal(s, "dns proxy").value_or("yes")) != "no";
    bool lmhosts = samba && lower(sambaGlobal(s, "name resolve order").value_or("lmhosts")).find("lmhosts") != std::string::npos;
    bool registration = false;
    if (const auto& f = s.file("/etc/sssd/sssd.conf"))
        for (const auto& sec : parseIni(*f))
            if (startsWith(sec.name, "domain/")) {
                auto upd = sec.get("dyndns_update");
                if (upd ? lower(*upd) == "true" : sec.get("id_provider").value_or("") == "ad") registration = true;
            }
    if (samba && lower(sambaGlobal(s, "allow dns updates").value_or("")) != "" &&
        lower(*sambaGlobal(s, "allow dns updates")) != "disabled")
        registration = true;
    int netbios = !samba ? 2 : lower(sambaGlobal(s, "disable netbios").value_or("no")) == "yes" ? 2 : 1;
    std::string host = s.attr("/proc/sys/kernel/hostname").value_or(s.attr("/etc/hostname").value_or(""));
    host = host.substr(0, host.find('.'));

    Instances out;
    for (const auto& n : nics(s)) {
        std::string dir = "/sys/class/net/" + n.name;
        Instance i;
        i.set("Index", Value::of(n.index));
        i.set("InterfaceIndex", Value::of(n.index));
        char caption[32];
        std::snprintf(caption, sizeof caption, "[%08u] ", static_cast<unsigned>(n.index));
        i.set("Caption", Value::of(caption + n.description.value_or(n.name)));
        i.set("Description", Value::of(n.description.value_or(n.name)));
        i.set("MACAddress", textOrNull(n.mac));
        i.set("ServiceName", textOrNull(n.service));
        std::vector<std::string> ips, masks;
        bool up = false;
        for (const auto& a : addresses)
            if (a.interface == n.name) {
                ips.push_back(a.address);
                masks.push_back(a.netmask);
                up = up || a.up;
            }
        if (auto flags = parseUnsigned(s.attr(dir + "/flags").value_or(""), 16)) up = (*flags & 0x1) != 0;
        bool enabled = up && !ips.empty();
        i.set("IPEnabled", Value::of(enabled));
        i.set("IPAddress", textList(ips));
        i.set("IPSubnet", textList(masks));
        i.set("DefaultIPGateway", textList(gateways(s, n.name)));
        auto lease = leaseOf(s, n);
        i.set("DHCPEnabled", Value::of(lease.has_value() || configuredForDhcp(s, n)));
        i.set("DHCPLeaseObtained", lease && lease->obtained ? Value::of(ntoa(*lease->obtained)) : Value::null());
        i.set("DHCPLeaseExpires", lease && lease->expires ? Value::of(ntoa(*lease->expires)) : Value::null());
        i.set("DHCPServer", textOrNull(lease ? lease->server : std::nullopt));
        i.set("DNSHostName", host.empty() ? Value::null() : Value::of(host));
        std::optional<std::string> domain = lease && lease->domain ? lease->domain : globalDomain;
        std::vector<std::string> dns;
        if (auto f = s.file("/run/systemd/resolve/netif/" + std::to_string(n.index)))
            if (auto v = keyValue(*f, "SERVERS")) dns = splitWords(*v);
        if (dns.empty())
            if (auto f = s.file("/run/systemd/netif/links/" + std::to_string(n.index)))
                if (auto v = keyValue(*f, "DNS")) dns = splitWords(*v);
        if (dns.empty() && lease) dns = lease->dns;
        if (dns.empty()) dns = globalDns;
        i.set("DNSDomain", enabled ? textOrNull(domain) : Value::null());
        i.set("DNSServerSearchOrder", enabled ? textList(dns) : Value::null());
        i.set("DNSEnabledForWINSResolution", Value::of(dnsProxy));
        i.set("DomainDNSRegistrationEnabled", Value::of(registration));
        std::vector<std::string> wins = winsServers.empty() && lease ? lease->wins : winsServers;
        i.set("WINSPrimaryServer", wins.size() > 0 ? Value::of(wins[0]) : Value::null());
        i.set("WINSSecondaryServer", wins.size() > 1 ? Value::of(wins[1]) : Value::null());
        i.set("WINSScopeID", textOrNull(sambaGlobal(s, "netbios scope")));
        i.set("TcpipNetbiosOptions", Value::of(netbios));
        i.set("WINSEnableLMHostsLookup", Value::of(lmhosts));
        i.set("WINSHostLookupFile", s.exists("/etc/samba/lmhosts") ? Value::of("/etc/samba/lmhosts") : Value::null());
        bool ipx = s.exists("/proc/net/ipx");
        i.set("IPXEnabled", Value::of(ipx));
        i.set("IPXAddress", Value::null());
        i.set("IPXNetworkNumber", Value::null());
        i.set("IPXVirtualNetNumber", Value::null());
        i.set("IPXFrameType", Value::null());
        i.set("IPXMediaType", Value::null());
        out.push_back(std::move(i));
    }
    return out;
}

Instances networkClient(Source& s) {
    std::set<std::string> fs;
    if (const auto& f = s.file("/proc/filesystems"))
        for (const auto& line : splitLines(*f)) {
            auto w = splitWords(line);
            if (!w.empty()) fs.insert(w.back());
        }
    std::string dep;
    if (auto rel = kernelRelease(s))
        for (const char* base : {"/lib/modules/", "/usr/lib/modules/"})
            if (const auto& d = s.file(base + *rel + "/modules.dep", true)) {
                dep = *d;
                break;
            }
    auto hasModule = [&](const char* path) { return dep.find(path) != std::string::npos; };
    Instances out;
    auto add = [&](const char* name, const char* description) {
        Instance i;
        i.set("Name", Value::of(name));
        i.set("Caption", Value::of(name));
        i.set("Description", Value::of(description));
        out.push_back(std::move(i));
    };
    if (fs.count("cifs") || fs.count("smb3") || hasModule("kernel/fs/smb/client/cifs.ko") || hasModule("kernel/fs/cifs/cifs.ko"))
        add("SMB/CIFS client", "Kernel client for SMB/CIFS file shares");
    if (fs.count("nfs") || fs.count("nfs4") || hasModule("kernel/fs/nfs/"))
        add("NFS client", "Kernel client for NFS exports");
    return out;
}

Instances networkProtocol(Source& s) {
    static const std::map<std::string, std::string> kDescriptions = {
        {"TCP", "Transmission Control Protocol (IPv4)"}, {"TCPv6", "Transmission Control Protocol (IPv6)"},
        {"UDP", "User Datagram Protocol (IPv4)"},        {"UDPv6", "User Datagram Protocol (IPv6)"},
        {"UDP-Lite", "Lightweight User Datagram Protocol (IPv4)"}, {"UDPLITEv6", "Lightweight User Datagram Protocol (IPv6)"},
        {"RAW", "Raw IP sockets (IPv4)"},                {"RAWv6", "Raw IP sockets (IPv6)"},
        {"PING", "ICMP echo sockets (IPv4)"},            {"PINGv6", "ICMP echo sockets (IPv6)"},
        {"UNIX", "Local (Unix domain) sockets"},         {"UNIX-STREAM", "Local (Unix domain) stream sockets"},
        {"NETLINK", "Kernel netlink sockets"},           {"PACKET", "Packet sockets"},
        {"MPTCP", "Multipath TCP (IPv4)"},               {"MPTCPv6", "Multipath TCP (IPv6)"},
        {"SCTP", "Stream Control Transmission Protocol (IPv4)"}, {"SCTPv6", "Stream Control Transmission Protocol (IPv6)"},
        {"XDP", "Express data path sockets"},            {"AF_VSOCK", "Virtual machine sockets"},
        {"IPX", "IPX/SPX"},
    };
    Instances out;
    const auto& f = s.file("/proc/net/protocols");
    if (!f) return out;
    auto lines = splitLines(*f);
    for (std::size_t k = 1; k < lines.size(); ++k) {
        auto w = splitWords(lines[k]);
        if (w.empty()) continue;
        auto it = kDescriptions.find(w[0]);
        Instance i;
        i.set("Name", Value::of(w[0]));
        i.set("Caption", Value::of(w[0]));
        i.set("Description", Value::of(it == kDescriptions.end() ? w[0] : it->second));
        out.push_back(std::move(i));
    }
    return out;
}

Instances share(Source& s) {
    Instances out;
    auto add = [&](const std::string& name, const std::optional<std::string>& path,
                   const std::optional<std::string>& description, std::int64_t type) {
        Instance i;
        i.set("Name", Value::of(name));
        i.set("Caption", Value::of(name));
        i.set("Path", textOrNull(path));
        i.set("Description", textOrNull(description));
        i.set("Type", Value::of(type));
        out.push_back(std::move(i));
    };
    const auto& smb = sambaConfig(s);
    bool any = false;
    for (const auto& sec : smb) {
        if (sec.name.empty() || lower(sec.name) == "global") continue;
        auto yes = [](const std::optional<std::string>& v) {
            return v && (lower(*v) == "yes" || lower(*v) == "true" || *v == "1");
        };
        bool print = lower(sec.name) == "printers" || yes(sec.get("printable")) || yes(sec.get("print ok"));
        auto path = sec.get("path");
        if (path && path->empty()) path.reset();
        add(sec.name, path, sec.get("comment"), print ? 1 : 0);
        any = true;
    }
    for (const auto& name : s.list("/var/lib/samba/usershares")) {
        const auto& f = s.file("/var/lib/samba/usershares/" + name);
        if (!f) continue;
        add(name, keyValue(*f, "path"), keyValue(*f, "comment"), 0);
        any = true;
    }
    if (any || !smb.empty()) add("IPC$", std::nullopt, std::string("Remote IPC"), 2147483651LL);
    std::vector<std::string> exports = {"/etc/exports"};
    for (const auto& f : s.list("/etc/exports.d"))
        if (endsWith(f, ".exports")) exports.push_back("/etc/exports.d/" + f);
    for (const auto& path : exports)
        if (const auto& f = s.file(path))
            for (const auto& raw : splitLines(*f)) {
                std::string line = trim(raw);
                if (line.empty() || line[0] == '#') continue;
                std::string dir = line[0] == '"' ? line.substr(1, line.find('"', 1) - 1) : splitWords(line)[0];
                std::string rest = trim(line.substr(std::min(line.size(), dir.size() + (line[0] == '"' ? 2 : 0))));
                add(dir, dir, rest.empty() ? std::nullopt : std::optional(rest), 0);
            }
    return out;
}

namespace {

// A print queue of CUPS's printers.conf.
struct CupsQueue {
    std::string name;
    bool markedDefault = false;
    std::optional<std::string> makeModel, uri, info, location;
};

std::vector<CupsQueue> cupsQueues(const std::string& conf) {
    std::vector<CupsQueue> queues;
    CupsQueue* cur = nullptr;
    for (const auto& raw : splitLines(conf)) {
        std::string line = trim(raw);
        if (startsWith(line, "<Printer ") || startsWith(line, "<DefaultPrinter ")) {
            bool def = startsWith(line, "<DefaultPrinter ");
            std::string name = trim(line.substr(def ? 16 : 9));
            if (!name.empty() && name.back() == '>') name.pop_back();
            queues.push_back({name, def, {}, {}, {}, {}});
            cur = &queues.back();
        } else if (startsWith(line, "</")) {
            cur = nullptr;
        } else if (cur) {
            auto sp = line.find(' ');
            if (sp == std::string::npos) continue;
            std::string key = line.substr(0, sp), value = trim(line.substr(sp + 1));
            if (key == "MakeModel") cur->makeModel = value;
            else if (key == "DeviceURI") cur->uri = value;
            else if (key == "Info") cur->info = value;
            else if (key == "Location") cur->location = value;
        }
    }
    return queues;
}

}  // namespace

// The drivers' descriptions of queues whose configuration names no make and model.
void printersAhead(Source& s, Ahead& ahead) {
    if (const auto& conf = s.file("/etc/cups/printers.conf"))
        for (const auto& q : cupsQueues(*conf))
            if (!q.makeModel) ahead.files.push_back("/etc/cups/ppd/" + q.name + ".ppd");
}

Instances printer(Source& s) {
    Instances out;
    const auto& conf = s.file("/etc/cups/printers.conf");
    if (!conf) return out;
    std::optional<std::string> defaultName;
    for (const char* path : {"/etc/cups/lpoptions"})
        if (const auto& f = s.file(path))
            for (const auto& line : splitLines(*f)) {
                auto w = splitWords(line);
                if (w.size() >= 2 && w[0] == "Default") defaultName = w[1].substr(0, w[1].find('/'));
            }
    if (!defaultName && s.probes().environment)
        for (const char* env : {"LPDEST", "PRINTER"})
            if (auto v = s.probes().environment(env); v && !v->empty()) {
                defaultName = *v;
                break;
            }
    std::vector<CupsQueue> queues = cupsQueues(*conf);
    Ahead ahead;
    printersAhead(s, ahead);
    s.prefetch(ahead);
    for (auto& q : queues) {
        if (!q.makeModel)
            if (const auto& ppd = s.file("/etc/cups/ppd/" + q.name + ".ppd"))
                for (const auto& line : splitLines(*ppd))
                    if (startsWith(line, "*NickName:")) q.makeModel = unquote(trim(line.substr(10)));
        if (q.uri) {
            // Credentials in the URI are not part of the port name.
            auto scheme = q.uri->find("://");
            auto at = q.uri->find('@');
            auto slash = scheme == std::string::npos ? std::string::npos : q.uri->find('/', scheme + 3);
            if (scheme != std::string::npos && at != std::string::npos && (slash == std::string::npos || at < slash))
                q.uri = q.uri->substr(0, scheme + 3) + q.uri->substr(at + 1);
        }
        Instance i;
        i.set("DeviceID", Value::of(q.name));
        i.set("Name", Value::of(q.name));
        i.set("Caption", Value::of(q.name));
        i.set("DriverName", textOrNull(q.makeModel));
        i.set("PortName", textOrNull(q.uri));
        i.set("Comment", textOrNull(q.info));
        i.set("Location", textOrNull(q.location));
        i.set("Default", Value::of(defaultName ? *defaultName == q.name : q.markedDefault));
        out.push_back(std::move(i));
    }
    return out;
}

}  // namespace qv::posix::provider

// Network adapters and their TCP/IP settings, network clients and protocols.
#include <arpa/inet.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <map>
#include <set>

#include "facts/classes.h"
#include "facts/network-facts.h"

namespace qv::facts {

namespace {


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
                n.mac = text::asciiUpper(*addr);
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
    bool dnsProxy = samba && text::asciiLower(sambaGlobal(s, "dns proxy").value_or("yes")) != "no";
    bool lmhosts = samba && text::asciiLower(sambaGlobal(s, "name resolve order").value_or("lmhosts")).find("lmhosts") != std::string::npos;
    bool registration = false;
    if (const auto& f = s.file("/etc/sssd/sssd.conf"))
        for (const auto& sec : parseIni(*f))
            if (startsWith(sec.name, "domain/")) {
                auto upd = sec.get("dyndns_update");
                if (upd ? text::asciiLower(*upd) == "true" : sec.get("id_provider").value_or("") == "ad") registration = true;
            }
    if (samba && text::asciiLower(sambaGlobal(s, "allow dns updates").value_or("")) != "" &&
        text::asciiLower(*sambaGlobal(s, "allow dns updates")) != "disabled")
        registration = true;
    int netbios = !samba ? 2 : text::asciiLower(sambaGlobal(s, "disable netbios").value_or("no")) == "yes" ? 2 : 1;
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

}  // namespace qv::facts

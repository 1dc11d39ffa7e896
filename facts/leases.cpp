// DHCP leases (dhclient, systemd-networkd), DHCP configuration and resolv.conf, read for the adapters.
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

}  // namespace

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
                if (auto d = sec.get("DHCP")) dhcp = text::asciiLower(*d);
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
        if (text::asciiLower(keyValue(*f, "BOOTPROTO").value_or("")) == "dhcp") return true;
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

}  // namespace qv::facts

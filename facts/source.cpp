// Bounded, cached reads under the root directory, the live probes, and small text helpers.
#include "facts/source.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace qv::facts {

namespace {

int prefixLength(const sockaddr* mask) {
    if (!mask || mask->sa_family != AF_INET6) return 0;
    const auto* m = reinterpret_cast<const sockaddr_in6*>(mask);
    int bits = 0;
    for (unsigned char b : m->sin6_addr.s6_addr) bits += __builtin_popcount(b);
    return bits;
}

std::vector<InterfaceAddress> liveInterfaceAddresses() {
    std::vector<InterfaceAddress> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (int family : {AF_INET, AF_INET6}) {
        for (ifaddrs* a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != family || !a->ifa_name) continue;
            InterfaceAddress item;
            item.interface = a->ifa_name;
            item.ipv6 = family == AF_INET6;
            item.up = (a->ifa_flags & IFF_UP) != 0;
            char buf[INET6_ADDRSTRLEN] = {};
            if (family == AF_INET) {
                ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, buf, sizeof buf);
                item.address = buf;
                if (a->ifa_netmask) {
                    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr, buf, sizeof buf);
                    item.netmask = buf;
                }
            } else {
                ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr, buf, sizeof buf);
                item.address = buf;
                item.netmask = std::to_string(prefixLength(a->ifa_netmask));
            }
            out.push_back(std::move(item));
        }
    }
    ::freeifaddrs(list);
    return out;
}

}  // namespace

Probes liveProbes() {
    Probes p;
    p.interfaceAddresses = liveInterfaceAddresses;
    p.processorId = []() -> std::optional<std::string> {
#if defined(__x86_64__) || defined(__i386__)
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d)) return std::nullopt;
        char buf[17];
        std::snprintf(buf, sizeof buf, "%08X%08X", d, a);
        return std::string(buf);
#else
        return std::nullopt;
#endif
    };
    p.birthTime = [](const std::string& path) -> std::optional<std::time_t> {
        struct statx sx {};
        if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME) ||
            sx.stx_btime.tv_sec <= 0)
            return std::nullopt;
        return static_cast<std::time_t>(sx.stx_btime.tv_sec);
    };
    p.environment = [](const std::string& name) -> std::optional<std::string> {
        const char* v = std::getenv(name.c_str());
        if (!v) return std::nullopt;
        return std::string(v);
    };
    p.machine = []() {
        struct utsname u {};
        if (::uname(&u) != 0) return std::string();
        return std::string(u.machine);
    };
    p.now = []() { return std::time(nullptr); };
    return p;
}

Source::Source(Options options) : options_(std::move(options)) {
    while (options_.root.size() > 1 && options_.root.back() == '/') options_.root.pop_back();
    if (!options_.files) options_.files = localFiles(options_.root);
}

std::string Source::hostPath(const std::string& path) const {
    if (options_.root == "/" || options_.root.empty()) return path;
    return options_.root + path;
}

const std::optional<std::string>& Source::file(const std::string& path, bool large) {
    auto it = files_.find(path);
    if (it != files_.end()) return it->second;
    auto content = files().read(path, large ? options_.maxDatabaseBytes : options_.maxFileBytes);
    return files_.emplace(path, std::move(content)).first->second;
}

const std::optional<std::string>& Source::packagedFile(const std::string& path) {
    auto it = files_.find(path);
    if (it != files_.end()) return it->second;
    return files_.emplace(path, files().readPackaged(path, options_.maxDatabaseBytes)).first->second;
}

namespace {

// The paths not yet in `cache`, each once.
template <class Cache>
std::vector<std::string> uncached(const Cache& cache, const std::vector<std::string>& paths) {
    std::vector<std::string> missing;
    for (const auto& path : paths)
        if (!cache.count(path)) missing.push_back(path);
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    return missing;
}

}  // namespace

void Source::prefetch(const std::vector<std::string>& paths, bool large) {
    auto missing = uncached(files_, paths);
    if (missing.empty()) return;
    auto contents = files().readMany(missing, large ? options_.maxDatabaseBytes : options_.maxFileBytes);
    for (std::size_t k = 0; k < missing.size() && k < contents.size(); ++k)
        files_.emplace(missing[k], std::move(contents[k]));
}

void Source::prefetch(const Ahead& ahead) {
    // The file access asks for everything not cached yet at once; the calls below then find the
    // answers it kept.
    Wanted wanted;
    wanted.folders = uncached(lists_, ahead.folders);
    wanted.statuses = ahead.statuses;
    wanted.resolved = uncached(resolved_, ahead.resolved);
    wanted.links = uncached(links_, ahead.links);
    if (!options_.probes.fsSpace) wanted.spaces = ahead.spaces;
    for (const auto& path : uncached(files_, ahead.files)) wanted.files.emplace_back(path, options_.maxFileBytes);
    for (const auto& path : uncached(files_, ahead.largeFiles)) wanted.files.emplace_back(path, options_.maxDatabaseBytes);
    files().prefetch(wanted);
    prefetchListings(ahead.folders);
    prefetchResolved(ahead.resolved);
    prefetchLinks(ahead.links);
    files().prefetchStatuses(ahead.statuses);
    prefetch(ahead.files);
    prefetch(ahead.largeFiles, true);
}

void Source::prefetchLinks(const std::vector<std::string>& paths) {
    auto missing = uncached(links_, paths);
    if (missing.empty()) return;
    auto targets = files().readLinks(missing);
    for (std::size_t k = 0; k < missing.size() && k < targets.size(); ++k)
        links_.emplace(missing[k], std::move(targets[k]));
}

void Source::prefetchListings(const std::vector<std::string>& dirs) {
    auto missing = uncached(lists_, dirs);
    if (!missing.empty()) files().prefetchListings(missing);
}

void Source::prefetchResolved(const std::vector<std::string>& paths) {
    auto missing = uncached(resolved_, paths);
    if (missing.empty()) return;
    auto real = files().resolveMany(missing);
    for (std::size_t k = 0; k < missing.size() && k < real.size(); ++k) resolved_.emplace(missing[k], std::move(real[k]));
}

std::optional<std::string> Source::attr(const std::string& path) {
    const auto& f = file(path);
    if (!f) return std::nullopt;
    std::string_view v(*f);
    auto nl = v.find('\n');
    if (nl != std::string_view::npos) v = v.substr(0, nl);
    std::string t = trim(v);
    if (t.empty()) return std::nullopt;
    return t;
}

const std::vector<std::string>& Source::list(const std::string& dir) {
    auto it = lists_.find(dir);
    if (it != lists_.end()) return it->second;
    std::vector<std::string> names = files().list(dir);
    std::sort(names.begin(), names.end());
    return lists_.emplace(dir, std::move(names)).first->second;
}

const std::map<std::string, std::time_t>& Source::modificationTimes(const std::string& dir,
                                                                    const std::string& suffix) {
    auto it = times_.find(dir + '\0' + suffix);
    if (it != times_.end()) return it->second;
    return times_.emplace(dir + '\0' + suffix, files().modificationTimes(dir, suffix)).first->second;
}

std::optional<std::string> Source::link(const std::string& path) {
    auto it = links_.find(path);
    if (it == links_.end()) it = links_.emplace(path, files().readLink(path)).first;
    return it->second;
}
std::optional<std::string> Source::resolve(const std::string& path) {
    auto it = resolved_.find(path);
    if (it == resolved_.end()) it = resolved_.emplace(path, files().resolve(path)).first;
    return it->second;
}
std::optional<struct stat> Source::status(const std::string& path) { return files().status(path); }
bool Source::exists(const std::string& path) {
    auto it = exists_.find(path);
    if (it == exists_.end()) it = exists_.emplace(path, files().exists(path)).first;
    return it->second;
}

bool Source::isDir(const std::string& path) {
    auto st = status(path);
    return st && S_ISDIR(st->st_mode);
}

std::optional<FsSpace> Source::space(const std::string& path) {
    if (options_.probes.fsSpace) return options_.probes.fsSpace(hostPath(path));
    return files().space(path);
}







std::string baseName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}


std::vector<std::pair<std::string, std::string>> keyValues(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& raw : splitLines(text)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (startsWith(line, "export ")) line = trim(line.substr(7));
        auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        out.emplace_back(trim(line.substr(0, eq)), unquote(trim(line.substr(eq + 1))));
    }
    return out;
}

std::optional<std::string> keyValue(std::string_view text, const std::string& key) {
    std::optional<std::string> found;
    for (auto& [k, v] : keyValues(text))
        if (k == key) found = v;
    return found;
}


namespace {
std::string normalKey(const std::string& k) {
    std::string out;
    for (char c : k)
        if (c != ' ' && c != '\t') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

std::optional<std::string> IniSection::get(const std::string& key) const {
    std::optional<std::string> found;
    std::string want = normalKey(key);
    for (const auto& [k, v] : entries)
        if (normalKey(k) == want) found = v;
    return found;
}

std::vector<IniSection> parseIni(std::string_view text, bool lineContinuations) {
    std::vector<IniSection> sections;
    sections.push_back({});  // entries before the first section header
    std::string pending;
    for (const auto& raw : splitLines(text)) {
        std::string line = trim(raw);
        if (lineContinuations && !pending.empty()) {
            line = pending + line;
            pending.clear();
        }
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (lineContinuations && line.back() == '\\') {
            pending = line.substr(0, line.size() - 1) + " ";
            continue;
        }
        if (line[0] == '[') {
            auto close = line.find(']');
            sections.push_back({trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        sections.back().entries.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return sections;
}

std::string cimDateTime(std::time_t when) {
    std::tm tm {};
    if (!::localtime_r(&when, &tm)) return {};
    long offset = tm.tm_gmtoff / 60;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d.000000%c%03ld", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+', offset < 0 ? -offset : offset);
    return buf;
}

std::string cimDate(int year, int month, int day) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d000000.000000+000", year, month, day);
    return buf;
}

Value textOrNull(const std::optional<std::string>& s) { return s ? Value::of(*s) : Value::null(); }
Value uint64Text(std::uint64_t n) { return Value::of(std::to_string(n)); }
Value intOrNull(const std::optional<std::int64_t>& n) { return n ? Value::of(*n) : Value::null(); }
Value textList(const std::vector<std::string>& items) {
    if (items.empty()) return Value::null();
    std::vector<Value> v;
    for (const auto& s : items) v.push_back(Value::of(s));
    return Value::ofList(std::move(v));
}

}  // namespace qv::facts

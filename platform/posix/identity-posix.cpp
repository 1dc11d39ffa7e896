// Identity of the local Linux computer: host name, user, DNS domain, documents folder, privilege,
// domain controller (DNS SRV record of the domain), kernel version and distribution name.
#include "platform/posix/identity-posix.h"
#include "platform/posix/service-records.h"
#include "platform/text.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qv::posix {

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string hostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (passwd* pw = ::getpwuid(::geteuid())) return pw->pw_dir ? pw->pw_dir : "";
    return {};
}

// The canonical name of this host from /etc/hosts (no network lookup).
std::string canonicalFromHosts(const std::string& host) {
    std::istringstream in(readText("/etc/hosts"));
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string addr, canonical, alias;
        if (!(fields >> addr >> canonical)) continue;
        if (canonical == host) return canonical;
        while (fields >> alias)
            if (alias == host) return canonical;
    }
    return {};
}

}  // namespace

std::string documentsFromUserDirs(const std::string& text, const std::string& home) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos || line[b] == '#') continue;
        line = line.substr(b);
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string value = line.substr(key.size());
        if (!value.empty() && value.front() == '"') {
            std::size_t close = value.find('"', 1);
            value = value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        }
        if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
        if (value.empty() || value.front() != '/') return {};
        while (value.size() > 1 && value.back() == '/') value.pop_back();
        return value;
    }
    return {};
}

std::string prettyNameFromOsRelease(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 12, "PRETTY_NAME=") != 0) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

std::string computerNameOf(const std::string& host) {
    // The whole short name: cut to the 15 characters of a NetBIOS name, two hosts that differ only
    // after them would share one report and one key.
    return text::asciiUpper(host.substr(0, host.find('.')));  // host names are ASCII
}

bool PosixIdentity::computerName(std::string& out) {
    std::string name = computerNameOf(hostName());
    if (name.empty()) return false;
    out = name;
    return true;
}

bool PosixIdentity::isLocalComputer(const std::string& name) {
    if (Identity::isLocalComputer(name)) return true;
    std::call_once(namesLooked_, [this] {
        const std::string host = hostName();
        own_.names = {"localhost", host, host.substr(0, host.find('.'))};
        // The fully qualified name, as the resolver knows it (the hosts file first).
        addrinfo hints{};
        hints.ai_flags = AI_CANONNAME;
        addrinfo* found = nullptr;
        if (!host.empty() && ::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found) {
            if (found->ai_canonname) own_.names.push_back(found->ai_canonname);
            ::freeaddrinfo(found);
        }
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) return;
        for (ifaddrs* a = list; a; a = a->ifa_next) own_.addAddress(a->ifa_addr);
        ::freeifaddrs(list);
    });
    return namesThisComputer(name, own_);
}

bool PosixIdentity::userName(std::string& out) {
    passwd* pw = ::getpwuid(::geteuid());
    if (!pw || !pw->pw_name) return false;
    out = pw->pw_name;
    return true;
}

bool PosixIdentity::dnsDomain(std::string& out) {
    std::string host = hostName();
    if (host.empty()) return false;
    std::string canonical = host.find('.') != std::string::npos ? host : canonicalFromHosts(host);
    std::size_t dot = canonical.find('.');
    out = dot == std::string::npos ? std::string() : canonical.substr(dot + 1);
    return true;
}

bool PosixIdentity::documentsFolder(std::string& out) {
    std::string home = homeDirectory();
    if (home.empty()) return false;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string configDir = (config && *config) ? config : home + "/.config";
    std::string docs = documentsFromUserDirs(readText(configDir + "/user-dirs.dirs"), home);
    if (docs.empty()) docs = home + "/Documents";
    struct stat st {};
    if (::stat(docs.c_str(), &st) != 0 && ::mkdir(docs.c_str(), 0755) != 0) return false;
    if (::stat(docs.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    out = docs;
    return true;
}

bool PosixIdentity::privilegeLevel(const std::string&, std::int32_t& out) {
    out = ::geteuid() == 0 ? 2 : 1;
    return true;
}

bool PosixIdentity::primaryDCName(std::string& out) {
    std::string domain;
    if (!dnsDomain(domain) || domain.empty()) return false;
    std::vector<std::string> hosts = serviceHosts("_ldap._tcp.dc._msdcs." + domain);
    if (hosts.empty()) return false;
    out = "\\\\" + hosts.front().substr(0, hosts.front().find('.'));
    return true;
}

bool PosixIdentity::version(VersionRecord& out) {
    utsname u {};
    if (::uname(&u) != 0) return false;
    int numbers[3] = {0, 0, 0};
    const char* p = u.release;
    for (int i = 0; i < 3 && *p; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) break;
        numbers[i] = std::atoi(p);
        while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
        if (*p == '.') ++p;
        else break;
    }
    out.platformId = 2;
    out.major = numbers[0];
    out.minor = numbers[1];
    out.build = numbers[2];
    out.csd.clear();
    return true;
}

bool PosixIdentity::osNameOverride(std::string& out) {
    std::string name = prettyNameFromOsRelease(readText("/etc/os-release"));
    if (name.empty()) name = prettyNameFromOsRelease(readText("/usr/lib/os-release"));
    if (name.empty()) return false;
    out = name;
    return true;
}

}  // namespace qv::posix

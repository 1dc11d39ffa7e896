// Identity and version queries: platform answers turned into texts, failures into empty results.
#include "environment/identity.h"
#include "platform/text.h"


namespace qv::environment {

namespace {
std::string beforeNul(const std::string& s) { return s.substr(0, s.find('\0')); }
}  // namespace

std::string getLocalComputerName(Identity& identity) {
    std::string s;
    return identity.computerName(s) ? beforeNul(s) : std::string();
}

std::string getLocalUserName(Identity& identity) {
    std::string s;
    return identity.userName(s) ? beforeNul(s) : std::string();
}

std::string getDnsDomainName(Identity& identity) {
    std::string s;
    return identity.dnsDomain(s) ? s : std::string();
}

std::string getMyDocumentsPath(Identity& identity) {
    std::string s;
    return identity.documentsFolder(s) ? beforeNul(s) : std::string();
}

bool getUserPrivilegeLevel(Identity& identity, const std::string& user, std::int32_t& level) {
    return identity.privilegeLevel(user, level);
}

std::string getPrimaryDCName(Identity& identity) {
    std::string s;
    return identity.primaryDCName(s) ? s : std::string();
}

std::string getOSVersionText(Identity& identity, std::string& majorVersion) {
    VersionRecord v;
    if (!identity.version(v)) {
        majorVersion.clear();
        return {};
    }
    majorVersion = std::to_string(v.major);
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
}

bool getOSPlatformId(Identity& identity, std::int32_t& id) {
    VersionRecord v;
    if (!identity.version(v)) return false;
    id = v.platformId;
    return true;
}

std::string osNameFor(std::int32_t platformId, std::int32_t major, std::int32_t minor) {
    switch (platformId) {
        case 0: return "Windows 3.1";
        case 1:
            if (minor == 0) return "Windows 95";
            if (minor == 10) return "Windows 98";
            if (minor == 90) return "Windows Millennium";
            return {};
        case 2:
            if (major == 3) return "Windows NT 3.51";
            if (major == 4) return "Windows NT 4.0";
            if (major == 5) {
                if (minor == 0) return "Windows 2000";
                if (minor == 1) return "Windows XP";
                if (minor == 2) return "Windows Server 2003";
                return "Unknown Windows WinNT";
            }
            return {};
        default: return "Failed";
    }
}

std::string getOSName(Identity& identity) {
    VersionRecord v;
    if (!identity.version(v)) return {};
    std::string own;
    if (identity.osNameOverride(own)) return own;
    return osNameFor(v.platformId, v.major, v.minor);
}

std::string getOSServicePack(Identity& identity) {
    VersionRecord v;
    if (!identity.version(v)) return {};
    std::string s = v.csd;
    for (char& c : s)
        if (c == '\0') c = ' ';
    return text::trimBlanks(s);
}

}  // namespace qv::environment

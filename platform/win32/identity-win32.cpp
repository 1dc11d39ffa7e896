// Identity of the local Windows computer: computer and user names, DNS domain, documents folder,
// the user's privilege level, the primary domain controller and the version record.
#include "platform/win32/identity-win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#include <lm.h>
#include <shlobj.h>

#include <cstring>

#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

constexpr DWORD kNameBuffer = 80;
constexpr DWORD kDnsDomainBuffer = 256;
constexpr int kDocumentsFolder = 5;  // CSIDL_PERSONAL
constexpr std::size_t kControllerBuffer = 50;

// The text before the first NUL of an ANSI buffer, in UTF-8; false when the buffer holds no NUL.
bool textBeforeNul(const char* buffer, std::size_t size, std::string& out) {
    const void* nul = std::memchr(buffer, '\0', size);
    if (!nul) return false;
    out = fromAnsi(std::string(buffer, static_cast<const char*>(nul)));
    return true;
}

// True when the process token holds the well-known group `rid` of the BUILTIN domain.
bool tokenHoldsBuiltinGroup(DWORD rid) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID group = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, &group)) return false;
    BOOL member = FALSE;
    bool ok = CheckTokenMembership(nullptr, group, &member) && member;
    FreeSid(group);
    return ok;
}

}  // namespace

bool Win32Identity::computerName(std::string& out) {
    char buffer[kNameBuffer] = {};
    DWORD length = kNameBuffer;
    if (!GetComputerNameA(buffer, &length)) return false;
    return textBeforeNul(buffer, sizeof buffer, out);
}

bool Win32Identity::isLocalComputer(const std::string& name) {
    if (Identity::isLocalComputer(name)) return true;
    std::call_once(namesLooked_, [this] {
        own_.names = {"localhost"};
        for (COMPUTER_NAME_FORMAT format : {ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
            wchar_t buffer[256] = {};
            DWORD length = 256;
            if (GetComputerNameExW(format, buffer, &length)) own_.names.push_back(fromWide(buffer, length));
        }
        // Every unicast address of every adapter; the buffer is sized by the first call's answer.
        ULONG size = 16 * 1024;
        std::vector<unsigned char> buffer;
        ULONG result = ERROR_BUFFER_OVERFLOW;
        for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
            buffer.resize(size);
            result = GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                          reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
        }
        if (result != NO_ERROR) return;
        for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next)
            for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next)
                own_.addAddress(u->Address.lpSockaddr);
    });
    return namesThisComputer(name, own_);
}

bool Win32Identity::userName(std::string& out) {
    char buffer[kNameBuffer] = {};
    DWORD length = kNameBuffer;
    if (!GetUserNameA(buffer, &length)) return false;
    return textBeforeNul(buffer, sizeof buffer, out);
}

bool Win32Identity::dnsDomain(std::string& out) {
    char buffer[kDnsDomainBuffer] = {};
    DWORD length = kDnsDomainBuffer;
    if (!GetComputerNameExA(ComputerNameDnsDomain, buffer, &length) || length > kDnsDomainBuffer) return false;
    out = fromAnsi(std::string(buffer, length));
    return true;
}

bool Win32Identity::documentsFolder(std::string& out) {
    char buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, kDocumentsFolder, nullptr, 0, buffer))) return false;
    return textBeforeNul(buffer, sizeof buffer, out);
}

// The full token behind this process's filtered one when User Account Control filtered it (an
// administrator in a console that is not elevated); null otherwise. Closed by the caller.
HANDLE linkedFullToken() {
    HANDLE process = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &process)) return nullptr;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    HANDLE linked = nullptr;
    if (GetTokenInformation(process, TokenElevationType, &type, sizeof type, &size) && type == TokenElevationTypeLimited) {
        TOKEN_LINKED_TOKEN link{};
        if (GetTokenInformation(process, TokenLinkedToken, &link, sizeof link, &size)) linked = link.LinkedToken;
    }
    CloseHandle(process);
    return linked;
}

// True when the full token behind a filtered one holds Administrators.
bool filteredAdministrator() {
    HANDLE full = linkedFullToken();
    if (!full) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    BOOL member = FALSE;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
        if (!CheckTokenMembership(full, admins, &member)) member = FALSE;
        FreeSid(admins);
    }
    CloseHandle(full);
    return member;
}

bool Win32Identity::runsNotElevated() { return filteredAdministrator(); }

bool tokenPrivilegeLevel(std::int32_t& out) {
    // An administrator in a console that is not elevated holds Administrators only as a deny
    // group; the level is the user's all the same, and the log says the console is not elevated.
    if (tokenHoldsBuiltinGroup(DOMAIN_ALIAS_RID_ADMINS) || filteredAdministrator()) {
        out = USER_PRIV_ADMIN;
        return true;
    }
    if (tokenHoldsBuiltinGroup(DOMAIN_ALIAS_RID_USERS)) {
        out = USER_PRIV_USER;
        return true;
    }
    return false;
}

bool Win32Identity::privilegeLevel(const std::string& user, std::int32_t& out) {
    std::wstring name = toWide(user);
    LPBYTE record = nullptr;
    NET_API_STATUS status = NetUserGetInfo(nullptr, name.c_str(), 2, &record);
    if (status == NERR_Success && record) {
        out = static_cast<std::int32_t>(reinterpret_cast<const USER_INFO_2*>(record)->usri2_priv);
        NetApiBufferFree(record);
        return true;
    }
    if (record) NetApiBufferFree(record);
    // An account the local account database does not hold: the token of this process knows
    // the user's groups, but only when the user asked about is the one running it.
    std::string self;
    if (!userName(self) || lstrcmpiW(toWide(self).c_str(), name.c_str()) != 0) return false;
    return tokenPrivilegeLevel(out);
}

bool Win32Identity::primaryDCName(std::string& out) {
    LPBYTE name = nullptr;
    if (NetGetDCName(nullptr, nullptr, &name) != NERR_Success || !name) {
        if (name) NetApiBufferFree(name);
        return false;
    }
    // The controller's name, then NULs to the end of the buffer; a longer name is cut so that
    // it cannot run past the buffer.
    wchar_t buffer[kControllerBuffer] = {};
    lstrcpynW(buffer, reinterpret_cast<const wchar_t*>(name), static_cast<int>(kControllerBuffer));
    NetApiBufferFree(name);
    out = fromWide(buffer, kControllerBuffer);
    return true;
}

bool Win32Identity::version(VersionRecord& out) {
    OSVERSIONINFOA info{};
    static_assert(sizeof info == 148);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
    out.platformId = static_cast<std::int32_t>(info.dwPlatformId);
    out.major = static_cast<std::int32_t>(info.dwMajorVersion);
    out.minor = static_cast<std::int32_t>(info.dwMinorVersion);
    out.build = static_cast<std::int32_t>(info.dwBuildNumber);
    // The whole service-pack field, NULs included; the caller turns them into spaces and trims.
    out.csd = fromAnsi(std::string(info.szCSDVersion, sizeof info.szCSDVersion));
    return true;
}

}  // namespace qv::win32

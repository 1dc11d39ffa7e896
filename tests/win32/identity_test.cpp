// Identity and version of the local computer through the real calls, run under Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <lm.h>
#include <shlobj.h>

#include "platform/win32/identity-win32.h"
#include "platform/win32/text-win32.h"

using namespace qv::win32;

namespace {

void expectCleanName(const std::string& name) {
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find('\0'), std::string::npos) << name;
    EXPECT_NE(name.back(), ' ') << name;
}

}  // namespace

TEST(Win32Identity, NamesAndDocumentsFolderAreCleanTexts) {
    Win32Identity identity;
    std::string computer, user, domain = "unset", documents;
    ASSERT_TRUE(identity.computerName(computer));
    expectCleanName(computer);
    EXPECT_LE(computer.size(), 15u);
    ASSERT_TRUE(identity.userName(user));
    expectCleanName(user);
    // The same user the environment names.
    char envUser[256] = {};
    if (GetEnvironmentVariableA("USERNAME", envUser, sizeof envUser) > 0) {
        EXPECT_EQ(user, fromAnsi(envUser));
    }

    // A computer outside any domain has an empty DNS domain, and no domain controller.
    ASSERT_TRUE(identity.dnsDomain(domain));
    EXPECT_EQ(domain, "");
    std::string controller = "unset";
    EXPECT_FALSE(identity.primaryDCName(controller));
    EXPECT_EQ(controller, "unset");

    ASSERT_TRUE(identity.documentsFolder(documents));
    expectCleanName(documents);
    EXPECT_TRUE(documents.ends_with("\\Documents") || documents.ends_with("\\My Documents")) << documents;
    EXPECT_EQ(documents.find('\\' + user + '\\') != std::string::npos, true) << documents;
    DWORD attributes = GetFileAttributesW(toWide(documents).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << documents;
}

TEST(Win32Identity, VersionRecordMatchesTheSystemAndKeepsTheWholeServicePackField) {
    Win32Identity identity;
    qv::VersionRecord v;
    ASSERT_TRUE(identity.version(v));
    OSVERSIONINFOW expected{};
    expected.dwOSVersionInfoSize = sizeof expected;
    ASSERT_TRUE(GetVersionExW(&expected));
    EXPECT_EQ(v.platformId, 2);
    EXPECT_EQ(v.major, static_cast<int>(expected.dwMajorVersion));
    EXPECT_EQ(v.minor, static_cast<int>(expected.dwMinorVersion));
    EXPECT_EQ(v.build, static_cast<int>(expected.dwBuildNumber));
    ASSERT_EQ(v.csd.size(), 128u);
    EXPECT_EQ(v.csd.substr(0, v.csd.find('\0')), fromWide(expected.szCSDVersion, wcslen(expected.szCSDVersion)));
    EXPECT_EQ(v.csd.back(), '\0');
}

// The account database of Wine does not hold the user (as for a domain account on a member
// workstation); the token still shows an administrator.
TEST(Win32Identity, PrivilegeComesFromTheTokenWhenTheAccountDatabaseFails) {
    Win32Identity identity;
    std::string user;
    ASSERT_TRUE(identity.userName(user));
    LPBYTE record = nullptr;
    NET_API_STATUS status = NetUserGetInfo(nullptr, toWide(user).c_str(), 2, &record);
    if (record) NetApiBufferFree(record);

    std::int32_t level = -7;
    ASSERT_TRUE(identity.privilegeLevel(user, level));
    if (status != NERR_Success) {
        std::int32_t fromToken = -7;
        ASSERT_TRUE(tokenPrivilegeLevel(fromToken));
        EXPECT_EQ(level, fromToken);
    }
    EXPECT_EQ(level, IsUserAnAdmin() ? 2 : 1);

    // The token speaks only for the user running the program.
    level = -7;
    EXPECT_FALSE(identity.privilegeLevel("nobody-else-" + user, level));
    EXPECT_EQ(level, -7);
}

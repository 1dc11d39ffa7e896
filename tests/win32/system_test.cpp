// Locale, environment and process start of the Windows system services, run under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/system-win32.h"

using namespace qv;

namespace {

std::string temporaryFolder() {
    char base[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base, n) + "qv-system-test-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

}  // namespace

// Wine's default user locale is en-US, so dates and numbers take the American forms.
TEST(Win32System, LocaleFollowsTheUsersWindowsSettings) {
    win32::Win32System system;
    const Locale& locale = system.locale();
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    if (std::wstring(name) != L"en-US") GTEST_SKIP() << "the user's locale is not en-US";
    EXPECT_EQ(locale.groupSeparator, ",");
    EXPECT_EQ(locale.decimalPoint, ".");
    EXPECT_EQ(locale.dateOrder, 'M');
    EXPECT_EQ(locale.dateSeparator, "/");
    EXPECT_TRUE(locale.twelveHour);
    EXPECT_EQ(formatGeneralDate(locale, DateTime{2026, 12, 8, 21, 5, 3}), "12/8/2026 9:05:03 PM");
    EXPECT_EQ(formatGrouped(locale, 1073741824.0), "1,073,741,824");
}

TEST(Win32System, EnvironmentVariablesAndTheirExpansion) {
    win32::Win32System system;
    std::string value;
    ASSERT_TRUE(SetEnvironmentVariableA("QV_TEST_NAME", "Caf\xE9"));  // code page 1252
    ASSERT_TRUE(system.environmentVariable("QV_TEST_NAME", value));
    if (GetACP() == 1252) {
        EXPECT_EQ(value, "Caf\xC3\xA9");
    }
    ASSERT_TRUE(SetEnvironmentVariableA("QV_TEST_EMPTY", ""));
    value = "x";
    EXPECT_TRUE(system.environmentVariable("QV_TEST_EMPTY", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(system.environmentVariable("QV_TEST_NOT_SET", value));
    std::string longValue(600, 'v');
    ASSERT_TRUE(SetEnvironmentVariableA("QV_TEST_LONG", longValue.c_str()));
    ASSERT_TRUE(system.environmentVariable("QV_TEST_LONG", value));
    EXPECT_EQ(value, longValue);

    std::string root;
    ASSERT_TRUE(system.environmentVariable("SystemRoot", root));
    std::string out;
    ASSERT_TRUE(system.expandEnvironmentStrings("%SystemRoot%\\Fonts", out));
    EXPECT_EQ(out, root + "\\Fonts");
    ASSERT_TRUE(system.expandEnvironmentStrings("%QV_TEST_NOT_SET%\\x", out));
    EXPECT_EQ(out, "%QV_TEST_NOT_SET%\\x");
    // The expansion buffer holds 260 characters, its terminator included.
    ASSERT_TRUE(system.expandEnvironmentStrings("<%QV_TEST_LONG%>", out));
    EXPECT_EQ(out, "<" + longValue.substr(0, 258));
}

TEST(Win32System, StartedProcessesRunHiddenInTheirWorkingFolder) {
    win32::Win32System system;
    const std::string dir = temporaryFolder();
    const std::string marker = dir + "\\started.txt";
    DeleteFileA(marker.c_str());
    char comspec[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ComSpec", comspec, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_TRUE(system.startProcess(std::string(comspec, n), "/c echo ran>started.txt", dir));
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        seen = GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!seen) system.sleepMs(100);
    }
    EXPECT_TRUE(seen) << marker;
    system.sleepMs(200);
    DeleteFileA(marker.c_str());
    RemoveDirectoryA(dir.c_str());

    EXPECT_FALSE(system.startProcess(dir + "\\no-such-program.exe", "", dir));
}

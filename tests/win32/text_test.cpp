// Text conversions of the Windows back-end, run under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/text-win32.h"

using namespace qv::win32;

TEST(Win32Text, Utf16RoundTripKeepsEveryCharacterAndEmbeddedNul) {
    const std::string text = std::string("K\xC3\xB6ln \xE2\x82\xAC") + '\0' + "B";
    std::wstring wide = toWide(text);
    ASSERT_EQ(wide.size(), 8u);
    EXPECT_EQ(wide[1], L'\x00F6');
    EXPECT_EQ(wide[5], L'\x20AC');
    EXPECT_EQ(wide[6], L'\0');
    EXPECT_EQ(fromWide(wide), text);
}

TEST(Win32Text, AnsiFormsFollowTheActiveCodePage) {
    // "ö" exists in every Western code page; the round trip through the ANSI page keeps it.
    const std::string text = "M\xC3\xBCller";
    std::string ansi = toAnsi(text);
    if (GetACP() == 1252) {
        EXPECT_EQ(ansi, "M\xFCller");
    }
    EXPECT_EQ(fromAnsi(ansi), text);
    EXPECT_EQ(toAnsi(""), "");
}

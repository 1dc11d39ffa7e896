// QV.exe under Wine: the back-end's own tests, the usage screen with its bytes, a redirected console.
#include <gtest/gtest.h>

#include "tests/support/sim_run.h"
#include "tests/wine/wine_run.h"

using namespace qvtest;

// The Windows back-end's unit tests are a Windows program too; they run in a prefix of their own.
TEST(WineProgram, BackEndTestsPassUnderWine) {
    WinePrefix prefix;
    WineResult r = prefix.run(winTestsExePath(), {"--gtest_brief=1"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ]"), std::string::npos) << r.out;
}

TEST(WineProgram, UsageScreenGoesToRedirectedOutputWithCrLf) {
    WinePrefix prefix;
    WineResult r = prefix.runQv({"/?"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Cmd Line:     QV.exe /?\r\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("SYNTAX: QV.exe [/B] [/F:Filename] [/?] [TargetComputerName]\r\n"), std::string::npos);
    // The exit prompt belongs to the console window, not to the redirected output; with no key to
    // read (input from /dev/null) the end line still reaches the output.
    EXPECT_EQ(r.out.find("Press any key"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("arguments.\r\n\r\nProgram Complete Normal End\r\n")) << r.out;
    // Every line ends CR LF: no bare LF anywhere.
    for (std::size_t i = r.out.find('\n'); i != std::string::npos; i = r.out.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && r.out[i - 1] == '\r') << "bare LF at " << i;
}

// A name file as Windows PowerShell 5.1's ">" writes it: UTF-16 LE with its byte-order mark.
TEST(WineProgram, Utf16NameFileGivesItsNames) {
    WinePrefix prefix;
    std::string bytes = "\xFF\xFE";
    for (char c : std::string("qvnohost1\r\nqvnohost2\r\n")) bytes += std::string{c, '\0'};
    qvtest::writeFile(prefix.path() + "/drive_c/names.txt", bytes);
    WineResult r = prefix.runQv({"/F:C:\\names.txt"});
    EXPECT_EQ(r.exitCode, 1);  // neither name is a computer
    EXPECT_NE(r.out.find(" Contains 2 Computer Name(s)\r\n"), std::string::npos) << r.out;
    for (const char* name : {"QVNOHOST1", "QVNOHOST2"})
        EXPECT_NE(r.out.find(std::string("Failed to connect to ") + name + " "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\0'), std::string::npos);
}

// QV.exe under Wine: the back-end's own tests, the usage screen with its bytes, a redirected console.
#include <gtest/gtest.h>

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

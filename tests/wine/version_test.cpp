// QV.exe under Wine set to different Windows versions: the run log's environment lines and the
// privilege level that lets a named-computer run go on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "tests/support/sim_run.h"
#include "tests/wine/wine_run.h"

using namespace qvtest;

namespace {

// The log line that starts with `label`, or "" when there is none.
std::string logLine(const std::string& log, const std::string& label) {
    for (const std::string& line : crlfLines(log))
        if (line.rfind(label, 0) == 0) return line;
    return {};
}

}  // namespace

class WineVersions : public ::testing::Test {
protected:
    static inline std::unique_ptr<WinePrefix> prefix;
    static void SetUpTestSuite() { prefix = std::make_unique<WinePrefix>(); }
    static void TearDownTestSuite() { prefix.reset(); }

    struct Run {
        WineResult result;
        std::string log;
    };
    // Runs QV.exe for one named computer with Wine reporting `version` ("" for Wine's default)
    // and takes the run log the run wrote.
    static Run runAs(const std::string& version) {
        if (!version.empty()) EXPECT_TRUE(prefix->setWindowsVersion(version));
        else prefix->run("reg", {"delete", "HKCU\\Software\\Wine", "/v", "Version", "/f"});
        Run r;
        r.result = prefix->runQv({"WS99"});
        const std::string logPath = prefix->documents() + "/QV.log";
        r.log = readFile(logPath);
        std::remove(logPath.c_str());
        return r;
    }
};

TEST_F(WineVersions, LogHeaderNamesWindowsXpAnd2000WithTheirServicePacks) {
    Run xp = runAs("winxp");
    EXPECT_EQ(xp.result.exitCode, 1) << xp.result.out;  // WS99 is no computer
    EXPECT_EQ(logLine(xp.log, "   Operating System: "), "   Operating System: Windows XP [Version 5.1.2600] Service Pack 3")
        << xp.log;
    EXPECT_EQ(logLine(xp.log, "  OS PLatform Level: "), "  OS PLatform Level: 2");
    EXPECT_EQ(logLine(xp.log, "  Working Directory: ").rfind("  Working Directory: C:\\users\\", 0), 0u) << xp.log;
    EXPECT_TRUE(logLine(xp.log, "  Working Directory: ").ends_with("\\Documents")) << xp.log;
    // A computer outside any domain: no DNS domain, no controller.
    EXPECT_EQ(logLine(xp.log, "   Domain/Workgroup: "), "   Domain/Workgroup: ");
    EXPECT_EQ(logLine(xp.log, "               sPDC: "), "               sPDC: ");

    Run w2k = runAs("win2k");
    EXPECT_EQ(logLine(w2k.log, "   Operating System: "),
              "   Operating System: Windows 2000 [Version 5.0.2195] Service Pack 4")
        << w2k.log;
}

// Windows 7, Wine's default, is later than every system the name table knows: no name.
TEST_F(WineVersions, DefaultVersionShowsNoNameButItsNumbers) {
    Run seven = runAs("");
    EXPECT_EQ(logLine(seven.log, "   Operating System: "), "   Operating System:  [Version 6.1.7601] Service Pack 1")
        << seven.log;
}

// The manifest declares Windows 10: the version call answers 10.0, not the 6.2 an unmanifested
// program gets on Windows 8.1 and later.
TEST_F(WineVersions, ManifestLetsWindows10ShowItsOwnVersion) {
    Run ten = runAs("win10");
    EXPECT_EQ(logLine(ten.log, "   Operating System: ").rfind("   Operating System:  [Version 10.0.", 0), 0u) << ten.log;
}

// Wine's account database does not hold its user; the token shows an administrator, so a named
// computer is not refused for want of rights.
TEST_F(WineVersions, AdministratorMayNameComputers) {
    Run r = runAs("winxp");
    EXPECT_EQ(logLine(r.log, "    User Privileges: "), "    User Privileges: 2") << r.log;
    EXPECT_EQ(logLine(r.log, "          Elevation: "), "") << "Wine's token is not filtered";
    EXPECT_EQ(logLine(r.log, "    Selected Option: "), "    Selected Option: /N");
    EXPECT_EQ(r.log.find("User Rights Error"), std::string::npos) << r.log;
    EXPECT_EQ(r.result.out.find("Insufficient User Rights"), std::string::npos) << r.result.out;
    EXPECT_NE(logLine(r.log, "      Computer Name: "), "      Computer Name: ");
    EXPECT_NE(logLine(r.log, "          User Name: "), "          User Name: ");
    // The documents folder belongs to this prefix, not to the Unix home that Wine links it to.
    EXPECT_FALSE(std::filesystem::is_symlink(prefix->documents()));
    EXPECT_TRUE(std::filesystem::is_directory(prefix->documents()));
}

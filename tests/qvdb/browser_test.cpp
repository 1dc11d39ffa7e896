// The report site in a real browser: headless Chromium driven by chromium-driver (Selenium), on the
// site of the 200-computer fleet; skipped with a clear line where Chromium is not installed. Debian's own
// Python runs the check, since python3-selenium is installed for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/qvdb/qvdb_support.h"
#include "tests/support/sim_run.h"

namespace {

bool installed(const char* path) { return ::access(path, X_OK) == 0; }

TEST(QvdbReportInBrowser, PagesOpenAndAgreeWithTheDatabase) {
    if (!installed("/usr/bin/chromium") || !installed("/usr/bin/chromedriver") ||
        std::system("/usr/bin/python3 -c 'import selenium' 2>/dev/null") != 0)
        GTEST_SKIP() << "Chromium, chromium-driver or python3-selenium is not installed "
                        "(./scripts/setup.sh test installs them): the browser test is skipped";
    const std::string dir = qvtest::makeTempDir();
    qvtest::Result r = qvtest::qvdb({"report", "--database", qvtest::fleetDatabase(), "--out", dir + "/site"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Screenshots stay in the build folder as the test's artefacts.
    const std::string shots = (std::filesystem::current_path() / "qvdb-report-screenshots").string();
    const std::string command = "/usr/bin/python3 " QV_SOURCE_DIR "/tests/qvdb/browser_check.py '" + dir + "/site' '" +
                                qvtest::fleetDatabase() + "' '" + shots + "' 2>&1";
    std::FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string output;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
    const int status = ::pclose(p);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("browser check: 0 failures"), std::string::npos) << output;
}

}  // namespace

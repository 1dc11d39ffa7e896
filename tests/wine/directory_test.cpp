// The Windows directory layer (wldap32 under Wine) against a real slapd on loopback: the
// back-end tests of the directory run with the server's ports in their environment.
#include <gtest/gtest.h>

#include "tests/support/slapd_server.h"
#include "tests/wine/wine_run.h"

using namespace qvtest;

TEST(WineDirectory, WldapReadsRootDseAndPagesThroughTheGlobalCatalog) {
    SlapdServer server;
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_TRUE(server.failure().empty()) << server.failure();
    WinePrefix prefix;
    const std::string ports = std::to_string(server.ldapPort()) + "," + std::to_string(server.catalogPort()) + "," +
                              std::to_string(freeLoopbackPort());
    WineResult r = prefix.run(winTestsExePath(), {"--gtest_filter=Win32Directory.*"}, {"QV_TEST_SLAPD=" + ports});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 3 tests."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("SKIPPED"), std::string::npos) << r.out;
}

// The directory through wldap32 against the loopback slapd the native harness starts
// (tests/wine/directory_test.cpp passes its address in QV_TEST_SLAPD); skipped without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/win32/directory-win32.h"
#include "tests/support/slapd_server.h"
#include "tests/support/connection_calls.h"

using qv::win32::WldapDirectory;

namespace {

const std::string kSuffix = qvtest::kDirectorySuffix;

struct Server {
    int ldapPort = 0, catalogPort = 0, closedPort = 0;
};

// "LDAPPORT,CATALOGPORT,CLOSEDPORT" of a server on 127.0.0.1.
bool serverFromEnvironment(Server& s) {
    const char* text = std::getenv("QV_TEST_SLAPD");
    return text && std::sscanf(text, "%d,%d,%d", &s.ldapPort, &s.catalogPort, &s.closedPort) == 3;
}

class Win32Directory : public ::testing::Test {
protected:
    void SetUp() override {
        if (!serverFromEnvironment(server)) GTEST_SKIP() << "no test directory server given";
    }
    Server server;
};

}  // namespace

TEST_F(Win32Directory, RootDseNamingContext) {
    WldapDirectory directory{server.ldapPort, server.catalogPort};
    auto found = directory.defaultNamingContext("127.0.0.1");
    ASSERT_TRUE(found) << found.error().why();
    EXPECT_EQ(*found, kSuffix);
}

TEST_F(Win32Directory, GlobalCatalogSearchListsEveryComputerAcrossPages) {
    WldapDirectory directory{server.ldapPort, server.catalogPort};
    std::vector<std::optional<std::string>> names;
    {
        auto r = directory.searchComputers("127.0.0.1", "GC://" + kSuffix);
        ASSERT_TRUE(r) << r.error().why();
        names = *r;
    }
    ASSERT_NO_FATAL_FAILURE(qvtest::expectEveryDirectoryComputer(names));
    EXPECT_EQ(std::count(names.begin(), names.end(), std::string("pc0000")), 1);

    // Under one container only, and through the LDAP port.
    {
        auto r = directory.searchComputers("127.0.0.1", "LDAP://ou=Lab,ou=Workstations," + kSuffix);
        ASSERT_TRUE(r) << r.error().why();
        names = *r;
    }
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(Win32Directory, FailuresGiveTheirReason) {
    WldapDirectory directory{server.ldapPort, server.catalogPort};
    using qv::calls::failureOf;
    std::string why = failureOf(directory.searchComputers("127.0.0.1", "GC://dc=nowhere,dc=example"));
    EXPECT_EQ(why, "Search of GC://dc=nowhere,dc=example failed: No Such Object");

    why = failureOf(directory.defaultNamingContext("DC01;rm"));
    EXPECT_EQ(why, "Unable to bind to LDAP://DC01;rm/rootDSE: not a host name");

    WldapDirectory closed{server.closedPort, server.closedPort};
    why = failureOf(closed.defaultNamingContext("127.0.0.1"));
    EXPECT_EQ(why, "Unable to bind to LDAP://127.0.0.1/rootDSE: Server Down");
    why = failureOf(closed.searchComputers("127.0.0.1", "GC://" + kSuffix));
    EXPECT_EQ(why, "Unable to bind to GC://127.0.0.1: Server Down");
}

// Test support: a real slapd on loopback holding a small domain's computers, for the directory layers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

// The domain the server holds and how many bulk computers (pc0000...) it has beside the special
// entries: "ws01" twice (two containers), "WS02", "  spaced  ", a 255- and a 256-character name,
// one computer without a name and one person; 3 computers under ou=Lab,ou=Workstations.
inline const char* const kDirectorySuffix = "dc=corp,dc=example,dc=com";
inline constexpr int kDirectoryBulkComputers = 1100;  // more than a server hands out without paging
inline constexpr int kDirectorySpecialComputers = 7;

// Checks the names a search of the whole domain found against the entries above. Inline, so the
// cross-built Windows tests share it without the server's POSIX code.
inline void expectEveryDirectoryComputer(const std::vector<std::optional<std::string>>& names) {
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kDirectoryBulkComputers + kDirectorySpecialComputers));
    auto count = [&](const std::optional<std::string>& n) { return std::count(names.begin(), names.end(), n); };
    EXPECT_EQ(count(std::nullopt), 1);
    EXPECT_EQ(count(std::string("ws01")), 2);
    EXPECT_EQ(count(std::string("  spaced  ")), 1);
    EXPECT_EQ(count(std::string(255, 'a')), 1);
    EXPECT_EQ(count(std::string(256, 'b')), 1);
    EXPECT_EQ(count(std::string("pc1099")), 1);
    EXPECT_EQ(count(std::string("person01")), 0);
}

// A loopback port nobody listens on at the moment.
int freeLoopbackPort();
// True when something accepts a connection on that loopback port.
bool acceptsOnLoopback(int port);

// Starts slapd on two free loopback ports (the LDAP and the global-catalog port of a domain
// controller), serving at most 1,000 entries per search unless paged; stops it when it goes.
class SlapdServer {
public:
    SlapdServer();
    ~SlapdServer();
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    // Not empty when slapd is not installed: the test skips.
    const std::string& skipReason() const { return skipReason_; }
    // Not empty when it is installed but did not start: the test fails.
    const std::string& failure() const { return failure_; }
    int ldapPort() const { return ldapPort_; }
    int catalogPort() const { return catalogPort_; }

private:
    std::string skipReason_, failure_, folder_;
    int pid_ = -1;
    int ldapPort_ = 0, catalogPort_ = 0;
};

}  // namespace qvtest

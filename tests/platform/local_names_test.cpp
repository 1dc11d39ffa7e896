// Which typed names mean this computer: the matcher over names and addresses, and the host's own.
#include <gtest/gtest.h>

#include <ifaddrs.h>
#include <netdb.h>
#include <unistd.h>

#include "platform/local_names.h"
#include "platform/posix/identity-posix.h"

namespace {

TEST(LocalNames, NamesAndAddressesOfThisComputer) {
    const qv::OwnNames own{{"localhost", "ws01", "ws01.corp.example.com"},
                           {std::string("\x0a\x01\x02\x03", 4),
                            std::string("\xfd\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x07", 16)}};
    const struct {
        const char* name;
        bool local;
    } cases[] = {
        {"WS01", true}, {"Ws01.Corp.Example.Com", true}, {"LOCALHOST", true},
        {"127.0.0.1", true}, {"127.200.3.4", true}, {"::1", true}, {"0:0:0:0:0:0:0:1", true},
        {"10.1.2.3", true}, {"fd00::7", true}, {"fd00::7%eth0", true},
        {"10.1.2.4", false}, {"128.0.0.1", false}, {"fd00::8", false}, {"WS02", false},
        {"ws01.corp", false}, {"", false}, {"10.1.2", false}, {"1.2.3.4.5", false},
    };
    for (const auto& c : cases) EXPECT_EQ(qv::namesThisComputer(c.name, own), c.local) << c.name;
}

TEST(LocalNames, TheHostKnowsItsOwnNamesAndAddresses) {
    qv::posix::PosixIdentity identity;
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    std::string upper = host;
    for (char& ch : upper) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    for (const std::string& name : {std::string(host), upper, std::string("localhost"), std::string("."),
                                    std::string("127.0.0.2")})
        EXPECT_TRUE(identity.isLocalComputer(name)) << name;
    // Every address of every interface.
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || (a->ifa_addr->sa_family != AF_INET && a->ifa_addr->sa_family != AF_INET6)) continue;
        char text[NI_MAXHOST] = {};
        socklen_t size = a->ifa_addr->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        ASSERT_EQ(getnameinfo(a->ifa_addr, size, text, sizeof text, nullptr, 0, NI_NUMERICHOST), 0);
        EXPECT_TRUE(identity.isLocalComputer(text)) << text;
    }
    freeifaddrs(list);
    for (const char* other : {"no-such-host-qv", "192.0.2.77"}) EXPECT_FALSE(identity.isLocalComputer(other)) << other;
}

}  // namespace

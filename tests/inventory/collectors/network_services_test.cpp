// Network services, clients, protocols and shares.
#include <gtest/gtest.h>

#include "tests/inventory/collectors/net_sim.h"

namespace qvtest {
namespace {

std::string servicesSection(const SimResult& r) { return net::section(r, "**Network Services**", {"\r\n**Protocols**"}); }
std::string protocolsSection(const SimResult& r) { return net::section(r, "**Protocols**", {"\r\n**Shared Resources**"}); }
std::string sharesSection(const SimResult& r) {
    return net::section(r, "**Shared Resources**", {"**Software Information**", "**Base System Drivers**"});
}

TEST(NetworkServicesCollector, PicksTheNamedServicesAndListsClients) {
    SimResult r = net::runWs01(R"("classes": {
      "Win32_BaseService": [
        {"Name": "Dhcp", "DisplayName": "DHCP Client"},
        {"Name": "Spooler", "DisplayName": "Print Spooler"},
        {"Name": "netbios", "DisplayName": "lower-case NetBios"},
        {"Name": "NetBios", "DisplayName": "NetBios Interface", "Description": "Maps NetBIOS names"},
        {"Name": "LmHosts", "DisplayName": "TCP/IP NetBIOS Helper"},
        {"Name": "NetBT", "DisplayName": "NetBios over Tcpip"},
        {"Name": ["Dnscache"], "DisplayName": "list name is no name"},
        {"Name": "Dnscache", "DisplayName": "DNS Client"},
        {"Name": "DNS", "DisplayName": null},
        {"Name": "WINS"},
        {"Name": "DHCPServer", "DisplayName": "DHCP Server"}],
      "Win32_NetworkClient": [{"Name": "Microsoft Windows Network"}, {"Name": "NetWare Client"}]})");
    EXPECT_EQ(servicesSection(r),
              "**Network Services**\r\n"
              "  **DHCP-DNS-WINS Services**\r\n"
              "    DHCP Client\r\n"
              "    NetBios Interface\r\n"
              "Maps NetBIOS names\r\n"
              "    TCP/IP NetBIOS Helper (Enables NetBT & LmHosts)\r\n"
              "    NetBios over Tcpip (NetBT)\r\n"
              "    DNS Client\r\n"
              "    \r\n"
              "    DHCP Server\r\n"
              "  **Network Client Services**\r\n"
              "    Microsoft Windows Network\r\n"
              "    NetWare Client\r\n");
}

TEST(NetworkServicesCollector, NothingFoundWritesTheHeadingsAlone) {
    SimResult r = net::runWs01(R"("failingClasses": {"Win32_BaseService": {"number": -2147217392, "description": "Invalid class "}})");
    EXPECT_EQ(servicesSection(r), "**Network Services**\r\n  **DHCP-DNS-WINS Services**\r\n  **Network Client Services**\r\n");
    EXPECT_EQ(protocolsSection(r), "**Protocols**\r\n");
}

TEST(NetworkProtocolsCollector, DescriptionIsCutCaptionAndNameAreNot) {
    const std::string longDescription = std::string(100, 'd') + std::string(40, 'e');
    SimResult r = net::runWs01(R"("classes": {"Win32_NetworkProtocol": [
        {"Caption": "MSAFD Tcpip [TCP/IP]", "Name": "MSAFD Tcpip [TCP/IP]", "Description": "  )" + longDescription + R"("},
        {"Caption": ["list"], "Description": null}]})");
    EXPECT_EQ(protocolsSection(r),
              "**Protocols**\r\n"
              "            Caption: MSAFD Tcpip [TCP/IP]\r\n"
              "               Name: MSAFD Tcpip [TCP/IP]\r\n"
              "        Description: " + longDescription.substr(0, 128) + "\r\n\r\n"
              "            Caption: list\r\n"
              "        Description: \r\n\r\n");
}

TEST(SharesCollector, ListsSharesAsReturned) {
    SimResult r = net::runWs01(R"("classes": {"Win32_Share": [
        {"Name": "C$", "Description": "Default share", "Path": "C:\\", "Type": 2147483648},
        {"Name": "IPC$", "Description": "Remote IPC", "Path": "", "Type": 2147483651},
        {"Name": "Public", "Description": null, "Path": "D:\\Public", "Type": 0}]})");
    EXPECT_EQ(sharesSection(r),
              "**Shared Resources**\r\n"
              "               Name: C$\r\n"
              "        Description: Default share\r\n"
              "               Path: C:\\\r\n"
              "               Type: 2147483648\r\n\r\n"
              "               Name: IPC$\r\n"
              "        Description: Remote IPC\r\n"
              "               Path: \r\n"
              "               Type: 2147483651\r\n\r\n"
              "               Name: Public\r\n"
              "        Description: \r\n"
              "               Path: D:\\Public\r\n"
              "               Type: 0\r\n\r\n");
    // The empty line before the heading.
    EXPECT_NE(r.file("docs/QVWS01.txt").find("\r\n\r\n**Shared Resources**\r\n"), std::string::npos);
}

TEST(SharesCollector, NoShareOrFailedCountGivesNotReported) {
    const std::string expected = "**Shared Resources**\r\n         Not Reported\r\n\r\n";
    EXPECT_EQ(sharesSection(net::runWs01(R"("classes": {})")), expected);
    EXPECT_EQ(sharesSection(net::runWs01(R"("failingClasses": {"Win32_Share": {"number": -2147217392, "description": "Invalid class "}})")),
              expected);
}

}  // namespace
}  // namespace qvtest

// TCP/IP collector: listed adapters, report lines, DNS search-server log lines, bad values.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/inventory/collectors/net_sim.h"

namespace qvtest {
namespace {

using net::inventoryLogLines;
using net::runWs01;

std::string tcpSection(const SimResult& r) { return net::section(r, "**System Network Settings**", {"**IPX/SPX Adapters**"}); }

// A complete adapter; `overrides` (JSON members) replace or add members, `removed` are left out
// (so they cannot be read).
std::string adapter(const std::string& overrides = "", const std::vector<std::string>& removed = {}) {
    nlohmann::ordered_json a = nlohmann::ordered_json::parse(R"({"Caption": "[00000001] Intel PRO/100",
      "IPEnabled": true, "IPAddress": ["10.0.0.5", "fe80::1"], "IPSubnet": ["255.255.255.0", "64"],
      "MACAddress": "00:11:22:33:44:55", "DefaultIPGateway": ["10.0.0.1"], "DHCPEnabled": true,
      "DHCPLeaseExpires": "20261209093005.000000-480", "DHCPLeaseObtained": "20261208093005.000000-480",
      "DHCPServer": "10.0.0.1", "DNSHostName": "ws01", "DNSDomain": "corp.example.com",
      "DNSServerSearchOrder": ["10.0.0.2", "10.0.0.3", "10.0.0.4"], "DNSEnabledForWINSResolution": false,
      "DomainDNSRegistrationEnabled": true, "WINSPrimaryServer": "10.0.0.9", "WINSSecondaryServer": null,
      "WINSScopeID": "", "TcpipNetbiosOptions": 2, "WINSEnableLMHostsLookup": true, "WINSHostLookupFile": null,
      "ServiceName": "E100B"})");
    const nlohmann::ordered_json changes = nlohmann::ordered_json::parse("{" + overrides + "}");
    for (const auto& [key, value] : changes.items()) a[key] = value;
    for (const std::string& key : removed) a.erase(key);
    return a.dump();
}

std::string adapters(const std::string& list) {
    return R"("classes": {"Win32_NetworkAdapterConfiguration": [)" + list + "]}";
}

TEST(TcpIpCollector, ListsEnabledAdaptersWithAnAddressOnly) {
    SimResult r = runWs01(adapters(
        R"({"Caption": "Disabled", "IPEnabled": false, "IPAddress": ["10.0.0.7"]},
           {"Caption": "No address", "IPEnabled": true, "IPAddress": [""]},
           {"Caption": "Empty list", "IPEnabled": true, "IPAddress": []},
           {"Caption": "Unreadable flag", "IPAddress": ["10.0.0.8"]},)" +
        adapter()));
    EXPECT_EQ(tcpSection(r),
              "**System Network Settings**\r\n\r\n"
              "**TCP/IP Adapters**\r\n"
              "            Caption: [00000001] Intel PRO/100\r\n"
              "          IPEnabled: True\r\n"
              "          IPAddress: 10.0.0.5\r\n"
              "           IPSubnet: 255.255.255.0\r\n"
              "         MACAddress: 00:11:22:33:44:55\r\n"
              "   DefaultIPGateway: 10.0.0.1\r\n\r\n"
              "        DHCPEnabled: True\r\n"
              "   DHCPLeaseExpires: 20261209093005.000000-480\r\n"
              "  DHCPLeaseObtained: 20261208093005.000000-480\r\n"
              "         DHCPServer: 10.0.0.1\r\n\r\n"
              "        DNSHostName: ws01\r\n"
              "          DNSDomain: corp.example.com\r\n"
              " CountDNSSearchSvrs: 3\r\n"
              " DNSEnabled4WINSRes: False\r\n"
              "DomDNSRegistEnabled: True\r\n\r\n"
              "        WINSPrimary: 10.0.0.9\r\n"
              "      WINSSecondary: \r\n"
              "        WINSScopeID: \r\n"
              "TcpipNetbiosOptions: Option 2: DisableNetbios\r\n"
              "  WINSLMHostsLookup: True\r\n"
              " WINSHostLookupFile: \r\n"
              "        ServiceName: E100B\r\n\r\n");
    EXPECT_TRUE(inventoryLogLines(r).empty());
    EXPECT_NE(r.err.find(" TcpIp\n IpxSpx\n Svcs\n NetProto\n Share\n"), std::string::npos) << r.err;
}

TEST(TcpIpCollector, NoListedAdapterOrFailedQueryGivesNoneReported) {
    const std::string expected = "**System Network Settings**\r\n\r\n**TCP/IP Adapters**\r\n         None Reported\r\n\r\n";
    EXPECT_EQ(tcpSection(runWs01(adapters(R"({"Caption": "Off", "IPEnabled": false})"))), expected);
    EXPECT_EQ(tcpSection(runWs01(R"("failingClasses": {"Win32_NetworkAdapterConfiguration":
                                     {"number": -2147217392, "description": "Invalid class "}})")),
              expected);
}

TEST(TcpIpCollector, BadSearchServerEntriesAreLoggedAndEndTheList) {
    SimResult r = runWs01(adapters(
        adapter(R"("Caption": "NIC long", "DNSServerSearchOrder": ["10.0.0.2", "192.168.100.1001", "10.0.0.4"])") + "," +
        adapter(R"("Caption": "NIC missing", "DNSServerSearchOrder": null)") + "," +
        adapter(R"("Caption": "NIC blank", "DNSServerSearchOrder": ["10.0.0.2", "   ", "10.0.0.4"])") + "," +
        adapter(R"("Caption": "NIC empty", "DNSServerSearchOrder": [])") + "," +
        adapter(R"("Caption": "  NIC unreadable  ")", {"DNSServerSearchOrder"})));
    EXPECT_EQ(inventoryLogLines(r), (std::vector<std::string>{
                                        "  DNS Search Server IP address too long, truncated",
                                        "  Truncated Value: 192.168.100.100",
                                        "  NIC: NIC long",
                                        "  DNS Search Server Ended at index#1 of 2",
                                        "",
                                        "  Invalid DNS Search Server data found",
                                        "  NIC: NIC missing",
                                        "  Invalid DNS Search Server data found",
                                        "  NIC: NIC blank",
                                        "  Invalid DNS Search Server data found",
                                        "  NIC: NIC unreadable",
                                    }));
    const std::string report = tcpSection(r);
    // The count line shows the whole list, and is left out when the list is missing.
    std::size_t counts = 0;
    for (std::size_t at = report.find(" CountDNSSearchSvrs: "); at != std::string::npos;
         at = report.find(" CountDNSSearchSvrs: ", at + 1))
        ++counts;
    EXPECT_EQ(counts, 3u);
    EXPECT_NE(report.find(" CountDNSSearchSvrs: 0\r\n"), std::string::npos);
    EXPECT_NE(report.find("            Caption:   NIC unreadable  \r\n"), std::string::npos);
}

TEST(TcpIpCollector, NetBiosOptionTexts) {
    auto shown = [](const std::string& value) {
        SimResult r = runWs01(adapters(value.empty() ? adapter("", {"TcpipNetbiosOptions"}) : adapter("\"TcpipNetbiosOptions\": " + value)));
        std::string report = tcpSection(r);
        std::size_t at = report.find("TcpipNetbiosOptions: ");
        return at == std::string::npos ? std::string("(no line)") : report.substr(at + 21, report.find("\r\n", at) - at - 21);
    };
    EXPECT_EQ(shown("0"), "Option 0: EnableNetbiosViaDhcp");
    EXPECT_EQ(shown("1"), "Option 1: EnableNetbios");
    EXPECT_EQ(shown("7"), "Option 7: Not Reported");
    EXPECT_EQ(shown("null"), "Option : Not Reported");
    EXPECT_EQ(shown(""), "Option : Not Reported");
    EXPECT_EQ(shown("\"abc\""), "Option : Not Reported");
    EXPECT_EQ(shown("[1, 2]"), "Option 1: EnableNetbios");
}

TEST(TcpIpCollector, ValuesOfTheWrongShapeNeverStopTheInventory) {
    const std::string huge(200000, 'x');
    SimResult r = runWs01(adapters(
        // Texts where lists are expected, lists where texts are expected, objects, huge texts.
        R"({"Caption": ["First caption", "second"], "IPEnabled": "True", "IPAddress": "10.1.1.1",
            "IPSubnet": [], "MACAddress": {"not": "a text"}, "DefaultIPGateway": [[null]], "DHCPEnabled": 1,
            "DNSServerSearchOrder": "10.1.1.53", "TcpipNetbiosOptions": 1e300, "WINSPrimaryServer": ")" + huge + R"(",
            "WINSSecondaryServer": null, "ServiceName": 12345678901234567890},
           {"Caption": "Malformed", "IPEnabled": true, "IPAddress": ["999.1.2.3.4.5"],
            "DNSServerSearchOrder": [true, "10.0.0.1"]})"));
    EXPECT_NE(r.out.find("     Network part complete\r\n"), std::string::npos) << r.out;
    const std::string report = tcpSection(r);
    EXPECT_NE(report.find("            Caption: First caption\r\n          IPEnabled: True\r\n"
                          "          IPAddress: 10.1.1.1\r\n           IPSubnet: \r\n"),
              std::string::npos)
        << report.substr(0, 600);
    EXPECT_NE(report.find(" CountDNSSearchSvrs: 1\r\n"), std::string::npos);
    EXPECT_NE(report.find("        WINSPrimary: " + huge + "\r\n"), std::string::npos);
    EXPECT_NE(report.find("            Caption: Malformed\r\n"), std::string::npos);
    EXPECT_EQ(inventoryLogLines(r),
              (std::vector<std::string>{"  Invalid DNS Search Server data found", "  NIC: Malformed"}));
}

// Two report lines written as one text are one line for the rule that a property that cannot be
// read leaves its line out: the WINS servers of an adapter, the NetBios service and its description.
TEST(PairedReportLines, BothOrNeitherWhenAPropertyCannotBeRead) {
    struct Case {
        const char* what;
        std::vector<std::string> unreadableAdapter;
        const char* service;
        bool written;
    };
    const Case cases[] = {
        {"both readable", {}, R"({"Name": "NetBios", "DisplayName": "NetBios Interface", "Description": "Maps names"})", true},
        {"first unreadable", {"WINSPrimaryServer"}, R"({"Name": "NetBios", "Description": "Maps names"})", false},
        {"second unreadable", {"WINSSecondaryServer"}, R"({"Name": "NetBios", "DisplayName": "NetBios Interface"})", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimResult r = runWs01(R"("classes": {"Win32_NetworkAdapterConfiguration": [)" +
                              adapter(R"("WINSSecondaryServer": "10.0.0.10")", c.unreadableAdapter) +
                              R"(], "Win32_BaseService": [)" + c.service + R"(, {"Name": "Dhcp", "DisplayName": "DHCP Client"}]})");
        EXPECT_NE(tcpSection(r).find("DomDNSRegistEnabled: True\r\n\r\n" +
                                     std::string(c.written ? "        WINSPrimary: 10.0.0.9\r\n      WINSSecondary: 10.0.0.10\r\n" : "") +
                                     "        WINSScopeID: \r\n"),
                  std::string::npos)
            << tcpSection(r);
        const std::string services = net::section(r, "  **DHCP-DNS-WINS Services**", {"  **Network Client Services**"});
        EXPECT_EQ(services, "  **DHCP-DNS-WINS Services**\r\n" +
                                std::string(c.written ? "    NetBios Interface\r\nMaps names\r\n" : "") + "    DHCP Client\r\n");
    }
}

}  // namespace
}  // namespace qvtest

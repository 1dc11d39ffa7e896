// Rows of the network collectors, read back from the inventory database.
#include <gtest/gtest.h>

#include "tests/support/db_read.h"
#include "tests/inventory/collectors/net_sim.h"

namespace qvtest {
namespace {

// The rows of a query on the run's database, each as its column texts joined by "|" (NULL as "NULL").
std::vector<std::string> rows(const SimResult& r, const std::string& sql) { return queryJoined(r.dir + "/docs/QV.mdb", sql); }

using Rows = std::vector<std::string>;

SimResult runAdapters(const std::string& list) {
    return net::runWs01(R"("classes": {"Win32_NetworkAdapterConfiguration": [)" + list + "]}");
}

const char* const kTcpColumns =
    "CardName, IPEnabled, IPAddress, IPSubnet, MACAddress, DefaultIPGateway, DHCPEnabled, DHCPLeaseExpires, "
    "DHCPLeaseObtained, DHCPServer, DNSHostName, DNSDomain, DNSSearchCount, DNSEnabled4WINSRes, DomDNSRegistEnabled, "
    "WINSPrimary, WINSSecondary, WINSScopeID, TcpipNetbiosOptions, WINSLMHostsLookup, WINSHostLookupFile, ServiceName";

TEST(NetworkRows, TcpIpAdapterWithItsSearchServers) {
    SimResult r = runAdapters(R"(
        {"Caption": "Off", "IPEnabled": false, "IPAddress": ["10.0.0.7"], "DNSServerSearchOrder": ["10.0.0.2"]},
        {"Caption": " [00000001] Intel ", "IPEnabled": true, "IPAddress": ["10.0.0.5 ", "fe80::1"],
         "IPSubnet": ["255.255.255.0"], "MACAddress": "00:11:22:33:44:55", "DefaultIPGateway": null,
         "DHCPEnabled": true, "DHCPLeaseExpires": "20261209093005.000000-480", "DHCPLeaseObtained": null,
         "DHCPServer": "10.0.0.1", "DNSHostName": "ws01", "DNSDomain": "corp.example.com",
         "DNSServerSearchOrder": ["10.0.0.2", "10.0.0.3", "10.0.0.4"], "DNSEnabledForWINSResolution": false,
         "DomainDNSRegistrationEnabled": true, "WINSPrimaryServer": "10.0.0.9", "WINSSecondaryServer": null,
         "WINSScopeID": "", "TcpipNetbiosOptions": 2, "WINSEnableLMHostsLookup": true, "WINSHostLookupFile": null,
         "ServiceName": "E100B"})");
    EXPECT_EQ(rows(r, std::string("SELECT DomainWorkGrp, DeviceName, ") + kTcpColumns + " FROM TCP_IP"),
              (Rows{"|WS01|[00000001] Intel|1|10.0.0.5|255.255.255.0|00:11:22:33:44:55||1|20261209093005.000000-480||"
                    "10.0.0.1|ws01|corp.example.com|3|0|1|10.0.0.9|||Option 2: DisableNetbios|1||E100B"}));
    EXPECT_EQ(rows(r, "SELECT CardName, MACAddress, SearchOrder, DNSServer FROM DNSSearchServers ORDER BY rowid"),
              (Rows{"[00000001] Intel|00:11:22:33:44:55|1|10.0.0.2", "[00000001] Intel|00:11:22:33:44:55|2|10.0.0.3",
                    "[00000001] Intel|00:11:22:33:44:55|3|10.0.0.4"}));
}

TEST(NetworkRows, SearchServerListsEndAtTheFirstBadEntry) {
    SimResult r = runAdapters(R"(
        {"Caption": "Long", "IPEnabled": true, "IPAddress": ["10.0.0.5"], "MACAddress": "M1",
         "DNSServerSearchOrder": ["10.0.0.2", "192.168.100.1001", "10.0.0.4"]},
        {"Caption": "Missing", "IPEnabled": true, "IPAddress": ["10.0.0.6"], "MACAddress": "M2"},
        {"Caption": "Blank", "IPEnabled": true, "IPAddress": ["10.0.0.7"], "MACAddress": "M3",
         "DNSServerSearchOrder": ["  ", "10.0.0.4"]},
        {"Caption": "Empty", "IPEnabled": true, "IPAddress": ["10.0.0.8"], "MACAddress": "M4",
         "DNSServerSearchOrder": []})");
    EXPECT_EQ(rows(r, "SELECT CardName, MACAddress, SearchOrder, DNSServer FROM DNSSearchServers ORDER BY rowid"),
              (Rows{"Long|M1|1|10.0.0.2", "Long|M1|2|192.168.100.100", "Missing|M2|0|", "Blank|M3|1|"}));
    EXPECT_EQ(rows(r, "SELECT CardName, DNSSearchCount, TcpipNetbiosOptions FROM TCP_IP ORDER BY rowid"),
              (Rows{"Long|3|Option : Not Reported", "Missing|0|Option : Not Reported", "Blank|2|Option : Not Reported",
                    "Empty|0|Option : Not Reported"}));
}

TEST(NetworkRows, NoListedAdapterNoIpxNoServicesNoProtocolsWriteNoRows) {
    SimResult r = runAdapters(R"({"Caption": "Off", "IPEnabled": false, "IPXEnabled": false})");
    for (const char* table : {"TCP_IP", "DNSSearchServers", "IPX_SPX", "SelectServices", "NetworkProtocols"})
        EXPECT_EQ(rows(r, std::string("SELECT COUNT(*) FROM ") + table), Rows{"0"}) << table;
    // No share: the one empty row.
    EXPECT_EQ(rows(r, "SELECT DeviceName, Name, Description, Path, Type FROM SharedRes"), Rows{"WS01||||0"});
}

TEST(NetworkRows, IpxRowsHoldTheDecodedTexts) {
    const std::string caption(130, 'C');
    SimResult r = runAdapters(R"({"Caption": ")" + caption + R"(", "MACAddress": "00:11:22:33:44:55",
        "IPXEnabled": true, "IPXAddress": "00000000:001122334455", "IPXNetworkNumber": ["00000001"],
        "IPXVirtualNetNumber": "0A0B0C0D", "IPXFrameType": [4], "IPXMediaType": 8},
        {"Caption": "Second", "IPXEnabled": true, "IPXFrameType": [255], "IPXMediaType": 0})");
    EXPECT_EQ(rows(r, "SELECT CardName, MACAddress, IPXAddress, IPXNetworkNumber, IPXVirtualNetNumber, IPXFrameType, "
                      "IPXMediaType, IPXEnabled FROM IPX_SPX ORDER BY rowid"),
              (Rows{caption.substr(0, 128) + "|00:11:22:33:44:55|00000000:001122334455|00000001|0A0B0C0D|Type4 Not Listed|ARCNET|1",
                    "Second|||||AUTO|Type0 Not Listed|1"}));
}

TEST(NetworkRows, ServicesProtocolsAndShares) {
    const std::string longName(140, 'n');
    SimResult r = net::runWs01(R"("classes": {
      "Win32_BaseService": [{"Name": "Dhcp", "DisplayName": "DHCP Client"}, {"Name": "netbios", "DisplayName": "x"},
        {"Name": "LmHosts", "DisplayName": "TCP/IP NetBIOS Helper"}, {"Name": "NetBT", "DisplayName": "NetBT"},
        {"Name": "NetBios", "DisplayName": "NetBios Interface", "Description": "d"}, {"Name": "WINS", "DisplayName": "WINS"}],
      "Win32_NetworkClient": [{"Name": ")" + longName + R"("}],
      "Win32_NetworkProtocol": [{"Caption": "MSAFD Tcpip [TCP/IP]", "Name": " Tcpip ", "Description": ")" + longName + R"("}],
      "Win32_Share": [{"Name": "C$", "Description": "Default share", "Path": "C:\\", "Type": 2147483648},
                      {"Name": "IPC$", "Description": "Remote IPC", "Path": "", "Type": 4294967295},
                      {"Name": "AVeryLongShareName", "Path": "D:\\Data", "Type": "1"},
                      {"Name": "Odd", "Type": 9999999999}]})");
    EXPECT_EQ(rows(r, "SELECT Name, Type FROM SelectServices ORDER BY rowid"),
              (Rows{"DHCP Client|Client", "TCP/IP NetBIOS Helper (Enables NetBT & LmHosts)|Netbios", "NetBT (NetBT)|Netbios",
                    "NetBios Interface|Netbios", "WINS|Server", longName.substr(0, 128) + "|NetWork Client"}));
    EXPECT_EQ(rows(r, "SELECT Caption, Name, Description FROM NetworkProtocols"),
              (Rows{"MSAFD Tcpip [TCP|Tcpip|" + longName.substr(0, 128)}));
    EXPECT_EQ(rows(r, "SELECT Name, Description, Path, Type FROM SharedRes ORDER BY rowid"),
              (Rows{"C$|Default share|C:\\|-2147483648", "IPC$|Remote IPC||-1", "AVeryLongShareNa||D:\\Data|1", "Odd|||0"}));
}

TEST(NetworkRows, ValuesOfTheWrongShapeAreStoredCut) {
    const std::string huge(100000, 'x');
    SimResult r = runAdapters(R"({"Caption": ["First", "second"], "IPEnabled": "True", "IPAddress": "10.1.1.1",
        "IPSubnet": [], "MACAddress": {"not": "a text at all"}, "DHCPEnabled": 1, "DNSServerSearchOrder": "10.1.1.53",
        "WINSPrimaryServer": ")" + huge + R"(", "TcpipNetbiosOptions": "1"})");
    EXPECT_EQ(rows(r, "SELECT CardName, IPAddress, IPSubnet, MACAddress, DHCPEnabled, DNSSearchCount, WINSPrimary, "
                      "TcpipNetbiosOptions FROM TCP_IP"),
              (Rows{"First|10.1.1.1||{\"not\":\"a text at|1|1|xxxxxxxxxxxxxxx|Option 1: EnableNetbios"}));
    EXPECT_EQ(rows(r, "SELECT SearchOrder, DNSServer FROM DNSSearchServers"), Rows{"1|10.1.1.53"});
}

}  // namespace
}  // namespace qvtest

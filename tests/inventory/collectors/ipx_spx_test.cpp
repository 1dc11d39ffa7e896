// IPX/SPX collector: enabled adapters only, frame and media decodes, record values on the report.
#include <gtest/gtest.h>

#include "tests/inventory/collectors/net_sim.h"

namespace qvtest {
namespace {

std::string ipxSection(const SimResult& r) {
    return net::section(r, "**IPX/SPX Adapters**", {"**Network Services**"});
}

SimResult runAdapters(const std::string& list) {
    return net::runWs01(R"("classes": {"Win32_NetworkAdapterConfiguration": [)" + list + "]}");
}

TEST(IpxSpxCollector, DecodesFrameAndMediaTypesAndShowsRecordValues) {
    const std::string longCaption = std::string(130, 'C');
    SimResult r = runAdapters(
        R"({"Caption": "No IPX", "IPXEnabled": false, "IPXFrameType": [0]},
           {"Caption": "  )" + longCaption + R"(  ", "MACAddress": " 00:11:22:33:44:55 ", "IPXEnabled": true,
            "IPXAddress": "00000000:001122334455", "IPXNetworkNumber": ["00000001", "00000002"],
            "IPXVirtualNetNumber": "0A0B0C0D", "IPXFrameType": [255, 0], "IPXMediaType": 8},
           {"Caption": "Second", "IPXEnabled": true, "IPXFrameType": [4], "IPXMediaType": 0},
           {"Caption": "Third", "IPXEnabled": true, "IPXFrameType": 3, "IPXMediaType": [2]},
           {"Caption": "Unknown codes", "IPXEnabled": true, "IPXFrameType": null, "IPXMediaType": "FDDI"})");
    EXPECT_EQ(ipxSection(r),
              "**IPX/SPX Adapters**\r\n"
              "            Caption: " + longCaption.substr(0, 128) + "\r\n"
              "         MACAddress: 00:11:22:33:44:55\r\n"
              "         IPXAddress: 00000000:001122334455\r\n"
              "   IPXNetworkNumber: 00000001\r\n"
              "IPXVirtualNetNumber: 0A0B0C0D\r\n"
              "       IPXFrameType: AUTO\r\n"
              "       IPXMediaType: ARCNET\r\n"
              "         IPXEnabled: True\r\n\r\n"
              "            Caption: Second\r\n"
              "         MACAddress: \r\n"
              "         IPXAddress: \r\n"
              "   IPXNetworkNumber: \r\n"
              "IPXVirtualNetNumber: \r\n"
              "       IPXFrameType: Type4 Not Listed\r\n"
              "       IPXMediaType: Type0 Not Listed\r\n"
              "         IPXEnabled: True\r\n\r\n"
              "            Caption: Third\r\n"
              "         MACAddress: \r\n"
              "         IPXAddress: \r\n"
              "   IPXNetworkNumber: \r\n"
              "IPXVirtualNetNumber: \r\n"
              "       IPXFrameType: Ethernet SNAP\r\n"
              "       IPXMediaType: Token ring\r\n"
              "         IPXEnabled: True\r\n\r\n"
              "            Caption: Unknown codes\r\n"
              "         MACAddress: \r\n"
              "         IPXAddress: \r\n"
              "   IPXNetworkNumber: \r\n"
              "IPXVirtualNetNumber: \r\n"
              "       IPXFrameType: \r\n"
              "       IPXMediaType: \r\n"
              "         IPXEnabled: True\r\n\r\n");
}

TEST(IpxSpxCollector, WithoutIpxOrWithAFailedQueryNoneReported) {
    const std::string expected = "**IPX/SPX Adapters**\r\n         None Reported\r\n\r\n";
    EXPECT_EQ(ipxSection(runAdapters(R"({"Caption": "LAN", "IPEnabled": true, "IPAddress": ["10.0.0.5"]})")), expected);
    EXPECT_EQ(ipxSection(net::runWs01(R"("failingClasses": {"Win32_NetworkAdapterConfiguration":
                                          {"number": -2147217392, "description": "Invalid class "}})")),
              expected);
}

}  // namespace
}  // namespace qvtest

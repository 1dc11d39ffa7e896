// Modems, sound devices, monitors, video adapters, network adapters and printers as the report
// shows them, from fixture computers; a computer of malformed values.
#include <gtest/gtest.h>

#include "tests/inventory/collectors/device_sim.h"

using qvtest::runSim;
using qvtest::reportSection;

namespace {

std::string wmiFixture(const std::string& computer) { return qvtest::deviceFixture("\"WS01\": {" + computer + "}"); }

}  // namespace

TEST(ModemsAudioDisplayPrinters, SectionsOfAWorkstation) {
    auto r = runSim(wmiFixture(R"js("classes": {
      "Win32_POTSModem": [{"Caption": "Standard 56000 bps Modem", "AttachedTo": "COM3", "DeviceID": "MDMGEN56\\0000",
                           "DeviceType": "External Modem", "ProviderName": "Microsoft"}],
      "Win32_SoundDevice": [
        {"Name": "SoundMAX Integrated Digital Audio", "Manufacturer": "Analog Devices", "DeviceID": "PCI\\VEN_8086&DEV_24C5"},
        {"Name": "Legacy Audio Drivers", "Manufacturer": "(Generic Audio)", "DeviceID": "ROOT\\LEGACY"}],
      "Win32_DesktopMonitor": [{"DeviceID": "DesktopMonitor1", "Name": "Plug and Play Monitor", "ScreenHeight": 768,
                                "ScreenWidth": 1024, "MonitorManufacturer": "(Standard monitor types)"}],
      "Win32_VideoController": [{"DeviceID": "VideoController1", "Name": "NVIDIA GeForce4 MX 440", "AdapterRAM": 1310720,
                                 "VideoArchitecture": 5, "VideoModeDescription": "1024 x 768 x 4294967296 colors",
                                 "CurrentRefreshRate": 60, "VideoMode": null, "VideoProcessor": "GeForce4 MX 440"},
                                {"DeviceID": "VideoController2", "Name": "Big", "AdapterRAM": "4294967295",
                                 "VideoArchitecture": 9, "VideoModeDescription": null,
                                 "CurrentRefreshRate": 75, "VideoMode": 3, "VideoProcessor": ""}],
      "Win32_NetworkAdapter": [{"Description": "Intel(R) PRO/1000 MT", "DeviceID": "1", "MACAddress": "00:0C:29:3A:4B:5C",
                                "AdapterType": "Ethernet 802.3", "Manufacturer": "Intel", "Speed": "1000000000",
                                "MaxSpeed": null, "ServiceName": "E1000"},
                               {"Description": "10G", "DeviceID": "7", "MACAddress": null, "AdapterType": null,
                                "Manufacturer": "Acme", "Speed": "10000000000", "MaxSpeed": "10000000000", "ServiceName": "ixgbe"}],
      "Win32_Printer": [{"DeviceID": "HP LaserJet 4050", "DriverName": "HP LaserJet 4050 Series PCL", "PortName": "LPT1:", "Default": true},
                        {"DeviceID": "PDF Writer", "DriverName": "PDF", "PortName": "FILE:", "Default": null}]
    })js"), {});
    const std::string report = r.file("docs/QVWS01.txt");
    EXPECT_EQ(reportSection(report, "**Modem Devices**", "**Network Information**"),
              "**Modem Devices**\r\n"
              "              Modem1\r\n"
              "            Caption: Standard 56000 bps Modem\r\n"
              "         AttachedTo: COM3\r\n"
              "           DeviceID: MDMGEN56\\0000\r\n"
              "         DeviceType: External Modem\r\n"
              "       ProviderName: Microsoft\r\n\r\n"
              "**Audio Devices**\r\n"
              "              Audio1\r\n"
              "               Name: SoundMAX Integrated Digital Audio\r\n"
              "       Manufacturer: Analog Devices\r\n"
              "           DeviceID: PCI\\VEN_8086&DEV_24C5\r\n\r\n"
              "              Audio2\r\n"
              "               Name: Legacy Audio Drivers\r\n"
              "       Manufacturer: (Generic Audio)\r\n"
              "           DeviceID: ROOT\\LEGACY\r\n\r\n"
              "**Video Devices**\r\n"
              "          MonitorID: DesktopMonitor1\r\n"
              "        MonitorName: Plug and Play Monitor\r\n"
              "       ScreenHeight: 768\r\n"
              "        ScreenWidth: 1024\r\n"
              "MonitorManufacturer: (Standard monitor types)\r\n\r\n"
              "**Video Adapter Settings**\r\n"
              "                  ID: VideoController1\r\n"
              "                Name: NVIDIA GeForce4 MX 440\r\n"
              "          AdapterRAM: 1.3 MB\r\n"  // 1.25 MB
              "        Architecture: Type 5: VGA\r\n"
              "VideoModeDescription: 1024 x 768 x 4294967296 colors\r\n"
              "  CurrentRefreshRate: 60\r\n"
              "           VideoMode: \r\n"
              "      VideoProcessor: GeForce4 MX 440\r\n\r\n"
              "                  ID: VideoController2\r\n"
              "                Name: Big\r\n"
              "          AdapterRAM: 4,096.0 MB\r\n"
              "        Architecture: Type 9: MCGA\r\n"
              "VideoModeDescription: \r\n"
              "  CurrentRefreshRate: 75\r\n"
              "           VideoMode: 3\r\n"
              "      VideoProcessor: \r\n\r\n"
              "*Network Adapters*\r\n"
              "        Description: Intel(R) PRO/1000 MT\r\n"
              "           DeviceID: 1\r\n"
              "         MACAddress: 00:0C:29:3A:4B:5C\r\n"
              "        AdapterType: Ethernet 802.3\r\n"
              "       Manufacturer: Intel\r\n"
              "              Speed: 1000000000\r\n"
              "           MaxSpeed: \r\n"
              "        ServiceName: E1000\r\n\r\n"
              "        Description: 10G\r\n"
              "           DeviceID: 7\r\n"
              "         MACAddress: \r\n"
              "        AdapterType: \r\n"
              "       Manufacturer: Acme\r\n"
              "              Speed: 10000000000\r\n"
              "           MaxSpeed: 10000000000\r\n"
              "        ServiceName: ixgbe\r\n\r\n"
              "**Installed Printers**\r\n"
              "             Printer1\r\n"
              "                Name: HP LaserJet 4050\r\n"
              "          DriverName: HP LaserJet 4050 Series PCL\r\n"
              "            PortName: LPT1:\r\n"
              "             Default: True\r\n\r\n"
              "             Printer2\r\n"
              "                Name: PDF Writer\r\n"
              "          DriverName: PDF\r\n"
              "            PortName: FILE:\r\n"
              "             Default: False\r\n\r\n");
}

TEST(ModemsAudioDisplayPrinters, NothingFoundAndNoNetworkAdapterHeading) {
    const std::string expected =
        "**Modem Devices**\r\n         Not Reported\r\n\r\n"
        "**Audio Devices**\r\n         Not Reported\r\n\r\n"
        "**Video Devices**\r\n         Not Reported\r\n\r\n"
        "**Video Adapter Settings**\r\n         Not Reported\r\n\r\n"
        "         Not Reported\r\n\r\n"
        "**Installed Printers**\r\n         Not Reported\r\n\r\n";
    auto empty = runSim(wmiFixture(R"js("classes": {})js"), {});
    EXPECT_EQ(reportSection(empty.file("docs/QVWS01.txt"), "**Modem Devices**", "**Network Information**"), expected);
    // Classes that cannot be counted show the same.
    auto failing = runSim(wmiFixture(R"js("failingClasses": {
        "Win32_POTSModem": {"number": -2147217392, "description": "Invalid class "},
        "Win32_SoundDevice": {"number": -2147217392, "description": "Invalid class "},
        "Win32_DesktopMonitor": {"number": -2147217392, "description": "Invalid class "},
        "Win32_VideoController": {"number": -2147217392, "description": "Invalid class "},
        "Win32_NetworkAdapter": {"number": -2147217405, "description": "Access denied "},
        "Win32_Printer": {"number": -2147217392, "description": "Invalid class "}})js"),
                          {});
    EXPECT_EQ(reportSection(failing.file("docs/QVWS01.txt"), "**Modem Devices**", "**Network Information**"), expected);
}

TEST(ModemsAudioDisplayPrinters, HardwareCollectorsRunInOrderWithTheirTraces) {
    auto r = runSim(wmiFixture(R"js("classes": {})js"), {});
    EXPECT_NE(r.err.find(" Point\n Keyb\n Port\n COM\n LPT\n USB\n SCSI\n Modem\n Audio\n Monitor\n Video\n NIC\n Printer\n"),
              std::string::npos)
        << r.err;
    const std::string report = r.file("docs/QVWS01.txt");
    const char* headings[] = {"**Hardware Inventory**", "**Pointing Device**", "**Keyboard**", "**Port Connections**",
                              "**Serial Ports**", "**Parallel Ports**", "**USB**", "**SCSI Devices**",
                              "**Modem Devices**", "**Audio Devices**", "**Video Devices**",
                              "**Video Adapter Settings**", "**Installed Printers**", "**Network Information**"};
    std::size_t at = 0;
    for (const char* h : headings) {
        std::size_t found = report.find(std::string("\r\n") + h + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << h;
        at = found + 1;
    }
}

// Every class holds values of the wrong kind: numbers for texts, texts for numbers, negative and
// oversized numbers, a huge text, NUL characters, lists and objects. The inventory of the computer
// goes on to the end and the lines that can be shown are shown.
TEST(ModemsAudioDisplayPrinters, MalformedValuesNeverStopTheInventory) {
    const std::string huge(100000, 'x');
    const std::string fixture = wmiFixture(R"js("classes": {
      "Win32_PointingDevice": [{"Description": 12, "Manufacturer": ["a", "b"], "DeviceInterface": "PS/2", "PointingType": -3}],
      "Win32_Keyboard": [{"Caption": true, "Description": {"x": 1}, "Layout": 409}],
      "Win32_PortConnector": [{"Tag": 1.5, "ExternalReferenceDesignator": [], "PortType": "2"}],
      "Win32_SerialPort": [{"DeviceID": 1, "Description": "A\u0000B", "ProviderType": -7}],
      "Win32_ParallelPort": [{"DeviceID": ["LPT1", "LPT2"]}],
      "Win32_USBController": [{"DeviceID": "HUGE", "Name": "HUGE"}],
      "Win32_SCSIController": [{"DeviceID": null, "Description": 3}],
      "Win32_POTSModem": [{"Caption": "\u0000", "AttachedTo": 3, "DeviceID": -1, "DeviceType": false}],
      "Win32_SoundDevice": [{"Name": "HUGE", "Manufacturer": 0, "DeviceID": ""}],
      "Win32_DesktopMonitor": [{"DeviceID": "M", "ScreenHeight": "tall", "ScreenWidth": -1024, "Name": 7}],
      "Win32_VideoController": [{"DeviceID": "V", "AdapterRAM": "lots", "VideoArchitecture": "VGA", "CurrentRefreshRate": 1e300},
                                {"DeviceID": "W", "AdapterRAM": -1048576, "VideoArchitecture": 5.0},
                                {"DeviceID": "X", "AdapterRAM": null, "VideoArchitecture": null}],
      "Win32_NetworkAdapter": [{"Description": "HUGE", "Speed": "-5", "MaxSpeed": "18446744073709551615"}],
      "Win32_Printer": [{"DeviceID": "P", "Default": "yes"}, {"DeviceID": 5, "Default": 1}]
    })js");
    std::string withHuge;
    for (std::size_t p = 0; p < fixture.size();) {
        std::size_t q = fixture.find("HUGE", p);
        withHuge += fixture.substr(p, q == std::string::npos ? std::string::npos : q - p);
        if (q == std::string::npos) break;
        withHuge += huge;
        p = q + 4;
    }
    auto r = runSim(withHuge, {});
    EXPECT_NE(r.file("docs/QV.log").find(" WS01 Inventory Completed"), std::string::npos);
    EXPECT_NE(r.out.find("     Hardware part complete"), std::string::npos);
    const std::string report = r.file("docs/QVWS01.txt");
    EXPECT_EQ(reportSection(report, "**Pointing Device**", "**Port Connections**"),
              "**Pointing Device**\r\n"
              "        Description: 12\r\n"
              "       Manufacturer: a\r\n"
              "    DeviceInterface: Type PS/2: Not Listed\r\n"
              "       PointingType: Type -3: Not Listed\r\n\r\n"
              "**Keyboard**\r\n"
              "            Caption: True\r\n"
              "        Description: {\"x\":1}\r\n"
              "             Layout: 409\r\n\r\n");
    EXPECT_NE(report.find("           PortType: Type 2: Parallel Port PS/2\r\n"), std::string::npos);
    EXPECT_NE(report.find(std::string("        Description: A\0B\r\n", 26)), std::string::npos);
    EXPECT_NE(report.find("           DeviceID: LPT1\r\n\r\n"), std::string::npos);
    EXPECT_NE(report.find("               Name: " + huge + "\r\n\r\n"), std::string::npos);
    EXPECT_EQ(reportSection(report, "**Video Adapter Settings**", "*Network Adapters*"),
              "**Video Adapter Settings**\r\n"
              "                  ID: V\r\n"
              "        Architecture: Type VGA: Not Listed\r\n"
              "  CurrentRefreshRate: 1E+300\r\n"
              "                  ID: W\r\n"
              "          AdapterRAM: -1.0 MB\r\n"
              "        Architecture: Type 5: VGA\r\n"
              "                  ID: X\r\n"
              "          AdapterRAM: \r\n"
              "        Architecture: Type : Not Listed\r\n");
    EXPECT_NE(report.find("              Speed: -5\r\n           MaxSpeed: 18446744073709551615\r\n"), std::string::npos);
    EXPECT_EQ(reportSection(report, "**Installed Printers**", "**Network Information**"),
              "**Installed Printers**\r\n"
              "             Printer1\r\n                Name: P\r\n             Default: False\r\n\r\n"
              "             Printer2\r\n                Name: 5\r\n             Default: True\r\n\r\n");
}

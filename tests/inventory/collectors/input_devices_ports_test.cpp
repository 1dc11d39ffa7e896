// Pointing devices, keyboards, port connectors, serial and parallel ports, USB and SCSI controllers
// as the report shows them, from fixture computers.
#include <gtest/gtest.h>

#include "tests/inventory/collectors/device_sim.h"

using qvtest::runSim;
using qvtest::reportSection;

namespace {

std::string wmiFixture(const std::string& classes, const std::string& moreComputers = "") {
    return qvtest::deviceFixture("\"WS01\": {" + classes + "}" + moreComputers);
}

}  // namespace

TEST(InputDevicesPorts, SectionsOfAWorkstation) {
    auto r = runSim(wmiFixture(R"js("classes": {
      "Win32_PointingDevice": [
        {"Description": "PS/2 Compatible Mouse", "Manufacturer": "(Standard mouse types)", "DeviceInterface": 4, "PointingType": 2},
        {"Description": "  Odd Pointer  ", "Manufacturer": null, "DeviceInterface": 9, "PointingType": 160}],
      "Win32_Keyboard": [{"Caption": "Enhanced (101- or 102-key)", "Description": "Standard 101/102-Key or Microsoft Natural PS/2 Keyboard", "Layout": "00000409"}],
      "Win32_PortConnector": [
        {"Tag": "Port Connector 0", "ExternalReferenceDesignator": "PRINTER", "InternalReferenceDesignator": "J1", "PortType": 2},
        {"Tag": "Port Connector 1", "ExternalReferenceDesignator": null, "InternalReferenceDesignator": "J2", "PortType": null},
        {"Tag": "Port Connector 2", "ExternalReferenceDesignator": "", "InternalReferenceDesignator": "J3", "PortType": 160}],
      "Win32_SerialPort": [{"DeviceID": "COM1", "Description": "Communications Port", "ProviderType": null}],
      "Win32_ParallelPort": [{"DeviceID": "LPT1"}],
      "Win32_USBController": [
        {"DeviceID": "PCI\\VEN_8086&DEV_24C2", "Name": "Intel(R) 82801DB USB Universal Host Controller - 24C2"},
        {"DeviceID": "PCI\\VEN_8086&DEV_24C4", "Name": "Intel(R) 82801DB USB Universal Host Controller - 24C4"},
        {"DeviceID": "PCI\\VEN_8086&DEV_24CD", "Name": "Intel(R) 82801DB USB2 Enhanced Host Controller - 24CD"}],
      "Win32_SCSIController": [{"DeviceID": "PCI\\VEN_1000&DEV_0030", "Description": "LSI Logic PCI-X Ultra320 SCSI Host Adapter"}]
    })js"), {});
    const std::string report = r.file("docs/QVWS01.txt");
    EXPECT_EQ(reportSection(report, "**Pointing Device**", "**Modem Devices**"),
              "**Pointing Device**\r\n"
              "        Description: PS/2 Compatible Mouse\r\n"
              "       Manufacturer: (Standard mouse types)\r\n"
              "    DeviceInterface: Type 4: PS/2\r\n"
              "       PointingType: Type 2: Unknown\r\n\r\n"
              "        Description:   Odd Pointer  \r\n"
              "       Manufacturer: \r\n"
              "    DeviceInterface: Type 9: Not Listed\r\n"
              "       PointingType: Type 160: Not Listed\r\n\r\n"
              "**Keyboard**\r\n"
              "            Caption: Enhanced (101- or 102-key)\r\n"
              "        Description: Standard 101/102-Key or Microsoft Natural PS/2 Keyboard\r\n"
              "             Layout: 00000409\r\n\r\n"
              "**Port Connections**\r\n"
              "                Tag: Port Connector 0\r\n"
              "   ExtRefDesignator: PRINTER\r\n"
              "   IntRefDesignator: J1\r\n"
              "           PortType: Type 2: Parallel Port PS/2\r\n\r\n"
              "                Tag: Port Connector 2\r\n"
              "   ExtRefDesignator: \r\n"
              "   IntRefDesignator: J3\r\n"
              "           PortType: Type 160: Unlisted\r\n\r\n"
              "**Serial Ports**\r\n"
              "           DeviceID: COM1\r\n"
              "        Description: Communications Port\r\n"
              "       ProviderType: \r\n\r\n"
              "**Parallel Ports**\r\n"
              "           DeviceID: LPT1\r\n\r\n"
              "**USB**\r\n"
              "               USB 1\r\n"
              "           DeviceID: PCI\\VEN_8086&DEV_24C2\r\n"
              "               Name: Intel(R) 82801DB USB Universal Host Controller - 24C2\r\n\r\n"
              "               USB 2\r\n"
              "           DeviceID: PCI\\VEN_8086&DEV_24C4\r\n"
              "               Name: Intel(R) 82801DB USB Universal Host Controller - 24C4\r\n\r\n"
              "               USB 3\r\n"
              "           DeviceID: PCI\\VEN_8086&DEV_24CD\r\n"
              "               Name: Intel(R) 82801DB USB2 Enhanced Host Controller - 24CD\r\n\r\n"
              "**SCSI Devices**\r\n"
              "       SCSI Device 1\r\n"
              "           DeviceID: PCI\\VEN_1000&DEV_0030\r\n"
              "        Description: LSI Logic PCI-X Ultra320 SCSI Host Adapter\r\n\r\n");
}

TEST(InputDevicesPorts, NothingFoundAndClassesThatCannotBeCounted) {
    auto r = runSim(wmiFixture(R"js("classes": {
      "Win32_PortConnector": [{"Tag": "Port Connector 1", "PortType": null}]},
      "failingClasses": {"Win32_USBController": {"number": -2147217392, "description": "Invalid class "},
                         "Win32_Keyboard": {"number": -2147217405, "description": "Access denied "}})js"),
                    {});
    const std::string report = r.file("docs/QVWS01.txt");
    EXPECT_EQ(reportSection(report, "**Pointing Device**", "**Modem Devices**"),
              "**Pointing Device**\r\n         Not Reported\r\n\r\n"
              "**Keyboard**\r\n         Not Reported\r\n\r\n"
              "**Port Connections**\r\n"  // the one connector has no port type: heading alone
              "**Serial Ports**\r\n         Not Reported\r\n\r\n"
              "**Parallel Ports**\r\n         Not Reported\r\n\r\n"
              "**USB**\r\n         Not Reported\r\n\r\n"
              "**SCSI Devices**\r\n         Not Reported\r\n\r\n");
    EXPECT_NE(report.find("**Network Information**"), std::string::npos);
}

TEST(InputDevicesPorts, UsbNumberingStartsAgainForEachComputer) {
    const std::string usb = R"js("classes": {"Win32_USBController": [{"DeviceID": "A", "Name": "One"}, {"DeviceID": "B", "Name": "Two"}]})js";
    auto r = runSim(wmiFixture(usb, ", \"WS02\": {" + usb + "}"), {"WS01", "WS02"});
    const std::string expected =
        "**USB**\r\n"
        "               USB 1\r\n           DeviceID: A\r\n               Name: One\r\n\r\n"
        "               USB 2\r\n           DeviceID: B\r\n               Name: Two\r\n\r\n";
    EXPECT_EQ(reportSection(r.file("docs/QVWS01.txt"), "**USB**", "**SCSI Devices**"), expected);
    EXPECT_EQ(reportSection(r.file("docs/QVWS02.txt"), "**USB**", "**SCSI Devices**"), expected);
}

TEST(InputDevicesPorts, UnreadablePropertiesLeaveTheirLinesOut) {
    // Absent members cannot be read: their lines are not written, the others are.
    auto r = runSim(wmiFixture(R"js("classes": {
      "Win32_PointingDevice": [{"Description": "Mouse", "DeviceInterface": 162}],
      "Win32_SerialPort": [{"DeviceID": "COM2", "Description": "Port"}],
      "Win32_SCSIController": [{"Description": "Controller"}]})js"),
                    {});
    const std::string report = r.file("docs/QVWS01.txt");
    EXPECT_EQ(reportSection(report, "**Pointing Device**", "**Keyboard**"),
              "**Pointing Device**\r\n"
              "        Description: Mouse\r\n"
              "    DeviceInterface: Type 162: USB\r\n");
    EXPECT_EQ(reportSection(report, "**Serial Ports**", "**Parallel Ports**"),
              "**Serial Ports**\r\n           DeviceID: COM2\r\n        Description: Port\r\n");
    EXPECT_EQ(reportSection(report, "**SCSI Devices**", "**Modem Devices**"),
              "**SCSI Devices**\r\n       SCSI Device 1\r\n        Description: Controller\r\n\r\n");
}

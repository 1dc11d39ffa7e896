// The rows the device collectors append: cut texts, Nulls kept for ports, 32-bit numbers, sequence
// references, the empty row of a category with nothing found, read back with SQL.
#include <gtest/gtest.h>

#include "tests/inventory/collectors/device_sim.h"
#include "tests/support/db_read.h"

using qvtest::runSim;

namespace {

using Rows = std::vector<std::string>;

// Every row of a query on the run's database, its values joined by "|" (Null as "NULL").
Rows rows(const qvtest::SimResult& r, const std::string& sql) {
    Rows out;
    for (const auto& row : qvtest::queryDb(r.dir + "/docs/QV.mdb", sql)) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + row[i];
        out.push_back(line);
    }
    return out;
}

std::string wmiFixture(const std::string& computers) { return qvtest::deviceFixture(computers); }

}  // namespace

TEST(DeviceRows, InputDevicesAndPorts) {
    auto r = runSim(wmiFixture(R"js("WS01": {"classes": {
      "Win32_ComputerSystem": [{"Domain": "CORP", "PartOfDomain": true, "DomainRole": 1}],
      "Win32_PointingDevice": [
        {"Description": "PS/2 Compatible Mouse", "Manufacturer": "(Standard mouse types)", "DeviceInterface": 4, "PointingType": 2},
        {"Description": ")js" + std::string(80, 'L') + R"js(", "Manufacturer": "  Maker  ", "DeviceInterface": 9, "PointingType": null}],
      "Win32_Keyboard": [{"Caption": "Enhanced (101- or 102-key)", "Description": "Standard Keyboard", "Layout": " 00000409 "}],
      "Win32_PortConnector": [
        {"Tag": "Port Connector 0", "ExternalReferenceDesignator": "PRINTER", "InternalReferenceDesignator": "J1", "PortType": 2},
        {"Tag": "Port Connector 1", "ExternalReferenceDesignator": null, "InternalReferenceDesignator": "J2", "PortType": null},
        {"Tag": "Port Connector 2", "ExternalReferenceDesignator": null, "InternalReferenceDesignator": "J3", "PortType": 160}],
      "Win32_SerialPort": [{"DeviceID": "COM1", "Description": "Communications Port", "ProviderType": null},
                           {"DeviceID": "COM123456789", "Description": null, "ProviderType": "RS232 Serial Port"}],
      "Win32_ParallelPort": [{"DeviceID": "LPT1"}, {"DeviceID": null}],
      "Win32_USBController": [{"DeviceID": "U1", "Name": "One"}, {"DeviceID": "U2", "Name": "Two"}, {"DeviceID": "U3", "Name": "Three"}],
      "Win32_SCSIController": [{"DeviceID": "S1", "Description": "Adapter"}]}},
      "WS02": {"classes": {"Win32_USBController": [{"DeviceID": "V1", "Name": "Other"}]}})js"),
                    {"WS01", "WS02"});
    EXPECT_EQ(rows(r, "SELECT DomainWorkGrp, Interface, PointerType, Description, Manufacturer FROM PointDevice WHERE DeviceName = 'WS01'"),
              (Rows{"CORP|Type 4: PS/2|Type 2: Unknown|PS/2 Compatible Mouse|(Standard mouse types)",
                    "CORP|Type 9: Not Listed|Type : Not Listed|" + std::string(64, 'L') + "|Maker"}));
    EXPECT_EQ(rows(r, "SELECT Caption, Layout, Description FROM Keyboard WHERE DeviceName = 'WS01'"),
              (Rows{"Enhanced (101- or 102-key)|00000409|Standard Keyboard"}));
    EXPECT_EQ(rows(r, "SELECT Tag, ExtRefDesignator, IntRefDesignator, PortType FROM PortCon WHERE DeviceName = 'WS01'"),
              (Rows{"Port Connector 0|PRINTER|J1|Type 2: Parallel Port PS/2", "Port Connector 2||J3|Type 160: Unlisted"}));
    EXPECT_EQ(rows(r, "SELECT PortID, Description, ProviderType FROM SerialPorts WHERE DeviceName = 'WS01'"),
              (Rows{"COM1|Communications Port|NULL", "COM12345|NULL|RS232 Serial Port"}));
    EXPECT_EQ(rows(r, "SELECT PortID FROM ParallelPorts WHERE DeviceName = 'WS01'"), (Rows{"LPT1", "NULL"}));
    EXPECT_EQ(rows(r, "SELECT DeviceName, Reference, ID, Name FROM USB"),
              (Rows{"WS01|USB1|U1|One", "WS01|USB2|U2|Two", "WS01|USB3|U3|Three", "WS02|USB1|V1|Other"}));
    EXPECT_EQ(rows(r, "SELECT DeviceName, ID, Reference, Description FROM SCSI"),
              (Rows{"WS01|S1|SCSIDevice1|Adapter", "WS02|||"}));
}

TEST(DeviceRows, ModemsAudioDisplayAndPrinters) {
    auto r = runSim(wmiFixture(R"js("WS01": {"classes": {
      "Win32_POTSModem": [{"Caption": "Standard 56000 bps Modem", "AttachedTo": "COM3", "DeviceID": "MDMGEN56\\0000",
                           "DeviceType": "External Modem", "ProviderName": "Microsoft"}],
      "Win32_SoundDevice": [{"Name": "SoundMAX", "Manufacturer": "Analog Devices", "DeviceID": "A1"},
                            {"Name": "Legacy", "Manufacturer": null, "DeviceID": "A2"}],
      "Win32_DesktopMonitor": [{"DeviceID": "DesktopMonitor1", "Name": "Plug and Play Monitor", "ScreenHeight": 768,
                                "ScreenWidth": "1024", "MonitorManufacturer": "(Standard monitor types)"},
                               {"DeviceID": "DesktopMonitor2", "ScreenHeight": null, "ScreenWidth": 4294967295}],
      "Win32_VideoController": [{"DeviceID": "VideoController1", "Name": "NVIDIA", "AdapterRAM": 134217728,
                                 "VideoArchitecture": 5, "VideoModeDescription": "1024 x 768", "CurrentRefreshRate": 60,
                                 "VideoMode": 3, "VideoProcessor": "GeForce4 MX 440"},
                                {"DeviceID": "VideoController2", "Name": "Big", "AdapterRAM": 2147483648,
                                 "VideoArchitecture": 160, "CurrentRefreshRate": -1}],
      "Win32_NetworkAdapter": [{"Description": "Intel(R) PRO/1000 MT", "DeviceID": "1", "MACAddress": "00:0C:29:3A:4B:5C",
                                "AdapterType": "Ethernet 802.3", "Manufacturer": "Intel", "Speed": "1000000000",
                                "MaxSpeed": null, "ServiceName": "E1000"},
                               {"Description": "10G", "DeviceID": "7", "Speed": "10000000000", "MaxSpeed": "2147483647",
                                "ServiceName": "ixgbe-service-name-long"}],
      "Win32_Printer": [{"DeviceID": "HP LaserJet 4050", "DriverName": "HP LaserJet 4050 Series PCL", "PortName": "LPT1:", "Default": true},
                        {"DeviceID": "PDF Writer", "DriverName": "PDF", "PortName": "FILE:", "Default": null}]}})js"),
                    {});
    EXPECT_EQ(rows(r, "SELECT Reference, Caption, AttachedTo, ServiceType, ID, ProviderName FROM Modem"),
              (Rows{"Modem1|Standard 56000 bps Modem|COM3|External Modem|MDMGEN56\\0000|Microsoft"}));
    EXPECT_EQ(rows(r, "SELECT Reference, Name, Manufacturer, ID FROM Audio"),
              (Rows{"Audio1|SoundMAX|Analog Devices|A1", "Audio2|Legacy||A2"}));
    EXPECT_EQ(rows(r, "SELECT ID, Name, ScreenHeight, ScreenWidth, Manufacturer FROM Monitor"),
              (Rows{"DesktopMonitor1|Plug and Play Monitor|768|1024|(Standard monitor types)", "DesktopMonitor2||0|0|"}));
    EXPECT_EQ(rows(r, "SELECT ID, Name, AdapterRAM, Architecture, VideoMode, RefreshRate, Processor FROM VideoAdapter"),
              (Rows{"VideoController1|NVIDIA|134217728|Type 5: VGA|1024 x 768|60|GeForce4 MX 440",
                    "VideoController2|Big|0|Type 160: PC-98||-1|"}));
    EXPECT_EQ(rows(r, "SELECT Description, DeviceID, MACAddress, AdapterType, Manufacturer, Speed, MaxSpeed, ServiceName "
                      "FROM NetworkAdapters"),
              (Rows{"Intel(R) PRO/1000 MT|1|00:0C:29:3A:4B:5C|Ethernet 802.3|Intel|1000000000|0|E1000",
                    "10G|7||||0|2147483647|ixgbe-service-na"}));
    EXPECT_EQ(rows(r, "SELECT Reference, Name, DriverName, PortName, \"Default\" FROM Printers"),
              (Rows{"Printer1|HP LaserJet 4050|HP LaserJet 4050 Series PCL|LPT1:|1", "Printer2|PDF Writer|PDF|FILE:|0"}));
}

TEST(DeviceRows, OneEmptyRowForEachCategoryWithNothingFound) {
    auto r = runSim(wmiFixture(R"js("WS01": {"classes": {}, "failingClasses": {
        "Win32_NetworkAdapter": {"number": -2147217405, "description": "Access denied "},
        "Win32_SerialPort": {"number": -2147217392, "description": "Invalid class "}}})js"),
                    {});
    const std::pair<const char*, const char*> tables[] = {
        {"PointDevice", "Interface||PointerType||Description||Manufacturer"},
        {"Keyboard", "Caption||Layout||Description"},
        {"PortCon", "Tag||ExtRefDesignator||IntRefDesignator||PortType"},
        {"SerialPorts", "ProviderType||Description||PortID"},
        {"ParallelPorts", "PortID"},
        {"USB", "Reference||ID||Name"},
        {"SCSI", "ID||Reference||Description"},
        {"Modem", "AttachedTo||ServiceType||ProviderName||ID||Reference||Caption"},
        {"Audio", "Reference||Name||Manufacturer||ID"},
        {"Monitor", "ID||Name||Manufacturer||ScreenHeight||ScreenWidth"},
        {"VideoAdapter", "Architecture||VideoMode||Processor||ID||Name||AdapterRAM||RefreshRate"},
        {"NetworkAdapters", "MACAddress||ServiceName||AdapterType||Description||DeviceID||Manufacturer||Speed||MaxSpeed"},
        {"Printers", "DriverName||PortName||Reference||Name||\"Default\""},
    };
    for (const auto& [table, columns] : tables) {
        // Texts are empty and numbers 0, so the concatenation of the columns is empty or zeros.
        Rows got = rows(r, std::string("SELECT DeviceName, ") + columns + " FROM " + table);
        ASSERT_EQ(got.size(), 1u) << table;
        EXPECT_EQ(got[0].find_first_not_of("0", 5), std::string::npos) << table << ": " << got[0];
        EXPECT_EQ(got[0].substr(0, 5), "WS01|") << table;
    }
}

TEST(DeviceRows, MalformedValuesStillGiveTheirRows) {
    auto r = runSim(wmiFixture(R"js("WS01": {"classes": {
      "Win32_PointingDevice": [{"Description": 12, "Manufacturer": ["a", "b"], "DeviceInterface": "PS/2", "PointingType": -3}],
      "Win32_Keyboard": [{"Caption": true, "Description": {"x": 1}, "Layout": 409}],
      "Win32_SerialPort": [{"DeviceID": 1, "Description": "A\u0000B", "ProviderType": -7}],
      "Win32_DesktopMonitor": [{"DeviceID": "M", "ScreenHeight": "tall", "ScreenWidth": -1024, "Name": 7}],
      "Win32_VideoController": [{"DeviceID": "V", "AdapterRAM": "lots", "VideoArchitecture": "VGA", "CurrentRefreshRate": 1e300}],
      "Win32_NetworkAdapter": [{"Description": "N", "Speed": "-5", "MaxSpeed": "18446744073709551615"}],
      "Win32_Printer": [{"DeviceID": "P", "Default": "yes"}, {"DeviceID": 5, "Default": 1}]}})js"),
                    {});
    EXPECT_EQ(rows(r, "SELECT Interface, PointerType, Description, Manufacturer FROM PointDevice WHERE DeviceName = 'WS01'"),
              (Rows{"Type PS/2: Not Listed|Type -3: Not Listed|12|a"}));
    EXPECT_EQ(rows(r, "SELECT Caption, Layout, Description FROM Keyboard"), (Rows{"True|409|{\"x\":1}"}));
    EXPECT_EQ(rows(r, "SELECT PortID, ProviderType FROM SerialPorts"), (Rows{"1|-7"}));
    EXPECT_EQ(rows(r, "SELECT Name, ScreenHeight, ScreenWidth FROM Monitor"), (Rows{"7|0|-1024"}));
    EXPECT_EQ(rows(r, "SELECT AdapterRAM, Architecture, RefreshRate FROM VideoAdapter"), (Rows{"0|Type VGA: Not Listed|0"}));
    EXPECT_EQ(rows(r, "SELECT Speed, MaxSpeed FROM NetworkAdapters"), (Rows{"-5|0"}));
    EXPECT_EQ(rows(r, "SELECT Name, \"Default\" FROM Printers"), (Rows{"P|0", "5|1"}));
}

// Report sections of the environment, logical-drive, firmware, processor, memory, enclosure, board
// and storage collectors, run on fixture computers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/sim_run.h"

using qvtest::crlfLines;
using qvtest::runSim;
using qvtest::standardFixture;

namespace {

// The report lines from the heading line `from` up to (not including) the line `to`.
std::vector<std::string> section(const std::string& report, const std::string& from, const std::string& to) {
    std::vector<std::string> all = crlfLines(report), out;
    bool inside = false;
    for (const std::string& line : all) {
        if (!inside && line == from) inside = true;
        else if (inside && line == to) return out;
        if (inside) out.push_back(line);
    }
    return inside ? std::vector<std::string>{"<no end line: " + to + ">"} : std::vector<std::string>{"<no heading>"};
}

qvtest::SimResult runOn(const std::string& computer) {
    return runSim(standardFixture("\"wmi\": {\"WS01\": {" + computer + "}}"), {});
}
std::string reportOf(const std::string& computer) { return runOn(computer).file("docs/QVWS01.txt"); }

const std::string kSpaces21(21, ' ');

}  // namespace

TEST(OsHardwareCollectors, EveryClassEmpty) {
    qvtest::SimResult run = runOn(R"J("classes": {}, "failingClasses": {"Win32_Environment": {"number": -2147217392, "description": "Invalid class "}})J");
    std::string report = run.file("docs/QVWS01.txt");
    // Each collector's trace word follows it, in driver order.
    EXPECT_NE(run.err.find("\n DeviceID\n OSData\n EnvData\n Drives\n BIOS\n CPU\n RAM\n Box\n Base\n HD\n OD\n Tape\n Point\n"), std::string::npos)
        << run.err;
    std::vector<std::string> expected = {
        "",
        "**OS Environment Settings**",
        "         Not Reported",
        "",
        "",
        "**Logical Disk Drives**",
        "         Not Reported",
        "",
        "",
        "**Hardware Inventory**",
        "",
        "**BIOS**",
        "         Not Reported",
        "",
        "**CPU**",
        "         Not Reported",
        "",
        "**RAM**",
        "         Not Reported",
        "",
        "**Chassis**",
        "         Not Reported",
        "",
        "**Motherboard**",
        "         Not Reported",
        "",
        "**Hard Disk Detail**",
        "         Not Reported",
        "",
        "**Optical Drive Detail**",
        "         Not Reported",
        "",
        "**Tape Drive Detail**",
        "         Tape Drive: Not Installed",
        "",
    };
    std::vector<std::string> lines = crlfLines(report);
    // From the empty line before the environment heading to the end of the tape section.
    auto start = std::find(lines.begin(), lines.end(), "**OS Environment Settings**");
    ASSERT_NE(start, lines.end());
    std::vector<std::string> got(start - 1, std::min(lines.end(), start - 1 + static_cast<long>(expected.size())));
    EXPECT_EQ(got, expected);
}

TEST(OsHardwareCollectors, WorkstationSections) {
    const std::string path400(400, 'p');
    std::string report = reportOf(R"J("classes": {
      "Win32_Environment": [
        {"UserName": "<SYSTEM>", "Name": "Path", "VariableValue": ")J" + path400 + R"J("},
        {"UserName": "CORP\\admin", "Name": "TEMP", "VariableValue": " %USERPROFILE%\\Temp "}],
      "Win32_LogicalDisk": [
        {"Name": "A:", "Description": "3 1/2 Inch Floppy Drive", "DriveType": 2, "FileSystem": "FAT", "FreeSpace": "131072", "Size": "1457664", "MediaType": 2},
        {"Name": "C:", "Description": "Local Fixed Disk", "DriveType": 3, "FileSystem": "NTFS", "FreeSpace": "50000000000", "Size": "80026361856", "MediaType": 12},
        {"Name": "D:", "Description": "CD-ROM Disc", "DriveType": 5, "FileSystem": null, "FreeSpace": null, "Size": null, "MediaType": 11},
        {"Name": "E:", "Description": "Removable Disk", "DriveType": 99, "FileSystem": "FAT32", "FreeSpace": "0", "Size": "1342177280", "MediaType": 99},
        {"Name": "F:", "Description": "RAM Disk", "DriveType": null, "FileSystem": "FAT", "FreeSpace": "524288", "Size": "1048576", "MediaType": null}],
      "Win32_BIOS": [{"Description": "Phoenix ROM BIOS PLUS Version 1.10 A05", "Manufacturer": "Dell Computer Corporation",
        "SMBIOSBIOSVersion": " A05 ", "SMBIOSMajorVersion": 2, "SMBIOSMinorVersion": 3,
        "ReleaseDate": "20040315000000.000000+000", "CurrentLanguage": "en|US|iso8859-1", "SerialNumber": "7XYZ123"}],
      "Win32_Processor": [
        {"DeviceID": "CPU0", "Name": "  AMD Duron(tm) Processor", "Family": 29, "MaxClockSpeed": 1200, "CurrentClockSpeed": 1199,
         "L2CacheSize": 64, "Manufacturer": "AuthenticAMD", "Description": "x86 Family 6 Model 7 Stepping 1", "ProcessorId": "0383FBFF00000671"},
        {"DeviceID": "CPU1", "Name": "Unknown", "Family": 191, "MaxClockSpeed": null, "CurrentClockSpeed": 0,
         "L2CacheSize": null, "Manufacturer": null, "Description": "Empty", "ProcessorId": "0000000000000000"}],
      "Win32_PhysicalMemory": [
        {"Description": "Physical Memory", "BankLabel": "DIMM_A", "Capacity": "1073741824"},
        {"Description": "Physical Memory", "BankLabel": null}],
      "Win32_SystemEnclosure": [{"Description": "System Enclosure", "Manufacturer": "Dell Computer Corporation", "SMBIOSAssetTag": "  "}],
      "Win32_BaseBoard": [{"Name": "Base Board", "Product": "0X1234", "Manufacturer": "Dell", "SerialNumber": null, "Version": "A00"}],
      "Win32_DiskDrive": [
        {"Description": "Disk drive", "InterfaceType": "IDE", "Manufacturer": "(Standard disk drives)", "Model": "WDC WD800JB-00JJC0", "Size": "80026361856", "Partitions": 2},
        {"Description": "Disk drive", "InterfaceType": "USB", "Manufacturer": "(Standard disk drives)", "Model": "Card Reader", "Size": null, "Partitions": 0}],
      "Win32_CDROMDrive": [{"Drive": "D:", "Name": "HL-DT-ST CD-RW GCE-8481B", "Description": "CD-ROM Drive", "Manufacturer": "(Standard CD-ROM drives)"}]
    })J");
    EXPECT_EQ(section(report, "**OS Environment Settings**", ""),
              (std::vector<std::string>{"**OS Environment Settings**", "     Path=" + path400,
                                        "     TEMP= %USERPROFILE%\\Temp "}));
    EXPECT_EQ(section(report, "**Logical Disk Drives**", "**Hardware Inventory**"),
              (std::vector<std::string>{
                  "**Logical Disk Drives**",
                  "               Name: A:",
                  "        Description: 3 1/2 Inch Floppy Drive",
                  "          DriveType: Type 2: Removable Disk",
                  "         FileSystem: FAT",
                  "          FreeSpace: 131,072 Bytes",
                  kSpaces21 + "0.13 MB",  // 0.125: halves go away from zero
                  "               Size: 1,457,664 Bytes",
                  kSpaces21 + "1.39 MB",
                  "          MediaType: Type 2: 3 1/2-Inch Floppy Disk - 1.44Mb -512 bytes/sector",
                  "",
                  "               Name: C:",
                  "        Description: Local Fixed Disk",
                  "          DriveType: Type 3: Local Disk",
                  "         FileSystem: NTFS",
                  "          FreeSpace: 50,000,000,000 Bytes",
                  kSpaces21 + "46.6 GB",
                  "               Size: 80,026,361,856 Bytes",
                  kSpaces21 + "74.5 GB",
                  "          MediaType: Type 12: Fixed hard disk media",
                  "",
                  "               Name: D:",
                  "        Description: CD-ROM Disc",
                  "          DriveType: Type 5: Compact Disc",
                  "         FileSystem: ",
                  "          FreeSpace: ",
                  "               Size: ",
                  "          MediaType: Type 11: Removable media other than floppy",
                  "",
                  "               Name: E:",
                  "        Description: Removable Disk",
                  "          DriveType: Type 99: Unknown",
                  "         FileSystem: FAT32",
                  "          FreeSpace: 0 Bytes",
                  kSpaces21 + "0.0 GB",
                  "               Size: 1,342,177,280 Bytes",
                  kSpaces21 + "1.3 GB",  // 1.25
                  "          MediaType: Type 99: Unknown",
                  "",
                  "               Name: F:",
                  "        Description: RAM Disk",
                  "          DriveType: Type : Unknown",
                  "         FileSystem: FAT",
                  "          FreeSpace: 524,288 Bytes",
                  kSpaces21 + "512.000 K",
                  "               Size: 1,048,576 Bytes",
                  kSpaces21 + "1,024.000 K",
                  "          MediaType: Type : Unknown",
                  "",
                  "",
              }));
    EXPECT_EQ(section(report, "**BIOS**", "**CPU**"),
              (std::vector<std::string>{"**BIOS**", "        Description: Phoenix ROM BIOS PLUS Version 1.10 A05",
                                        "       Manufacturer: Dell Computer Corporation",
                                        "  SMBIOSBIOSVersion: A05.2.3",
                                        "        ReleaseDate: 20040315000000.000000+000",
                                        "    CurrentLanguage: en|US|iso8859-1", "       SerialNumber: 7XYZ123", ""}));
    EXPECT_EQ(section(report, "**CPU**", "**RAM**"),
              (std::vector<std::string>{"**CPU**",
                                        "                 ID: CPU0",
                                        "               Name: AMD Duron(tm) Processor",
                                        "             Family: AMD\xC2\xAE Duron Processor",
                                        "      MaxClockSpeed: 1200 MHz",
                                        "  CurrentClockSpeed: 1199 MHz",
                                        "        L2CacheSize: 64 K",
                                        "       Manufacturer: AuthenticAMD",
                                        "        Description: x86 Family 6 Model 7 Stepping 1",
                                        "        ProcessorId: 0383FBFF00000671",
                                        "",
                                        "   Empty Socket  Present",
                                        "**CPU NOT INSTALLED**",
                                        "                 ID: CPU1",
                                        "               Name: **NOT INSTALLED**",
                                        "             Family: Unlisted (191)",
                                        "      MaxClockSpeed:  MHz",
                                        "  CurrentClockSpeed: 0 MHz",
                                        "        L2CacheSize:  K",
                                        "       Manufacturer: ",
                                        "        Description: Empty",
                                        "        ProcessorId: 0000000000000000",
                                        ""}));
    EXPECT_EQ(section(report, "**RAM**", "**Chassis**"),
              (std::vector<std::string>{"**RAM**", "        Description: Physical Memory", "          BankLabel: DIMM_A",
                                        "           Capacity: 1,073,741,824 Bytes", kSpaces21 + "1,024 MB", "",
                                        "        Description: Physical Memory", "          BankLabel: ",
                                        "           Capacity: 0 Bytes", kSpaces21 + "0 MB", ""}));
    EXPECT_EQ(section(report, "**Chassis**", "**Hard Disk Detail**"),
              (std::vector<std::string>{"**Chassis**", "        Description: System Enclosure",
                                        "       Manufacturer: Dell Computer Corporation", "     SMBIOSAssetTag:   ", "",
                                        "**Motherboard**", "               Name: Base Board", "            Product: 0X1234",
                                        "       Manufacturer: Dell", "       SerialNumber: ", "            Version: A00",
                                        ""}));
    EXPECT_EQ(section(report, "**Hard Disk Detail**", "**Tape Drive Detail**"),
              (std::vector<std::string>{"**Hard Disk Detail**",
                                        "        Description: Disk drive",
                                        "      InterfaceType: IDE",
                                        "       Manufacturer: (Standard disk drives)",
                                        "              Model: WDC WD800JB-00JJC0",
                                        "               Size: 80,026,361,856 Bytes",
                                        kSpaces21 + "74.5 GB",
                                        "         Partitions: 2",
                                        "",
                                        "        Description: Disk drive",
                                        "      InterfaceType: USB",
                                        "       Manufacturer: (Standard disk drives)",
                                        "              Model: Card Reader",
                                        "               Size: 0 Bytes",
                                        kSpaces21 + "0.0 GB",
                                        "         Partitions: 0",
                                        "",
                                        "**Optical Drive Detail**",
                                        "              Drive: D:",
                                        "        Description: CD-ROM Drive",
                                        "       Manufacturer: (Standard CD-ROM drives)",
                                        ""}));
    EXPECT_EQ(section(report, "**Tape Drive Detail**", "**Pointing Device**"),
              (std::vector<std::string>{"**Tape Drive Detail**", "         Tape Drive: Not Installed", ""}));
}

// Values of the wrong kind never stop a collector: each goes on with the next value and instance,
// and the inventory of the computer completes.
TEST(OsHardwareCollectors, ValuesOfTheWrongKind) {
    const std::string huge(100000, 'h');
    const std::string tapeId(150, 't');
    qvtest::SimResult run = runOn(R"J("classes": {
      "Win32_Environment": [
        {"UserName": "<SYSTEM>", "Name": "N1", "VariableValue": 42},
        {"UserName": "u", "Name": "N\u0000UL", "VariableValue": "a\u0000b"},
        {"UserName": "u", "Name": "BAD", "VariableValue": null},
        {"UserName": "u", "Name": "AFTER", "VariableValue": "x"}],
      "Win32_LogicalDisk": [
        {"Name": 12345, "Description": ")J" + huge + R"J(", "DriveType": "3", "FileSystem": 7, "FreeSpace": "12", "Size": "abc", "MediaType": 3.5},
        {"Name": "N:", "DriveType": 3, "FileSystem": "NTFS", "FreeSpace": "-1", "Size": "-5", "MediaType": 12},
        {"Name": "B:", "DriveType": 4, "FileSystem": "NTFS", "FreeSpace": "9007199254740993", "Size": "18446744073709551615", "MediaType": 12}],
      "Win32_Processor": [
        {"DeviceID": "CPU0", "Name": true, "Family": "15", "MaxClockSpeed": "fast", "CurrentClockSpeed": -1,
         "L2CacheSize": 4294967296, "Manufacturer": 5, "Description": "d", "ProcessorId": 0}],
      "Win32_PhysicalMemory": [
        {"Description": "m", "BankLabel": "b", "Capacity": "lots"},
        {"Description": "m", "BankLabel": "b", "Capacity": "-1073741824"}],
      "Win32_DiskDrive": [
        {"Description": "Disk drive", "InterfaceType": 3, "Manufacturer": null, "Model": ["x", "y"], "Size": "1e400", "Partitions": 3000000000}],
      "Win32_TapeDrive": [
        {"Name": null, "ID": "ID", "Description": "Tape", "Manufacturer": "m", "DeviceID": ")J" + tapeId + R"J("}]
    })J");
    std::string report = run.file("docs/QVWS01.txt");
    EXPECT_EQ(section(report, "**OS Environment Settings**", ""),
              (std::vector<std::string>{"**OS Environment Settings**", "     N1=42", std::string("     N\0UL=a\0b", 13)}));
    std::vector<std::string> drives = section(report, "**Logical Disk Drives**", "**Hardware Inventory**");
    ASSERT_GE(drives.size(), 3u);
    EXPECT_EQ(drives[2], "        Description: " + huge);
    drives[2] = "(huge)";
    EXPECT_EQ(drives, (std::vector<std::string>{
                          "**Logical Disk Drives**",
                          "               Name: 12345",
                          "(huge)",
                          "          DriveType: Type 3: Local Disk",
                          "         FileSystem: 7",
                          "          FreeSpace: 12",
                          "               Size: abc",
                          "          MediaType: Type 3.5: Unknown",
                          "",
                          "               Name: N:",
                          "          DriveType: Type 3: Local Disk",
                          "         FileSystem: NTFS",
                          "          FreeSpace: -1 Bytes",
                          kSpaces21 + "-0.001 K",
                          "               Size: -5 Bytes",
                          kSpaces21 + "-0.005 K",
                          "          MediaType: Type 12: Fixed hard disk media",
                          "",
                          "               Name: B:",
                          "          DriveType: Type 4: Network Drive",
                          "         FileSystem: NTFS",
                          "          FreeSpace: 9,007,199,254,740,992 Bytes",
                          kSpaces21 + "8,388,608.0 GB",
                          "               Size: 18,446,744,073,709,551,616 Bytes",
                          kSpaces21 + "17,179,869,184.0 GB",
                          "          MediaType: Type 12: Fixed hard disk media",
                          "",
                          "",
                      }));
    EXPECT_EQ(section(report, "**CPU**", "**RAM**"),
              (std::vector<std::string>{"**CPU**", "                 ID: CPU0", "               Name: True",
                                        "             Family: Celeron", "      MaxClockSpeed: fast MHz",
                                        "  CurrentClockSpeed: -1 MHz", "        L2CacheSize: 4294967296 K",
                                        "       Manufacturer: 5", "        Description: d", "        ProcessorId: 0", ""}));
    EXPECT_EQ(section(report, "**RAM**", "**Chassis**"),
              (std::vector<std::string>{"**RAM**", "        Description: m", "          BankLabel: b",
                                        "           Capacity: 0 Bytes", kSpaces21 + "0 MB", "",
                                        "        Description: m", "          BankLabel: b",
                                        "           Capacity: -1,073,741,824 Bytes", kSpaces21 + "-1,024 MB", ""}));
    EXPECT_EQ(section(report, "**Hard Disk Detail**", "**Optical Drive Detail**"),
              (std::vector<std::string>{"**Hard Disk Detail**", "        Description: Disk drive", "      InterfaceType: 3",
                                        "       Manufacturer: ", "              Model: x", "               Size: 0 Bytes",
                                        kSpaces21 + "0.0 GB", "         Partitions: 3000000000", ""}));
    EXPECT_EQ(section(report, "**Tape Drive Detail**", "**Pointing Device**"),
              (std::vector<std::string>{"**Tape Drive Detail**", "               Name: ", "              Model: ID",
                                        "        Description: Tape", "       Manufacturer: m",
                                        "           DeviceID: " + tapeId, ""}));
    EXPECT_NE(run.file("docs/QV.log").find(" WS01 Inventory Completed"), std::string::npos);
}

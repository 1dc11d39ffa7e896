// Rows the environment, drive, firmware, processor, memory, enclosure, board and storage
// collectors append, read back with SQL from fixture computers' inventories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using qvtest::runSim;
using qvtest::standardFixture;

namespace {

using qvtest::Rows;

// Every row of `sql` as texts; Null reads "<null>", numbers in SQLite's own decimal form.
Rows query(const std::string& dbPath, const std::string& sql) { return qvtest::queryDb(dbPath, sql, "<null>"); }

std::string databaseOf(const std::string& computer) {
    qvtest::SimResult r = runSim(standardFixture("\"wmi\": {\"WS01\": {" + computer + "}}"), {});
    return r.dir + "/docs/QV.mdb";
}

// A number as SQLite writes a REAL column's text.
std::string real(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", d);
    return buf;
}

}  // namespace

TEST(OsHardwareRows, WorkstationRows) {
    const std::string path400(400, 'p');
    std::string db = databaseOf(R"J("classes": {
      "Win32_ComputerSystem": [{"Domain": "CORP", "PartOfDomain": true, "DomainRole": 1}],
      "Win32_Environment": [
        {"UserName": "<SYSTEM>", "Name": "Path", "VariableValue": ")J" + path400 + R"J("},
        {"UserName": "CORP\\admin", "Name": "TEMP", "VariableValue": " %USERPROFILE%\\Temp "}],
      "Win32_LogicalDisk": [
        {"Name": " C: ", "Description": "Local Fixed Disk", "DriveType": 3, "FileSystem": "NTFS", "FreeSpace": "50000000000", "Size": "80026361856", "MediaType": 12},
        {"Name": "D:", "Description": "CD-ROM Disc", "DriveType": 5, "FileSystem": null, "FreeSpace": null, "Size": null, "MediaType": 11}],
      "Win32_BIOS": [{"Description": "Phoenix ROM BIOS PLUS Version 1.10 A05", "Manufacturer": "Dell Computer Corporation",
        "SMBIOSBIOSVersion": "ASUS P4P800 ACPI BIOS Revision 1019", "SMBIOSMajorVersion": 2, "SMBIOSMinorVersion": 3,
        "ReleaseDate": "20040315000000.000000+000", "CurrentLanguage": "en|US|iso8859-1", "SerialNumber": null}],
      "Win32_Processor": [
        {"DeviceID": "CPU0", "Name": "  AMD Duron(tm) Processor", "Family": 29, "MaxClockSpeed": 1200, "CurrentClockSpeed": 1199,
         "L2CacheSize": 64, "Manufacturer": "AuthenticAMD", "Description": "x86 Family 6 Model 7 Stepping 1", "ProcessorId": "0383FBFF00000671"},
        {"DeviceID": "CPU1", "Name": "Unknown", "Family": 191, "MaxClockSpeed": null, "CurrentClockSpeed": 0,
         "L2CacheSize": null, "Manufacturer": null, "Description": "Empty", "ProcessorId": "0000000000000000"}],
      "Win32_PhysicalMemory": [
        {"Description": "Physical Memory", "BankLabel": "DIMM_A", "Capacity": "1073741824"},
        {"Description": "Physical Memory", "BankLabel": null}],
      "Win32_SystemEnclosure": [{"Description": "System Enclosure", "Manufacturer": "Dell", "SMBIOSAssetTag": "  "}],
      "Win32_BaseBoard": [{"Name": "Base Board", "Product": "0X1234", "Manufacturer": "Dell", "SerialNumber": " 12 ", "Version": "A00"}],
      "Win32_DiskDrive": [
        {"Description": "Disk drive", "InterfaceType": "IDE", "Manufacturer": "(Standard disk drives)", "Model": "WDC WD800JB-00JJC0", "Size": "80026361856", "Partitions": 2},
        {"Description": "Disk drive", "InterfaceType": "USB", "Manufacturer": "(Standard disk drives)", "Model": "Card Reader", "Size": null, "Partitions": null}],
      "Win32_CDROMDrive": [{"Drive": "D:", "Name": "HL-DT-ST CD-RW GCE-8481B", "Description": "CD-ROM Drive", "Manufacturer": "(Standard CD-ROM drives)"}]
    })J");
    EXPECT_EQ(query(db, "SELECT DomainWorkGrp, DeviceName, Owner, VarName, VarValue FROM EnvStrings ORDER BY rowid"),
              (Rows{{"CORP", "WS01", "<SYSTEM>", "Path", std::string(253, 'p') + "**"},
                    {"CORP", "WS01", "CORP\\admin", "TEMP", " %USERPROFILE%\\Temp "}}));
    EXPECT_EQ(query(db, "SELECT Name, Description, DriveType, FileSystem, FreeSpace, MaxSpace, MediaType FROM LogicalDrives ORDER BY rowid"),
              (Rows{{"C:", "Local Fixed Disk", "Type 3: Local Disk", "NTFS", real(static_cast<float>(50000000000.0)),
                     real(static_cast<float>(80026361856.0)), "Type 12: Fixed hard disk media"},
                    {"D:", "CD-ROM Disc", "Type 5: Compact Disc", "", "0.0", "0.0", "Type 11: Removable media other than floppy"}}));
    EXPECT_EQ(query(db, "SELECT Description, Manufacturer, SMBIOSVersion, ReleaseDate, CurrentLanguage, SerialNumber FROM BIOS"),
              (Rows{{"Phoenix ROM BIOS PLUS Version 1.", "Dell Computer Corporation", "ASUS P4P800 ACPI",
                     "20040315000000.000000+000", "en|US|iso8859-1", ""}}));
    EXPECT_EQ(query(db, "SELECT CPUID, CPUName, CPU, MaxClockSpeed, CurrentClockSpeed, L2CacheSize, CPUManufacturer, "
                        "Description, ProcessorId FROM CPU ORDER BY rowid"),
              (Rows{{"CPU0", "AMD Duron(tm) Processor", "AMD\xC2\xAE Duron Processor", "1200", "1199", "64", "AuthenticAMD",
                     "x86 Family 6 Model 7 Stepping 1", "0383FBFF00000671"},
                    {"CPU1", "**NOT INSTALLED**", "Unlisted (191)", "0", "0", "0", "", "Empty", "0000000000000000"}}));
    EXPECT_EQ(query(db, "SELECT Description, BankLabel, Capacity FROM RAM ORDER BY rowid"),
              (Rows{{"Physical Memory", "DIMM_A", "1073741824.0"}, {"Physical Memory", "", "0.0"}}));
    EXPECT_EQ(query(db, "SELECT Description, Manufacturer, SMBIOSAssetTag FROM Chassis"),
              (Rows{{"System Enclosure", "Dell", ""}}));
    EXPECT_EQ(query(db, "SELECT Name, Product, Manufacturer, SerialNumber, Version FROM BaseBoard"),
              (Rows{{"Base Board", "0X1234", "Dell", "12", "A00"}}));
    EXPECT_EQ(query(db, "SELECT Description, InterfaceType, Manufacturer, Model, Size, Partitions FROM HardDisk ORDER BY rowid"),
              (Rows{{"Disk drive", "IDE", "(Standard disk drives)", "WDC WD800JB-00JJC0", "80026361856.0", "2"},
                    {"Disk drive", "USB", "(Standard disk drives)", "Card Reader", "0.0", "0"}}));
    EXPECT_EQ(query(db, "SELECT Drive, Name, Description, Manufacturer FROM CD_DVD"),
              (Rows{{"D:", "HL-DT-ST CD-RW GCE-8481B", "CD-ROM Drive", "(Standard CD-ROM drives)"}}));
    EXPECT_EQ(query(db, "SELECT DeviceName, Name, Model, Description, Manufacturer, DeviceID FROM TapeDrive"),
              (Rows{{"WS01", "", "", "", "", ""}}));
}

TEST(OsHardwareRows, EmptyComputerGetsOneEmptyRowPerTable) {
    std::string db = databaseOf(R"("classes": {}, "failingClasses": {"Win32_BIOS": {"number": -2147217392, "description": "Invalid class "}})");
    EXPECT_EQ(query(db, "SELECT Owner, VarName, VarValue FROM EnvStrings"), (Rows{{"", "", ""}}));
    EXPECT_EQ(query(db, "SELECT Name, DriveType, FreeSpace, MaxSpace, MediaType FROM LogicalDrives"),
              (Rows{{"", "", "0.0", "0.0", ""}}));
    EXPECT_EQ(query(db, "SELECT Description, SMBIOSVersion FROM BIOS"), (Rows{{"", ""}}));
    EXPECT_EQ(query(db, "SELECT CPUName, MaxClockSpeed, L2CacheSize FROM CPU"), (Rows{{"", "0", "0"}}));
    EXPECT_EQ(query(db, "SELECT BankLabel, Capacity FROM RAM"), (Rows{{"", "0.0"}}));
    EXPECT_EQ(query(db, "SELECT Description FROM Chassis"), (Rows{{""}}));
    EXPECT_EQ(query(db, "SELECT Name FROM BaseBoard"), (Rows{{""}}));
    EXPECT_EQ(query(db, "SELECT Model, Size, Partitions FROM HardDisk"), (Rows{{"", "0.0", "0"}}));
    EXPECT_EQ(query(db, "SELECT Drive FROM CD_DVD"), (Rows{{""}}));
    EXPECT_EQ(query(db, "SELECT DeviceID FROM TapeDrive"), (Rows{{""}}));
}

TEST(OsHardwareRows, ValuesOfTheWrongKind) {
    const std::string tapeId(150, 't');
    std::string db = databaseOf(R"J("classes": {
      "Win32_Environment": [
        {"UserName": "<SYSTEM>", "Name": "N1", "VariableValue": 42},
        {"UserName": "u", "Name": "N\u0000UL", "VariableValue": "a\u0000b"},
        {"UserName": "u", "Name": "BAD", "VariableValue": null},
        {"UserName": "u", "Name": "AFTER", "VariableValue": "x"}],
      "Win32_LogicalDisk": [
        {"Name": 12345, "Description": ")J" + std::string(300, 'd') + R"J(", "DriveType": "3", "FileSystem": 7, "FreeSpace": "12", "Size": "abc", "MediaType": 3.5},
        {"Name": "B:", "DriveType": 4, "FileSystem": "NTFS", "FreeSpace": "-1", "Size": "1e400", "MediaType": 12}],
      "Win32_Processor": [
        {"DeviceID": "CPU0123456789", "Name": true, "Family": "15", "MaxClockSpeed": "fast", "CurrentClockSpeed": -1,
         "L2CacheSize": 4294967296, "Manufacturer": 5, "Description": "d", "ProcessorId": 0}],
      "Win32_PhysicalMemory": [{"Description": "m", "BankLabel": "b", "Capacity": "-1073741824"}],
      "Win32_DiskDrive": [
        {"Description": "Disk drive", "InterfaceType": 3, "Model": ["x", "y"], "Size": "18446744073709551615", "Partitions": 3000000000}],
      "Win32_TapeDrive": [
        {"Name": null, "ID": "ID", "Description": "Tape", "Manufacturer": "m", "DeviceID": ")J" + tapeId + R"J("}]
    })J");
    EXPECT_EQ(query(db, "SELECT Owner, VarName, VarValue FROM EnvStrings ORDER BY rowid"),
              (Rows{{"<SYSTEM>", "N1", "42"}, {"u", std::string("N\0UL", 4), std::string("a\0b", 3)}}));
    EXPECT_EQ(query(db, "SELECT Name, Description, DriveType, FileSystem, FreeSpace, MaxSpace, MediaType FROM LogicalDrives ORDER BY rowid"),
              (Rows{{"12345", std::string(64, 'd'), "Type 3: Local Disk", "7", "12.0", "0.0", "Type 3.5: Unknown"},
                    {"B:", "", "Type 4: Network Drive", "NTFS", "-1.0", "0.0", "Type 12: Fixed hard disk media"}}));
    EXPECT_EQ(query(db, "SELECT CPUID, CPUName, CPU, MaxClockSpeed, CurrentClockSpeed, L2CacheSize, CPUManufacturer, ProcessorId FROM CPU"),
              (Rows{{"CPU01234", "True", "Celeron", "0", "-1", "0", "5", "0"}}));
    EXPECT_EQ(query(db, "SELECT Capacity FROM RAM"), (Rows{{"-1073741824.0"}}));
    EXPECT_EQ(query(db, "SELECT InterfaceType, Manufacturer, Model, Size, Partitions FROM HardDisk"),
              (Rows{{"3", "", "x", "1.84467440737096e+19", "0"}}));
    EXPECT_EQ(query(db, "SELECT Name, Model, DeviceID FROM TapeDrive"), (Rows{{"", "ID", std::string(128, 't')}}));
}

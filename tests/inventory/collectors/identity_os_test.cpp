// The computer-system and operating-system collectors on fixture computers: their report lines,
// TargetDomain, the master rows and the OSData row, and their decode tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "inventory/collectors/collectors.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using json = nlohmann::ordered_json;

namespace {

// A computer with the given classes; services as (state) texts.
json computer(const json& system, const json& product, const json& os, const std::vector<std::string>& states) {
    json classes = json::object();
    if (!system.is_null()) classes["Win32_ComputerSystem"] = json::array({system});
    if (!product.is_null()) classes["Win32_ComputerSystemProduct"] = json::array({product});
    if (!os.is_null()) classes["Win32_OperatingSystem"] = json::array({os});
    json services = json::array();
    for (const std::string& s : states) services.push_back({{"Name", "svc"}, {"State", s}});
    classes["Win32_BaseService"] = services;
    return {{"classes", classes}};
}

SimResult runOn(const json& wmi, const std::vector<std::string>& args = {}, const std::string& extra = "") {
    return runSim(standardFixture("\"wmi\": " + wmi.dump() + (extra.empty() ? "" : ", " + extra)), args);
}

// The report from the target line through the last line of the operating-system section.
std::vector<std::string> identitySection(const std::string& report) {
    const std::string from = "    Target Computer: ", to = "**Only Running Services are written to database.**\r\n";
    std::size_t a = report.find(from), b = report.find(to);
    if (a == std::string::npos || b == std::string::npos) return {"<missing section>"};
    return crlfLines(report.substr(a, b + to.size() - a));
}

const json kSystem = {{"Domain", "CORP"},
                      {"PartOfDomain", true},
                      {"DomainRole", 3},
                      {"PrimaryOwnerName", " " + std::string(79, 'O')},
                      {"PrimaryOwnerContact", nullptr},
                      {"UserName", "CORP\\admin"},
                      {"Manufacturer", "Dell Inc."},
                      {"Model", "OptiPlex GX280"},
                      {"TotalPhysicalMemory", "1073741824"},
                      {"SystemType", "X86-based PC"}};
const json kProduct = {{"IdentifyingNumber", "    "}, {"UUID", "44454C4C-3100-1045-8052-B4C04F4B4E31"}};
const json kOS = {{"Name", "  Microsoft Windows XP Professional |C:\\WINDOWS|\\Device\\Harddisk0\\Partition1"},
                  {"Version", "5.1.2600"},
                  {"CSDVersion", "Service Pack 2"},
                  {"SerialNumber", "55274-640-1234567-23456"},
                  {"InstallDate", "20050101120000.000000-300"},
                  {"Organization", "Corp"},
                  {"RegisteredUser", "A registered user name"},
                  {"NumberOfLicensedUsers", nullptr},
                  {"OSProductSuite", 2},
                  {"OSType", 18},
                  {"OSLanguage", 1033},
                  {"CodeSet", "1252"},
                  {"CountryCode", "1"},
                  {"Locale", "0409"},
                  {"LocalDateTime", "20261208093005.000000-300"},
                  {"WindowsDirectory", "C:\\WINDOWS"},
                  {"SystemDirectory", "C:\\WINDOWS\\system32"},
                  {"Manufacturer", "Microsoft Corporation"},
                  {"Description", ""}};

std::vector<std::string> services(int running, int stopped) {
    std::vector<std::string> states(running, "Running");
    states.insert(states.end(), stopped, "Stopped");
    states.push_back("running");  // another letter case is not running
    return states;
}

}  // namespace

TEST(IdentityAndOsCollectors, ReportAndRowsOfAWorkstation) {
    SimResult r = runOn({{"WS01", computer(kSystem, kProduct, kOS, services(65, 54))}});
    const std::string O79(79, 'O');
    EXPECT_EQ(identitySection(r.file("docs/QVWS01.txt")),
              (std::vector<std::string>{
                  "    Target Computer: WS01",
                  "     Part of Domain? True",
                  "             Domain: CORP",
                  "Inventory Date/Time: 12/8/2026 9:30:05 AM",
                  "               Role: 3 (Member Server)",
                  "              Owner:  " + O79,
                  "            Contact: ",
                  "       Current User: CORP\\admin",
                  "",
                  "**Computer System Information**",
                  "       Manufacturer: Dell Inc.",
                  "              Model: OptiPlex GX280",
                  "TotalPhysicalMemory: 1,073,741,824 Bytes",
                  "                     1,024 MB",
                  "         SystemType: X86-based PC",
                  "  IdentifyingNumber:     ",
                  "               UUID: 44454C4C-3100-1045-8052-B4C04F4B4E31",
                  "",
                  "**Operating System Data**",
                  "",
                  "**Operating System**",
                  "               Name: Microsoft Windows XP Professional",
                  "            Version: 5.1.2600",
                  "         CSDVersion: Service Pack 2",
                  "       SerialNumber: 55274-640-1234567-23456",
                  "        InstallDate: 20050101120000.000000-300",
                  "       Organization: Corp",
                  "     RegisteredUser: A registered user name",
                  "   NumberOfLicUsers: ",
                  "     OSProductSuite: 2=Enterprise Server",
                  "             OSType: 18=WINNT (Incl W2k & XP)",
                  "         OSLanguage: 1033",
                  "            CodeSet: 1252",
                  "        CountryCode: 1",
                  "             Locale: 0409",
                  "      LocalDateTime: 20261208093005.000000-300",
                  "   WindowsDirectory: C:\\WINDOWS",
                  "    SystemDirectory: C:\\WINDOWS\\system32",
                  "       Manufacturer: Microsoft Corporation",
                  "        Description: ",
                  "",
                  "**System Services**",
                  "      120 Service(s) Found",
                  "      65 Running Service(s)",
                  "**Only Running Services are written to database.**",
              }));
    EXPECT_NE(r.err.find("InvTarget connecting to WS01\n DeviceID\n OSData\n"), std::string::npos) << r.err;
    const std::string db = r.dir + "/docs/QV.mdb";
    EXPECT_EQ(queryDb(db, "SELECT * FROM DeviceID"),
              (Rows{{"2026-12-08 09:30:05", "CORP", "WS01", "3 (Member Server)", std::string(64, 'O'), "", "CORP\\admin",
                     "Dell Inc.", "OptiPlex GX280", "", "44454C4C-3100-1045-8052-B4C04F4B4E31", "1073741824.0",
                     "X86-based PC"}}));
    const Rows key = {{"2026-12-08 09:30:05", "CORP", "WS01"}};
    EXPECT_EQ(queryDb(db, "SELECT * FROM SoftwareKey"), key);
    EXPECT_EQ(queryDb(db, "SELECT * FROM HardwareKey"), key);
    EXPECT_EQ(queryDb(db, "SELECT * FROM OSData"),
              (Rows{{"2026-12-08 09:30:05", "CORP", "WS01", "Microsoft Windows XP Professional", "5.1.2600",
                     "Service Pack 2", "55274-640-1234567-23456", "20050101120000.000000-300", "Corp",
                     "A registered use", "NULL", "2=Enterprise Server", "18=WINNT (Incl W2k & XP)", "1033", "1252", "1",
                     "0409", "20261208093005.000000-300", "C:\\WINDOWS", "C:\\WINDOWS\\system32", "Microsoft Corporation",
                     "", "120", "65"}}));
    std::filesystem::remove_all(r.dir);
}

TEST(IdentityAndOsCollectors, UnreadableAndOddValues) {
    // PartOfDomain cannot be read on an older WMI; odd codes; a class that fails; no product class.
    json system = {{"Domain", nullptr}, {"DomainRole", 7}, {"TotalPhysicalMemory", "536870912"}};
    json os = {{"Name", std::string(70, 'N')}, {"OSProductSuite", 272}, {"OSType", 58}, {"OSLanguage", nullptr}};
    json ws01 = computer(system, nullptr, os, {});
    ws01["failingClasses"] = {{"Win32_BaseService", {{"number", -2147217392}, {"description", "Invalid class "}}}};
    SimResult r = runOn({{"WS01", ws01}});
    EXPECT_EQ(identitySection(r.file("docs/QVWS01.txt")),
              (std::vector<std::string>{
                  "    Target Computer: WS01",
                  "             Domain: ",
                  "Inventory Date/Time: 12/8/2026 9:30:05 AM",
                  "               Role: 7 (Role Unknown)",
                  "**Computer System Information**",
                  "TotalPhysicalMemory: 536,870,912 Bytes",
                  "                     512 MB",
                  "",
                  "**Operating System Data**",
                  "",
                  "**Operating System**",
                  "               Name: " + std::string(64, 'N'),
                  "     OSProductSuite: 272 Unknown",
                  "             OSType: 58=Other",
                  "         OSLanguage: ",
                  "",
                  "**System Services**",
                  "      0 Service(s) Found",
                  "      0 Running Service(s)",
                  "**Only Running Services are written to database.**",
              }));
    const std::string db = r.dir + "/docs/QV.mdb";
    EXPECT_EQ(queryDb(db, "SELECT DomainWorkGrp, Role, Owner, IdentifyingNumber, \"TotalRAM(Bytes)\" FROM DeviceID"),
              (Rows{{"", "7 (Role Unknown)", "", "", "536870912.0"}}));
    EXPECT_EQ(queryDb(db, "SELECT OSName, OSProductSuite, OSType, OSLanguage, CodeSet, SysSvcsCount, SysSvcsRunCount FROM OSData"),
              (Rows{{std::string(64, 'N'), "272 Unknown", "58=Other", "0", "NULL", "0", "0"}}));
    std::filesystem::remove_all(r.dir);
}

TEST(IdentityAndOsCollectors, EachComputerHasItsOwnDomainAndTheRunsTime) {
    json second = kSystem;
    second.erase("Domain");  // cannot be read: nothing carried over from WS01
    json tooLong = kSystem;
    tooLong["Domain"] = "LAB";
    const std::string name17 = "ABCDEFGHIJKLMNOPQ";
    SimResult r = runOn({{"WS01", computer(kSystem, kProduct, kOS, {})},
                         {"WS02", computer(second, kProduct, kOS, {})},
                         {name17, computer(tooLong, kProduct, kOS, {})}},
                        {"WS01", "WS02", name17});
    const std::string db = r.dir + "/docs/QV.mdb";
    EXPECT_EQ(queryDb(db, "SELECT InvDateTime, DomainWorkGrp, DeviceName FROM DeviceID ORDER BY DeviceName"),
              (Rows{{"2026-12-08 09:30:05", "CORP", "WS01"}, {"2026-12-08 09:30:05", "", "WS02"}}));
    EXPECT_EQ(queryDb(db, "SELECT DomainWorkGrp, DeviceName FROM OSData ORDER BY DeviceName"),
              (Rows{{"CORP", "WS01"}, {"", "WS02"}}));
    // The 17-character name's rows are all refused, yet its report is complete and the run ends normally.
    EXPECT_NE(r.file("docs/QV" + name17 + ".txt").find("**Only Running Services are written to database.**"),
              std::string::npos);
    EXPECT_NE(r.file("docs/QV.log").find(" " + name17 + " Inventory Completed"), std::string::npos);
    EXPECT_NE(r.out.find("Program Complete Normal End"), std::string::npos);
    std::filesystem::remove_all(r.dir);
}

TEST(IdentityAndOsCollectors, WithoutTheDatabaseTheReportIsStillWritten) {
    std::string fixture = standardFixture("\"wmi\": " + json({{"WS01", computer(kSystem, kProduct, kOS, {})}}).dump());
    json f = json::parse(fixture);
    f["registry"].erase("HKCR\\Microsoft.Jet.OLEDB.4.0");
    SimResult r = runSim(f.dump(), {});
    EXPECT_EQ(identitySection(r.file("docs/QVWS01.txt")).size(), 45u);
    EXPECT_FALSE(r.exists("docs/QV.mdb"));
    std::filesystem::remove_all(r.dir);
}

TEST(IdentityAndOsCollectors, DecodeTables) {
    using namespace qv::inventory;
    using qv::Value;
    const char* roles[] = {" (Standalone Workstation)", " (Member Workstation)", " (Standalone Server)",
                           " (Member Server)", " (Backup Domain Controller)", " (Primary Domain Controller)"};
    for (int code = 0; code < 6; ++code)
        EXPECT_EQ(decodeDomainRole(Value::of(code)), std::to_string(code) + roles[code]);
    EXPECT_EQ(decodeDomainRole(Value::of("4")), "4 (Backup Domain Controller)");
    EXPECT_EQ(decodeDomainRole(Value::of(6)), "6 (Role Unknown)");
    EXPECT_EQ(decodeDomainRole(Value::null()), "(Role Unknown)");

    const std::pair<int, const char*> suites[] = {{1, "1=Small Business Server"}, {2, "2=Enterprise Server"},
                                                  {4, "4=Back Office Server"},    {8, "8=Communications Server"},
                                                  {16, "16=Terminal Server"},     {32, "32=Small Business Server (restricted)"},
                                                  {64, "64=Embedded NT"},         {128, "128=Data Center"},
                                                  {272, "272 Unknown"},           {0, "0 Unknown"}};
    for (const auto& [code, text] : suites) EXPECT_EQ(decodeProductSuite(Value::of(code)), text);
    EXPECT_EQ(decodeProductSuite(Value::null()), "Unknown");

    const std::pair<int, const char*> types[] = {{14, "14=MSDOS"}, {15, "15=WIN3x"}, {16, "16=WIN95"}, {17, "17=WIN98"},
                                                 {18, "18=WINNT (Incl W2k & XP)"}, {19, "19=WINCE"}, {58, "58=Other"}};
    for (const auto& [code, text] : types) EXPECT_EQ(decodeOSType(Value::of(code)), text);

    EXPECT_EQ(shortOSName(Value::of(" A | B | C ")), "A");
    EXPECT_EQ(shortOSName(Value::of("|x")), "");
    EXPECT_EQ(shortOSName(Value::of("  Plain name  ")), "Plain name");
}

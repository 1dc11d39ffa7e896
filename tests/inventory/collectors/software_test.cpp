// The software section through qv-sim runs: exact report text, run-log lines and rows.
#include <gtest/gtest.h>


#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using qvtest::runSim;
using qvtest::SimResult;
using qvtest::standardFixture;

namespace {

// The report from the software heading (the last section) to its end.
std::string softwareSection(const SimResult& r, const std::string& target) {
    std::string report = r.file("docs/QV" + target + ".txt");
    std::size_t at = report.find("**Software Information**");
    return at == std::string::npos ? std::string() : report.substr(at);
}

// The log lines written while the target was inventoried.
std::vector<std::string> targetLogLines(const SimResult& r, const std::string& target) {
    std::vector<std::string> all = qvtest::crlfLines(r.file("docs/QV.log")), inside;
    bool in = false;
    for (const std::string& line : all) {
        if (line == " " + target + " Inventory Completed") break;
        if (in) inside.push_back(line);
        if (line == "Connected to " + target) in = true;
    }
    return inside;
}

const std::string kLongCaption(70, 'L');

const std::string kDrivers = R"("Win32_BaseService": [
  {"Caption": "Beep", "Pathname": "C:\\WINDOWS\\system32\\drivers\\beep.sys", "ServiceType": "Kernel Driver", "State": "Running"},
  {"Caption": "Stopped", "Pathname": "C:\\WINDOWS\\stopped.sys", "ServiceType": "Kernel Driver", "State": "Stopped"},
  {"Caption": "NoPath", "Pathname": "", "ServiceType": "Kernel Driver", "State": "Running"},
  {"Caption": "NullPath", "Pathname": null, "ServiceType": "Kernel Driver", "State": "Running"},
  {"Caption": "NoState", "Pathname": "C:\\WINDOWS\\nostate.sys", "ServiceType": "Kernel Driver"},
  {"Caption": "Spooler", "Pathname": "C:\\WINDOWS\\system32\\spoolsv.exe", "ServiceType": "Own Process", "State": "Running"},
  {"Caption": "CaseState", "Pathname": "C:\\WINDOWS\\case.sys", "ServiceType": "Kernel Driver", "State": "running"},
  {"Caption": ")" + kLongCaption + R"(", "Pathname": "\\SystemRoot\\System32\\Drivers\\Fastfat.SYS", "ServiceType": "File System Driver", "State": "Running"},
  {"Caption": "Fs_Rec", "Pathname": "C:\\WINDOWS\\system32\\drivers\\fs_rec.sys", "ServiceType": "Recognizer Driver", "State": "Running"}
])";

const std::string kUninstall = "HKLM\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";

std::string sz(const std::string& text) { return R"({"type": 1, "data": ")" + text + R"("})"; }

// Uninstall entries and class registrations covering the recognised and the ignored forms.
std::string softwareRegistry() {
    const std::string u = kUninstall;
    return "\"" + u + "Tool\": {\"DisplayName\": " + sz("Tool") + ", \"DisplayVersion\": " + sz("1.0") +
           ", \"InstallDate\": " + sz("20200102") + "},\n"
           "\"" + u + "KB123\": {\"ParentKeyName\": " + sz("Windows") + "},\n"
           "\"" + u + "Upper\": {\"DISPLAYNAME\": " + sz("Shouty") + "},\n"
           "\"" + u + "d\": {\"Publisher\": " + sz("Delta Corp") + ", \"DisplayName\": " + sz("delta") +
           ", \"ProductID\": " + sz("55555-OEM") + "},\n"
           "\"" + u + "A\": {\"DisplayName\": " + sz("Alpha") + "},\n"
           "\"" + u + "o\": {\"DisplayName\": " + sz("omega") + "},\n"
           "\"" + u + "Tool2\": {\"DisplayName\": " + sz("Tool") + ", \"DisplayVersion\": " + sz("2.0") + "},\n"
           "\"" + u + "Bin\": {\"DisplayName\": {\"type\": 3, \"data\": \"00FF00FF\"}},\n"
           "\"" + u + "Nul\": {\"DisplayName\": " + sz("Zed\\u0000hidden") + "},\n"
           "\"" + u + "Dword\": {\"DisplayName\": " + sz("Word") + ", \"DisplayVersion\": {\"type\": 4, \"data\": 7}},\n"
           R"("HKCR\\App.Application\\CLSID": {"": {"type": 1, "data": "{A1}"}},
"HKCR\\CLSID\\{A1}\\ProgID": {"": {"type": 1, "data": "App.Application.1"}},
"HKCR\\CLSID\\{A1}\\LocalServer32": {"": {"type": 1, "data": "\"C:\\Program Files\\App\\app.exe\" /automation"}},
"HKCR\\App2.Application\\CLSID": {"": {"type": 1, "data": "{A1}"}},
"HKCR\\Dll.Application\\CLSID": {"": {"type": 1, "data": "{D1}"}},
"HKCR\\CLSID\\{D1}\\ProgID": {"": {"type": 1, "data": "Dll.Application"}},
"HKCR\\CLSID\\{D1}\\LocalServer32": {"": {"type": 1, "data": "C:\\WINDOWS\\system32\\dllhost.dll {D1}"}},
"HKCR\\NoProg.Application\\CLSID": {"": {"type": 1, "data": "{N1}"}},
"HKCR\\CLSID\\{N1}\\LocalServer32": {"": {"type": 1, "data": "C:\\NOPROG.EXE"}},
"HKCR\\Gone.Application\\CLSID": {"": {"type": 1, "data": "{G1}"}},
"HKCR\\CLSID\\{G1}\\ProgID": {"": {"type": 1, "data": "Gone.Application"}},
"HKCR\\CLSID\\{G1}\\LocalServer32": {"": {"type": 1, "data": "  c:\\gone\\gone.EXE -Embedding "}},
"HKCR\\Env.Application\\CLSID": {"": {"type": 1, "data": "{E1}"}},
"HKCR\\CLSID\\{E1}\\ProgID": {"": {"type": 1, "data": "Env.Application"}},
"HKCR\\CLSID\\{E1}\\LocalServer32": {"": {"type": 1, "data": "%SystemRoot%\\system32\\env.exe"}},
"HKCR\\Word.Basic\\CLSID": {"": {"type": 1, "data": "{W1}"}},
"HKCR\\CLSID\\{W1}\\ProgID": {"": {"type": 1, "data": "Word.Basic"}},
"HKCR\\CLSID\\{W1}\\LocalServer32": {"": {"type": 1, "data": "C:\\WORD.EXE"}},
"HKCR\\lower.application\\CLSID": {"": {"type": 1, "data": "{W1}"}})";
}

const std::string kProgramFiles = R"(
  "C:\\PROGRAM FILES\\APP\\APP.EXE": {"version": "1.2.3.4", "created": "2020-01-02T03:04:05", "appearsAfterChecks": 2},
  "C:\\WINDOWS\\system32\\drivers\\beep.sys": {"version": " 5.1.2600.0 ", "created": "2004-08-04T06:00:00"},
  "C:\\WORD.EXE": {"version": "9.0"})";

const std::string kDriverSection =
    "**Software Information**\r\n"
    "**Base System Drivers**\r\n"
    "**Note: Only Running files are reported**\r\n"
    "      **Kernel Drivers**\r\n"
    "           Beep\r\n"
    "           PathName: C:\\WINDOWS\\system32\\drivers\\beep.sys\r\n"
    "           Ver Date: 5.1.2600.0    8/4/2004 6:00:00 AM\r\n"
    "\r\n"
    "      **File System Drivers**\r\n"
    "           " + kLongCaption + "\r\n"
    "           PathName: \\SystemRoot\\System32\\Drivers\\Fastfat.SYS\r\n"
    "           Ver Date:     \r\n"
    "\r\n"
    "      **Adapter Drivers**\r\n"
    "      **Recognition Drivers**\r\n"
    "           Fs_Rec\r\n"
    "           PathName: C:\\WINDOWS\\system32\\drivers\\fs_rec.sys\r\n"
    "           Ver Date:     \r\n"
    "\r\n";

std::string package(const std::string& name, const std::string& version, const std::string& serial,
                    const std::string& publisher, const std::string& date) {
    return "               Name: " + name + "\r\n            Version: " + version + "\r\n            Serial#: " + serial +
           "\r\n          Publisher: " + publisher + "\r\n       Install Date: " + date + "\r\n\r\n";
}

const std::string kPackageSection = "\r\n**Registered Software Packages**\r\n" +
                                    package("Alpha", "", "", "", "") +
                                    package("delta", "", "55555-OEM", "Delta Corp", "") +
                                    package("omega", "", "", "", "") + package("Tool", "1.0", "", "", "20200102") +
                                    package("Tool", "2.0", "", "", "") + package("Word", "", "", "", "") +
                                    package("Zed", "", "", "", "");

std::string application(const std::string& progId, int ms, const std::string& path, const std::string& version,
                        const std::string& created) {
    return "          " + progId + " Access Time mSec: " + std::to_string(ms) + "\r\n              Path: " + path +
           "\r\n           Version: " + version + "\r\n           Created: " + created + "\r\n\r\n";
}

}  // namespace

TEST(SoftwareCollector, RemoteTargetReadsThroughTemporaryShares) {
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {
        "classes": {)" + kDrivers + R"(},
        "registry": {)" + softwareRegistry() + R"(},
        "files": {)" + kProgramFiles + R"(}}})"),
                         {"SRV01"});
    const std::string expected =
        kDriverSection + kPackageSection + "**Registered Applications**\r\n" +
        application("App.Application.1", 20, "C:\\PROGRAM FILES\\APP\\APP.EXE", "1.2.3.4", "1/2/2020 3:04:05 AM") +
        application("Env.Application", 0, "%SYSTEMROOT%\\SYSTEM32\\ENV.EXE", "", "") +
        application("Gone.Application", 60, "C:\\GONE\\GONE.EXE", "", "");
    EXPECT_EQ(softwareSection(r, "SRV01"), expected);
    EXPECT_EQ(targetLogLines(r, "SRV01"),
              (std::vector<std::string>{"  Error: Unable to create share for file: %SYSTEMROOT%\\SYSTEM32\\ENV.EXE",
                                        "         File skipped for data collection",
                                        " Error: Unable to get Application File: C:\\GONE\\GONE.EXE"}));
    // The trace words of the software phase, in order, after the driver's own " SWData".
    std::size_t sw = r.err.find(" SWData\n  Drivers\n  Registered Packages\n  Registered Applications\n");
    EXPECT_NE(sw, std::string::npos) << r.err;
}

TEST(SoftwareCollector, LocalTargetReadsFilesAtTheirOwnPaths) {
    // The same computer as the local one: its files are the local files; no share is involved,
    // so a refused share creation would not matter.
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {"shareCreateResult": 2,
        "classes": {)" + kDrivers + R"(},
        "registry": {)" + softwareRegistry() + R"(}}},
        "files": {"C:\\WINDOWS\\system32\\Netsh.exe": {}, )" + kProgramFiles + "}"),
                         {});
    const std::string expected =
        kDriverSection + kPackageSection + "**Registered Applications**\r\n" +
        application("App.Application.1", 20, "C:\\PROGRAM FILES\\APP\\APP.EXE", "1.2.3.4", "1/2/2020 3:04:05 AM") +
        application("Env.Application", 60, "%SYSTEMROOT%\\SYSTEM32\\ENV.EXE", "", "") +
        application("Gone.Application", 60, "C:\\GONE\\GONE.EXE", "", "");
    EXPECT_EQ(softwareSection(r, "WS01"), expected);
    EXPECT_EQ(targetLogLines(r, "WS01"),
              (std::vector<std::string>{" Error: Unable to get Application File: %SYSTEMROOT%\\SYSTEM32\\ENV.EXE",
                                        " Error: Unable to get Application File: C:\\GONE\\GONE.EXE"}));
}

TEST(SoftwareCollector, TargetWithNothingToList) {
    // No services, no registry: the driver section says so, the other two keep their headings alone.
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV02": {}})"), {"SRV02"});
    EXPECT_EQ(softwareSection(r, "SRV02"),
              "**Software Information**\r\n"
              "**Base System Drivers**\r\n"
              "**Note: Only Running files are reported**\r\n"
              "       Not Reported\r\n"
              "\r\n"
              "**Registered Software Packages**\r\n"
              "**Registered Applications**\r\n");
    EXPECT_TRUE(targetLogLines(r, "SRV02").empty());

    // Services that are all filtered out give the four group headings and no "Not Reported".
    SimResult s = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV03": {"classes": {"Win32_BaseService": [
        {"Caption": "Spooler", "Pathname": "C:\\spoolsv.exe", "ServiceType": "Own Process", "State": "Running"}]}}})"),
                         {"SRV03"});
    EXPECT_EQ(softwareSection(s, "SRV03"),
              "**Software Information**\r\n"
              "**Base System Drivers**\r\n"
              "**Note: Only Running files are reported**\r\n"
              "      **Kernel Drivers**\r\n"
              "      **File System Drivers**\r\n"
              "      **Adapter Drivers**\r\n"
              "      **Recognition Drivers**\r\n"
              "\r\n"
              "**Registered Software Packages**\r\n"
              "**Registered Applications**\r\n");
}

TEST(SoftwareCollector, RefusedShareSkipsEveryRemoteFile) {
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {"shareCreateResult": 2,
        "classes": {"Win32_BaseService": [
          {"Caption": "Beep", "Pathname": "C:\\WINDOWS\\system32\\drivers\\beep.sys", "ServiceType": "Kernel Driver", "State": "Running"}]},
        "registry": {)" + softwareRegistry() + R"(},
        "files": {)" + kProgramFiles + R"(}}})"),
                         {"SRV01"});
    std::string section = softwareSection(r, "SRV01");
    // The driver is listed without file data and without any log line of its own.
    EXPECT_NE(section.find("           Beep\r\n           PathName: C:\\WINDOWS\\system32\\drivers\\beep.sys\r\n"
                           "           Ver Date:     \r\n\r\n"),
              std::string::npos)
        << section;
    std::size_t apps = section.find("**Registered Applications**\r\n");
    ASSERT_NE(apps, std::string::npos);
    EXPECT_EQ(section.substr(apps),
              "**Registered Applications**\r\n" +
                  application("App.Application.1", 0, "C:\\PROGRAM FILES\\APP\\APP.EXE", "", "") +
                  application("Env.Application", 0, "%SYSTEMROOT%\\SYSTEM32\\ENV.EXE", "", "") +
                  application("Gone.Application", 0, "C:\\GONE\\GONE.EXE", "", ""));
    const char* skipped = "         File skipped for data collection";
    EXPECT_EQ(targetLogLines(r, "SRV01"),
              (std::vector<std::string>{"  Error: Unable to create share for file: C:\\PROGRAM FILES\\APP\\APP.EXE", skipped,
                                        "  Error: Unable to create share for file: %SYSTEMROOT%\\SYSTEM32\\ENV.EXE", skipped,
                                        "  Error: Unable to create share for file: C:\\GONE\\GONE.EXE", skipped}));
}

TEST(SoftwareCollector, OddRegistryContentIsListedByTheSameRules) {
    const std::string u = kUninstall;
    std::string registry;
    // Thousands of update entries without a display name give nothing.
    for (int i = 0; i < 3000; ++i)
        registry += "\"" + u + "KB" + std::to_string(i) + "\": {\"ParentKeyName\": " + sz("Windows") + "},\n";
    const std::string huge(100000, 'H');
    registry += "\"" + u + "Huge\": {\"DisplayName\": " + sz(huge) + "},\n";
    registry += R"("HKCR\\Quotes.Application\\CLSID": {"": {"type": 1, "data": "{Q}"}},
"HKCR\\CLSID\\{Q}\\ProgID": {"": {"type": 1, "data": "Quotes.Application"}},
"HKCR\\CLSID\\{Q}\\LocalServer32": {"": {"type": 1, "data": "\"\"\""}},
"HKCR\\Bare.Application\\CLSID": {"": {"type": 1, "data": "{B}"}},
"HKCR\\CLSID\\{B}\\ProgID": {"": {"type": 1, "data": "Bare.Application"}},
"HKCR\\CLSID\\{B}\\LocalServer32": {"": {"type": 1, "data": " \".exe\" "}},
"HKCR\\Half.Application\\CLSID": {"": {"type": 1, "data": "{H}"}},
"HKCR\\CLSID\\{H}\\ProgID": {"": {"type": 1, "data": "Half.Application"}},
"HKCR\\CLSID\\{H}\\LocalServer32": {"": {"type": 1, "data": "\"c:\\half.exe.exe -x"}},
"HKCR\\Blob.Application\\CLSID": {"": {"type": 1, "data": "{X}"}},
"HKCR\\CLSID\\{X}\\ProgID": {"": {"type": 3, "data": "DEADBEEF"}},
"HKCR\\CLSID\\{X}\\LocalServer32": {"": {"type": 1, "data": "C:\\BLOB.EXE"}},
"HKCR\\NoId.Application\\CLSID": {"": {"type": 1, "data": ""}},
"HKCR\\CLSID\\ProgID": {"": {"type": 1, "data": "Stray"}})";
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {"registry": {)" + registry + R"(},
        "files": {"C:\\HALF.EXE": {"version": "4.0"}, "C:\\BLOB.EXE": {}}}})"),
                         {"SRV01"});
    std::string section = softwareSection(r, "SRV01");
    std::size_t packages = section.find("**Registered Software Packages**\r\n");
    ASSERT_NE(packages, std::string::npos);
    EXPECT_EQ(section.substr(packages),
              "**Registered Software Packages**\r\n" + package(huge, "", "", "", "") + "**Registered Applications**\r\n" +
                  application("Bare.Application", 0, ".EXE", "", "") +
                  application("Half.Application", 0, "C:\\HALF.EXE", "4.0", "") +
                  application("", 0, "C:\\BLOB.EXE", "", ""));
    EXPECT_EQ(targetLogLines(r, "SRV01"),
              (std::vector<std::string>{"  Error: Unable to create share for file: .EXE",
                                        "         File skipped for data collection"}));
}

namespace {

// The rows a query gives on the run's database, each as its columns joined by "|" (null: "<null>").
std::vector<std::string> rows(const SimResult& r, const std::string& sql) {
    return qvtest::queryJoined(r.dir + "/docs/QV.mdb", sql, "<null>");
}

const char* const kDriverRows = "SELECT Name, Path, Type, Version, DateCreated FROM Drivers WHERE DeviceName = 'SRV01'";
const char* const kPackageRows =
    "SELECT Name, Version, \"Serial#\", Publisher, InstallDate FROM RegSoftwarePackages WHERE DeviceName = 'SRV01'";
const char* const kApplicationRows = "SELECT Name, Path, Version, DateCreated FROM RegSoftwareAppl WHERE DeviceName = 'SRV01'";

}  // namespace

TEST(SoftwareCollector, RowsOfARemoteTarget) {
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {
        "classes": {)" + kDrivers + R"(},
        "registry": {)" + softwareRegistry() + R"(},
        "files": {)" + kProgramFiles + R"(}}})"),
                         {"SRV01"});
    EXPECT_EQ(rows(r, kDriverRows),
              (std::vector<std::string>{
                  "Beep|C:\\WINDOWS\\system32\\drivers\\beep.sys|Kernel Driver|5.1.2600.0|2004-08-04 06:00:00",
                  std::string(64, 'L') + "|\\SystemRoot\\System32\\Drivers\\Fastfat.SYS|File System Driver||<null>",
                  "Fs_Rec|C:\\WINDOWS\\system32\\drivers\\fs_rec.sys|Recognizer Driver||<null>"}));
    EXPECT_EQ(rows(r, kPackageRows), (std::vector<std::string>{"Alpha||||", "delta||55555-OEM|Delta Corp|", "omega||||",
                                                               "Tool|1.0|||20200102", "Tool|2.0|||", "Word||||", "Zed||||"}));
    EXPECT_EQ(rows(r, kApplicationRows),
              (std::vector<std::string>{"App.Application.1|C:\\PROGRAM FILES\\APP\\APP.EXE|1.2.3.4|2020-01-02 03:04:05",
                                        "Env.Application|%SYSTEMROOT%\\SYSTEM32\\ENV.EXE||<null>",
                                        "Gone.Application|C:\\GONE\\GONE.EXE||<null>"}));
}

TEST(SoftwareCollector, RowsOfAnEmptyTargetAndRefusedRows) {
    // Nothing found: one empty driver row with the zero date, no package or application row.
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {}})"), {"SRV01"});
    EXPECT_EQ(rows(r, kDriverRows), (std::vector<std::string>{"||||1899-12-30 00:00:00"}));
    EXPECT_TRUE(rows(r, kPackageRows).empty());
    EXPECT_TRUE(rows(r, kApplicationRows).empty());

    // Texts too long for their columns are cut to the column's width in the rows; the report keeps
    // them whole.
    const std::string u = kUninstall;
    const std::string longName(200, 'N'), longProgId(65, 'P');
    SimResult s = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {"registry": {
        ")" + u + R"(Long": {"DisplayName": )" + sz(longName) + R"(},
        ")" + u + R"(Date": {"DisplayName": )" + sz("Dated") + R"(, "InstallDate": )" + sz("2020-01-02") + R"(},
        ")" + u + R"(Next": {"DisplayName": )" + sz("Next") + R"(},
        "HKCR\\Long.Application\\CLSID": {"": {"type": 1, "data": "{L}"}},
        "HKCR\\CLSID\\{L}\\ProgID": {"": {"type": 1, "data": ")" + longProgId + R"("}},
        "HKCR\\CLSID\\{L}\\LocalServer32": {"": {"type": 1, "data": "C:\\LONG.EXE"}},
        "HKCR\\Short.Application\\CLSID": {"": {"type": 1, "data": "{S}"}},
        "HKCR\\CLSID\\{S}\\ProgID": {"": {"type": 1, "data": "Short"}},
        "HKCR\\CLSID\\{S}\\LocalServer32": {"": {"type": 1, "data": "C:\\SHORT.EXE"}}}}})"),
                         {"SRV01"});
    EXPECT_EQ(rows(s, kPackageRows),
              (std::vector<std::string>{"Dated||||2020-01-", "Next||||", std::string(128, 'N') + "||||"}));
    EXPECT_EQ(rows(s, kApplicationRows),
              (std::vector<std::string>{std::string(64, 'P') + "|C:\\LONG.EXE||<null>", "Short|C:\\SHORT.EXE||<null>"}));
    std::string section = softwareSection(s, "SRV01");
    EXPECT_NE(section.find("               Name: " + longName + "\r\n"), std::string::npos);
    EXPECT_NE(section.find("       Install Date: 2020-01-02\r\n"), std::string::npos);
    EXPECT_NE(section.find("          " + longProgId + " Access Time mSec: 60\r\n"), std::string::npos);
}

TEST(SoftwareCollector, BothRegistryViewsAndEveryLoadedUserHive) {
    // A 64-bit computer: 32-bit programs under Wow6432Node, users' own installs under HKEY_USERS.
    const std::string m = "Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\", u = "Software\\\\" + m;
    SimResult r = runSim(standardFixture(R"("wmi": {"WS01": {}, "SRV01": {"registry": {
        "HKLM\\)" + u + R"(Native": {"DisplayName": )" + sz("native") + R"(},
        "HKLM\\Software\\Wow6432Node\\)" + m + R"(Old": {"DisplayName": )" + sz("Beta32") + R"(, "DisplayVersion": )" + sz("3.2") + R"(},
        "HKU\\S-1-5-21-7\\)" + u + R"(Mine": {"DisplayName": )" + sz("Mine") + R"(},
        "HKU\\S-1-5-21-7_Classes\\)" + u + R"(Cls": {"DisplayName": )" + sz("classes hive") + R"(},
        "HKU\\.DEFAULT\\)" + u + R"(Def": {"DisplayName": )" + sz("default hive") + R"(},
        "HKU\\S-1-5-18\\)" + u + R"(Sys": {"DisplayName": )" + sz("System") + R"(},
        "HKCR\\App.Application\\CLSID": {"": {"type": 1, "data": "{A}"}},
        "HKCR\\Wow6432Node\\CLSID\\{A}\\ProgID": {"": {"type": 1, "data": "App32.Application"}},
        "HKCR\\Wow6432Node\\CLSID\\{A}\\LocalServer32": {"": {"type": 1, "data": "C:\\APP32.EXE"}},
        "HKCR\\CLSID\\{A}\\ProgID": {"": {"type": 1, "data": "App64.Application"}},
        "HKCR\\CLSID\\{A}\\LocalServer32": {"": {"type": 1, "data": "C:\\APP64.EXE"}}}}})"),
                         {"SRV01"});
    EXPECT_EQ(rows(r, kPackageRows),
              (std::vector<std::string>{"Beta32|3.2|||", "Mine||||", "native||||", "System||||"}));
    EXPECT_EQ(rows(r, kApplicationRows), (std::vector<std::string>{"App32.Application|C:\\APP32.EXE||<null>",
                                                                   "App64.Application|C:\\APP64.EXE||<null>"}));
}

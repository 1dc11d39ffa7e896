// Whole runs through qv-sim: banner, end paths, requirement messages, list building, break events,
// connection failures and the report header, compared byte for byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "tests/support/sim_run.h"

using qvtest::crlfLines;
using qvtest::runSim;
using qvtest::standardFixture;

namespace {

const std::string kStart = "12/8/2026 9:30:05 AM";

std::string banner(const std::string& args) {
    return "Cmd Line:     QV.exe " + args + "\r\n              Version 3.00.0037\r\nStarted:      " + kStart + "\r\n\r\n";
}

const std::string kUsage =
    "QUORVEX: QV.EXE\r\n"
    "Description: Inventories computer system(s). By default, reports on the\r\n"
    "             local computer. No required options. Only one Named Option\r\n"
    "             (/) is accepted. Options are not case sensitive. Output is\r\n"
    "             written to files in the User \"My Documents\" directory. \r\n"
    "\r\n"
    "SYNTAX: QV.exe [/B] [/F:Filename] [/?] [TargetComputerName]\r\n"
    "\r\n"
    "Option              Meaning\r\n"
    "------              -------\r\n"
    "/B                  Inventory all computers found in the current domain.\r\n"
    "\r\n"
    "/F:Path\\FileName    Inventory computers whose names are found in Path\\FileName.\r\n"
    "                    FileName must include the filename extension.\r\n"
    "                    FileName must be a plain text file of computer names, one\r\n"
    "                    computer name per line.\r\n"
    "\r\n"
    "/? or ?             Displays usage (this screen).\r\n"
    "\r\n"
    "TargetComputerName  Inventory TargetComputerName.\r\n"
    "                    Program will accept any number of TargetComputerName\r\n"
    "                    arguments.\r\n"
    "\r\n";

std::string docs(const qvtest::SimResult& r) { return r.dir + "/docs"; }

// The standard fixture with one local registry key removed.
std::string withoutKey(const std::string& key) {
    auto j = nlohmann::ordered_json::parse(standardFixture());
    j["registry"].erase(key);
    return j.dump();
}

// The standard fixture with one identity member replaced.
std::string withIdentity(const std::string& member, const nlohmann::ordered_json& value) {
    auto j = nlohmann::ordered_json::parse(standardFixture());
    j["identity"][member] = value;
    return j.dump();
}

}  // namespace

TEST(RunDriver, UsageEndsNormallyWithoutTouchingTheLog) {
    for (const char* arg : {"?", "/?"}) {
        auto r = runSim(standardFixture(), {arg});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, banner(arg) + kUsage + "Program Complete Normal End\r\nPress any key to Exit . . . ");
        EXPECT_FALSE(r.exists("docs/QV.log"));
    }
}

TEST(RunDriver, RefusedCommandLineShowsErrorUsageAndExitPrompt) {
    auto r = runSim(standardFixture(), {"/B", "SERVER1"});
    EXPECT_EQ(r.out, banner("/B SERVER1") + "*** Too Many Options ***\r\n\r\n" + kUsage + "Press any key to Exit . . . ");
    EXPECT_FALSE(r.exists("docs/QV.log"));
    EXPECT_NE(r.err.find("*** Too Many Options ***\r\nStopped Quorvex: Invalid Option\n"), std::string::npos);

    auto u = runSim(standardFixture(), {"-b"});
    EXPECT_EQ(u.out, banner("-b") + "*** Unrecognized Option '-B' ***\r\n\r\n" + kUsage + "Press any key to Exit . . . ");
}

TEST(RunDriver, NoWorkingDirectoryEndsWithoutFiles) {
    auto r = runSim(withIdentity("documents", nullptr), {});
    EXPECT_EQ(r.out, banner("") + "Checking for required elements... Completed\r\n"
                                  "** A required system file, SHFOLDER.DLL, was not found **\r\n"
                                  "** Program unable to establish a Working Directory     **\r\n"
                                  "** No Data or Log file written                         **\r\n"
                                  "   Program Ended\r\n\r\n"
                                  "Press any key to Exit . . . ");
    EXPECT_NE(r.err.find("Stopped Quorvex: Unable to establish Working Directory Check SHFOLDER.DLL"), std::string::npos);
}

TEST(RunDriver, LogThatCannotBeOpenedEndsTheRun) {
    std::string dir = qvtest::makeTempDir();
    ::mkdir((dir + "/docs").c_str(), 0755);
    ::mkdir((dir + "/docs/QV.log").c_str(), 0755);  // a folder where the log should be
    auto r = runSim(standardFixture(), {"PC1"}, dir);
    EXPECT_EQ(r.out, banner("PC1") + "Checking for required elements... Completed\r\n"
                                     "Working Directory: " + dir + "/docs\r\n"
                                     "*** File: " + dir + "/docs/QV.log cannot be opened for writing! ***\r\n"
                                     "**Unable to open Log file**\r\nProgram Ended\r\n\r\n"
                                     "Press any key to Exit . . . ");
    EXPECT_NE(r.err.find("Stopped Quorvex: Unable to open Log file"), std::string::npos);
}

TEST(RunDriver, LogHeaderAndNormalEndOfALocalRun) {
    auto r = runSim(standardFixture(), {});
    std::string log = r.file("docs/QV.log");
    std::string d = docs(r);
    std::string expectedHeader =
        "**Start " + kStart + "\r\n"
        "Quorvex Inventory Tool Version 3.00.0037\r\n"
        "\r\n"
        "       Command Line: QV.exe \r\n"
        "    Selected Option: /L\r\n"
        "       Current Path: " + d + "\r\n"
        "  Working Directory: " + d + "\r\n"
        "\r\n"
        "\r\n"
        "**Local Environment**\r\n"
        "   Domain/Workgroup: corp.example.com\r\n"
        "      Computer Name: WS01\r\n"
        "          User Name: admin\r\n"
        "    User Privileges: 2\r\n"
        "   Operating System: Windows XP [Version 5.1.2600] Service Pack 2\r\n"
        "  OS PLatform Level: 2\r\n"
        "        WMI Version: WINMGMTS.1\r\n"
        "**MDAC Elements**\r\n"
        "                ADO: ADODB.Connection.2.8\r\n"
        "                     ADODB.Command.2.8\r\n"
        "                     ADODB.Recordset.2.8\r\n"
        "               ADOR: ADOR.Recordset.2.8\r\n"
        "               ADOX: ADOX.Catalog.2.8\r\n"
        "                     ADOX.Table.2.8\r\n"
        "                     ADOX.Key.2.8\r\n"
        "      Microsoft Jet: Microsoft.Jet.OLEDB.4.0\r\n"
        "**AD Elements**\r\n"
        "   ADSI DB Provider: OLE DB Provider for Microsoft Directory Services\r\n"
        "     WinNt Provider: Present\r\n"
        "\r\n"
        "**Option Elements**\r\n"
        "  /B\r\n"
        "               sPDC: DC01\r\n"
        "           bWMIFlag: True\r\n"
        "         bFlagNetsh: True\r\n"
        "          bFlagWINS: False\r\n"
        "  /F\r\n"
        "        sSourceFile: \r\n"
        "\r\n"
        "Inventory Local Computer: WS01\r\n";
    ASSERT_GE(log.size(), expectedHeader.size());
    EXPECT_EQ(log.substr(0, expectedHeader.size()), expectedHeader);
    EXPECT_EQ(log.substr(log.size() - std::string("**Normal End " + kStart + "\r\n*******************\r\n\r\n").size()),
              "**Normal End " + kStart + "\r\n*******************\r\n\r\n");
    EXPECT_NE(log.find("Connected to WS01\r\n"), std::string::npos);
    EXPECT_NE(log.find(" WS01 Inventory Completed\r\n"), std::string::npos);
    EXPECT_EQ(log.find("**Inventory Activities**"), std::string::npos);

    std::string console = r.out;
    EXPECT_EQ(console.substr(0, banner("").size()), banner(""));
    EXPECT_NE(console.find("Checking for required elements... Completed\r\nWorking Directory: " + d + "\r\n"
                           "All requirements present\r\nBuilding list of computers to inventory...\r\n"
                           "Complete: Inventory Local Computer Only\r\n"
                           "Connected to WS01\r\n"
                           "     OS part complete\r\n     Hardware part complete\r\n"
                           "     Network part complete\r\n     Software part complete\r\n"
                           "Program Complete Normal End\r\nPress any key to Exit . . . "),
              std::string::npos)
        << console;

    // A second run appends its block after the first one's end block.
    auto again = runSim(standardFixture(), {}, r.dir);
    std::string twice = again.file("docs/QV.log");
    EXPECT_EQ(twice.substr(0, log.size()), log);
    EXPECT_EQ(twice.substr(log.size(), 8), "**Start ");
}

TEST(RunDriver, OutputWhoseReaderHasGoneDoesNotEndTheRun) {
    // Standard output a pipe whose reading end is closed, as after "qv-sim ... | head" has ended.
    const std::string dir = qvtest::makeTempDir();
    qvtest::writeFile(dir + "/fixture.json", standardFixture());
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::dup2(ends[1], STDOUT_FILENO);
        ::unsetenv("QV_PARALLEL");
        if (::chdir(dir.c_str()) == 0) ::execl(QV_SIM_PATH, QV_SIM_PATH, "fixture.json", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    const std::string end = "**Normal End " + kStart + "\r\n*******************\r\n\r\n";
    EXPECT_TRUE(qvtest::readFile(dir + "/docs/QV.log").ends_with(end)) << qvtest::readFile(dir + "/docs/QV.log");
}

TEST(RunDriver, ReportHeaderAndPhaseHeadingsAppendAcrossRuns) {
    auto r = runSim(standardFixture(R"("wmi": {"PC1": {}})"), {"pc1"});
    std::string report = r.file("docs/QVPC1.txt");
    std::string header = "Quorvex Inventory Tool Version 3.00.0037\r\n"
                         "Computer Details                              " + kStart + "\r\n\r\n"
                         "    Target Computer: PC1\r\n";
    ASSERT_GE(report.size(), header.size());
    EXPECT_EQ(report.substr(0, header.size()), header);
    std::size_t hw = report.find("\r\n\r\n**Hardware Inventory**\r\n");
    std::size_t net = report.find("**Network Information**\r\n");
    ASSERT_NE(hw, std::string::npos);
    ASSERT_NE(net, std::string::npos);
    EXPECT_LT(hw, net);
    // The driver adds no empty line before the network heading; the one empty line there ends the
    // last hardware record ("Not Reported" of the printers here).
    EXPECT_EQ(report.substr(net - 25, 25), "         Not Reported\r\n\r\n");

    auto again = runSim(standardFixture(R"("wmi": {"PC1": {}})"), {"PC1"}, r.dir);
    std::string both = again.file("docs/QVPC1.txt");
    EXPECT_EQ(both.substr(0, report.size()), report);
    EXPECT_EQ(both.substr(report.size(), header.size()), header);
}

TEST(RunDriver, ReportAndLogInAnotherLetterCaseAreAppendedTo) {
    // File names compare as on Windows: PC1's report and the log go on in the files already there.
    const std::string dir = qvtest::makeTempDir();
    ::mkdir((dir + "/docs").c_str(), 0755);
    qvtest::writeFile(dir + "/docs/qvpc1.txt", "an earlier report\r\n");
    qvtest::writeFile(dir + "/docs/qv.log", "an earlier log\r\n");
    auto r = runSim(standardFixture(R"("wmi": {"PC1": {}})"), {"PC1"}, dir);
    EXPECT_FALSE(r.exists("docs/QVPC1.txt"));
    EXPECT_FALSE(r.exists("docs/QV.log"));
    const std::string report = r.file("docs/qvpc1.txt"), log = r.file("docs/qv.log");
    EXPECT_TRUE(report.starts_with("an earlier report\r\nQuorvex Inventory Tool Version 3.00.0037\r\n")) << report;
    EXPECT_TRUE(log.starts_with("an earlier log\r\n**Start " + kStart)) << log;
    EXPECT_NE(log.find(" PC1 Inventory Completed\r\n"), std::string::npos) << log;
}

TEST(RunDriver, NamesAreSortedDeduplicatedAndUnreachableOnesSkipped) {
    auto r = runSim(standardFixture(R"("wmi": {"A1": {}, "B2": {"connectError": {"number": -2147024891, "description": "Access is denied. "}}})"),
                    {"b2", "a1", "B2", "zz9"});
    std::string d = docs(r);
    std::string expected = banner("b2 a1 B2 zz9") + "Checking for required elements... Completed\r\n"
                           "Working Directory: " + d + "\r\n"
                           "All requirements present\r\nBuilding list of computers to inventory...\r\n"
                           "Complete: 3 Computer Name(s) Identified\r\n"
                           "Inventory of Target Computer(s):\r\n"
                           "A1\r\nConnected to A1\r\n"
                           "     OS part complete\r\n     Hardware part complete\r\n"
                           "     Network part complete\r\n     Software part complete\r\n"
                           "B2\r\nFailed to connect to B2 Err#-2147024891 Access is denied. \r\n"
                           "ZZ9\r\nFailed to connect to ZZ9 Err#-2147023174 The RPC server is unavailable. \r\n"
                           "Program Complete Normal End\r\nPress any key to Exit . . . ";
    // The database lines may stand between the count and the target heading.
    std::string out = r.out;
    std::size_t cut = out.find("Complete: 3 Computer Name(s) Identified\r\n");
    ASSERT_NE(cut, std::string::npos);
    std::size_t resume = out.find("Inventory of Target Computer(s):");
    out.erase(cut + std::string("Complete: 3 Computer Name(s) Identified\r\n").size(),
              resume - cut - std::string("Complete: 3 Computer Name(s) Identified\r\n").size());
    EXPECT_EQ(out, expected);
    std::string log = r.file("docs/QV.log");
    EXPECT_NE(log.find("              Count: 3 Computer(s) Identified\r\n"), std::string::npos);
    EXPECT_NE(log.find("**Inventory Activities**\r\nConnected to A1\r\n A1 Inventory Completed\r\n"
                       "B2 Failed WMI Connection Err#-2147024891 Access is denied. \r\n"
                       "ZZ9 Failed WMI Connection Err#-2147023174 The RPC server is unavailable. \r\n**Normal End "),
              std::string::npos)
        << log;
    EXPECT_FALSE(r.exists("docs/QVB2.txt"));
    EXPECT_FALSE(r.exists("docs/QVZZ9.txt"));
    EXPECT_NE(r.err.find("InvTarget connecting to B2\n  Failed: Err#-2147024891 Access is denied. \n"), std::string::npos);
}

TEST(RunDriver, NamesThatAreNotNamesNeverLeaveTheWorkingDirectory) {
    auto r = runSim(standardFixture(R"("wmi": {"WS01": {}, "..": {}, "X/Y": {}})"), {"..", "../../EVIL", "A*B", "C:D"});
    for (const char* name : {"..", "../../EVIL", "A*B", "C:D"})
        EXPECT_NE(r.out.find(std::string("Failed to connect to ") + name + " Err#"), std::string::npos) << name;
    EXPECT_FALSE(r.exists("QV...txt"));
    EXPECT_FALSE(r.exists("docs/QV...txt"));
    EXPECT_FALSE(r.exists("EVIL.txt"));
    EXPECT_NE(r.out.find("Program Complete Normal End"), std::string::npos);
}

TEST(RunDriver, BreakEventsStopBeforeTheNextComputer) {
    struct Case {
        int type;
        const char* console;
        const char* log;
        const char* trace;
    } cases[] = {
        {0, "**Program Ended by User ^C pressed\r\n", "**Program Ended by User ^C pressed\r\n", "Stopped Quorvex: ^C pressed"},
        {1, "**Program Ended by User Ctrl-Break pressed\r\n", "**Program Ended by User Ctrl-Break pressed\r\n",
         "Stopped Quorvex: Ctrl-Break pressed"},
        {2, "", "**Program Ended by User Closed Program\r\n", "Stopped Quorvex:User Closed Program"},
    };
    for (const Case& c : cases) {
        std::string events = "\"ctrlEvents\": [{\"duringTarget\": 3, \"type\": " + std::to_string(c.type) + "}]";
        auto r = runSim(standardFixture(R"("wmi": {"P1": {}, "P2": {}, "P3": {}, "P4": {}, "P5": {}}, )" + events),
                        {"P1", "P2", "P3", "P4", "P5"});
        std::string tail = "P3\r\nConnected to P3\r\n     OS part complete\r\n     Hardware part complete\r\n"
                           "     Network part complete\r\n     Software part complete\r\n" + std::string(c.console);
        ASSERT_GE(r.out.size(), tail.size());
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << "type " << c.type;
        std::string log = r.file("docs/QV.log");
        std::string logTail = " P3 Inventory Completed\r\n" + std::string(c.log) + kStart + "\r\n";
        ASSERT_GE(log.size(), logTail.size());
        EXPECT_EQ(log.substr(log.size() - logTail.size()), logTail) << "type " << c.type;
        EXPECT_NE(r.err.find(c.trace), std::string::npos);
        EXPECT_FALSE(r.exists("docs/QVP4.txt"));
    }
}

TEST(RunDriver, BreakRulesForStartUpLastTypeAndIgnoredTypes) {
    // An event during start-up stops the run before the first computer.
    auto early = runSim(standardFixture(R"("wmi": {"P1": {}}, "ctrlEvents": [{"atStart": true, "type": 0}])"), {"P1"});
    EXPECT_NE(early.out.find("Inventory of Target Computer(s):\r\n**Program Ended by User ^C pressed\r\n"), std::string::npos)
        << early.out;
    EXPECT_FALSE(early.exists("docs/QVP1.txt"));
    // Ctrl-C then Ctrl-Break during the same computer: the last type wins.
    auto last = runSim(standardFixture(R"("wmi": {"P1": {}, "P2": {}},
        "ctrlEvents": [{"duringTarget": 1, "type": 0}, {"duringTarget": 1, "type": 1}])"),
                       {"P1", "P2"});
    EXPECT_NE(last.out.find("**Program Ended by User Ctrl-Break pressed\r\n"), std::string::npos);
    EXPECT_EQ(last.out.find("^C pressed"), std::string::npos);
    // Log-off and shut-down events do not stop the loop.
    auto ignored = runSim(standardFixture(R"("wmi": {"P1": {}, "P2": {}},
        "ctrlEvents": [{"duringTarget": 1, "type": 5}, {"duringTarget": 2, "type": 6}])"),
                          {"P1", "P2"});
    EXPECT_NE(ignored.out.find("Program Complete Normal End"), std::string::npos);
    EXPECT_TRUE(ignored.exists("docs/QVP2.txt"));
    // The local run closed by the console: its own console line.
    auto local = runSim(standardFixture(R"("ctrlEvents": [{"atStart": true, "type": 2}])"), {});
    EXPECT_NE(local.out.find("Complete: Inventory Local Computer Only\r\n"), std::string::npos);
    EXPECT_EQ(local.out.substr(local.out.size() - 25), "**Program Ended by User\r\n");
}

TEST(RunDriver, RequirementMessagesAndAbnormalEnd) {
    // A non-administrator may inventory the local computer but not named ones.
    std::string user = withIdentity("privilege", 1);
    auto local = runSim(user, {});
    EXPECT_NE(local.out.find("All requirements present"), std::string::npos);
    auto named = runSim(user, {"PC1"});
    EXPECT_NE(named.out.find("Requirement Missing: Insufficient User Rights\r\n"
                             "                     You must be an Administrator to run option /N\r\n"
                             "**Required Element(s) Missing**\r\nProgram Ended\r\n"
                             "Press any key to Exit . . . "),
              std::string::npos)
        << named.out;
    std::string log = named.file("docs/QV.log");
    std::string tail = "  User Rights Error: User must be an Administrator\r\n**Required Element(s) Missing**\r\n"
                       "**Abnormal End** " + kStart + "\r\n*******************\r\n\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(log.substr(log.size() - tail.size()), tail);

    // Database components missing: the run goes on without the database.
    std::string noAdox = withoutKey("HKCR\\ADOX.Key\\CurVer");
    auto db = runSim(noAdox, {});
    EXPECT_NE(db.out.find("Completed\r\nWorking Directory: " + docs(db) + "\r\nRequirement Missing: ADOX\r\nAll requirements present"),
              std::string::npos)
        << db.out;
    EXPECT_NE(db.out.find("Warning: Database requirements not met.\r\nDatabase will not be created and data not written.\r\n"),
              std::string::npos);
    EXPECT_FALSE(db.exists("docs/QV.mdb"));

    // No management service: a missing requirement for every option.
    auto wmi = runSim(withoutKey("HKCR\\WINMGMTS\\CurVer"), {});
    EXPECT_NE(wmi.out.find("Requirement Missing: WMI\r\n**Required Element(s) Missing**"), std::string::npos) << wmi.out;
}

TEST(RunDriver, DomainOptionChecksOnAnOlderSystem) {
    auto j = nlohmann::ordered_json::parse(standardFixture());
    j["identity"]["version"] = {{"platformId", 2}, {"major", 4}, {"minor", 0}, {"build", 1381}, {"csd", "Service Pack 6"}};
    j["registry"].erase("HKCR\\ADsDSOObject");
    j["registry"]["HKLM\\System\\CurrentControlSet\\Services\\VxD\\VNETSUP"] = {{"Workgroup", {{"type", 1}, {"data", "OLDNET"}}}};
    // Before Windows 2000 the documents folder is used only when the shell-folder library is registered.
    j["wmi"]["WS01"]["registry"]["HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"] = {
        {"C:\\WINNT\\system32\\shfolder.dll", {{"type", 4}, {"data", 1}}}};
    std::string nt4 = j.dump();
    auto r = runSim(nt4, {"/B"});
    EXPECT_NE(r.out.find("Checking /B Requirements\r\n"
                         "Error: Option not supported by the OS; Requires Win2000 or later\r\n"
                         "Warning: ADSI Provider missing\r\n"
                         "Warning: WINS Service not available\r\n"
                         "Error: Requires either Active Directory or WINS Service and Netsh.exe\r\n"
                         "**Required Element(s) Missing**"),
              std::string::npos)
        << r.out;
    std::string log = r.file("docs/QV.log");
    EXPECT_NE(log.find("   Domain/Workgroup: OLDNET\r\n"), std::string::npos);
    EXPECT_NE(log.find("              Error: Option not supported by the OS; Requires Win2000 or later\r\n"
                       "            Warning: ADSI Provider missing\r\n"
                       "            Warning: WINS Service not available\r\n"
                       "                     Netsh.exe available\r\n"
                       "              Error: Option not supported\r\n"
                       "                     Requires either Active Directory or WINS Service and Netsh.exe\r\n"
                       "**Required Element(s) Missing**"),
              std::string::npos)
        << log;
}

TEST(RunDriver, AdministratorInAConsoleThatIsNotElevatedIsToldSo) {
    std::string fixture = standardFixture();
    const std::string privilege = "\"privilege\": 2,";
    ASSERT_NE(fixture.find(privilege), std::string::npos);
    fixture.replace(fixture.find(privilege), privilege.size(), privilege + " \"notElevated\": true,");
    auto r = runSim(fixture, {});
    EXPECT_NE(r.file("docs/QV.log").find("    User Privileges: 2\r\n"
                                         "          Elevation: console not elevated; local facts that need elevation "
                                         "may be missing\r\n   Operating System: "),
              std::string::npos)
        << r.file("docs/QV.log");
}

TEST(RunDriver, ExitStatusesSayHowTheRunEnded) {
    const std::string wmi = R"("wmi": {"PC1": {}, "PC2": {}, "SERVER01.CORP.EXAMPLE": {}})";
    const auto events = [&](int type) {
        return standardFixture(wmi + R"(, "ctrlEvents": [{"duringTarget": 1, "type": )" + std::to_string(type) + "}]");
    };
    const struct {
        const char* what;
        std::string fixture;
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"the local computer", standardFixture(), {}, 0},
        {"the usage", standardFixture(), {"/?"}, 0},
        {"named computers all inventoried", standardFixture(wmi), {"PC1", "PC2"}, 0},
        {"a computer not reached", standardFixture(wmi), {"PC1", "ZZ9"}, 1},
        {"rows refused: a name longer than its key column", standardFixture(wmi), {"SERVER01.CORP.EXAMPLE"}, 1},
        {"no database to take the rows", withoutKey("HKCR\\ADOX.Key\\CurVer"), {}, 1},
        {"too many options", standardFixture(), {"/B", "PC1"}, 2},
        {"an unrecognized option", standardFixture(), {"-x"}, 2},
        {"no working directory", withIdentity("documents", nullptr), {}, 3},
        {"the name file not found", standardFixture(), {"/F:missing.txt"}, 3},
        {"a requirement missing", withoutKey("HKCR\\WINMGMTS\\CurVer"), {}, 3},
        {"Ctrl-C", events(0), {"PC1", "PC2"}, 130},
        {"Ctrl-Break", events(1), {"PC1", "PC2"}, 131},
        {"the console closed", events(2), {"PC1", "PC2"}, 143},
    };
    for (const auto& c : cases) {
        auto r = runSim(c.fixture, c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.what << "\n" << r.out;
    }
}

// The domain option "/B" through qv-sim: the directory and WINS sources, their messages and work files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <nlohmann/json.hpp>

#include "tests/support/sim_run.h"

using json = nlohmann::ordered_json;
using qvtest::SimResult;

namespace {

const std::string kRpc = " Err#-2147023174 The RPC server is unavailable. ";
const std::string kUserSchema = "[Mine.txt]\r\nFormat=CSVDelimited\r\nColNameHeader=False\r\n";

// A 20-character name cell of the dump: the name padded to 15, then the record type.
std::string nameCell(const std::string& name, const std::string& type) {
    return name + std::string(15 - name.size(), ' ') + type;
}

// The dump netsh writes: header with padded column names, records, a summary, CR CR LF ends.
std::string winsDump() {
    return "NAME                \tIPADDRESS  \tGROUP          \tSTATE\r\n" +
           nameCell("PC01", "[00h]") + "\t10.0.0.1\tUNIQUE\tACTIVE\r\r\n" +    // taken
           nameCell("PC01", "[20h]") + "\t10.0.0.1\tUNIQUE\tACTIVE\r\n" +      // another type
           nameCell("CORP", "[00h]") + "\t10.0.0.2\tGROUP   \tACTIVE\r\n" +    // group record
           nameCell("PC.DOT", "[00h]") + "\t10.0.0.3\tUNIQUE\tACTIVE\r\n" +    // dot becomes "?"
           nameCell("pc11", "[00h]") + "\t10.0.0.4\tUNIQUE\tACTIVE\r\n" +      // also in the directory
           "\r\n" +
           "Total No of records displayed : 5\r\n";
}

json directoryComputers() {
    return json::array({{{"name", "pc10"}},
                        {{"name", "  PC11  "}},
                        {{"name", nullptr}},
                        json::object(),
                        {{"name", ""}},
                        {{"name", "   "}},
                        {{"name", std::string(255, 'w')}},
                        {{"name", std::string(256, 'v')}},
                        {{"name", "Pc10"}}});
}

// The standard workstation with the WINS service, a directory and a netsh dump; `edit` changes it.
json domainFixture() {
    json f = json::parse(qvtest::standardFixture());
    f["wmi"]["WS01"]["classes"]["Win32_BaseService"] = json::array({{{"Name", "WINS"}}});
    f["directory"] = {{"DC01", {{"defaultNamingContext", "DC=corp,DC=example,DC=com"}, {"computers", directoryComputers()}}}};
    f["netsh"] = {{"dump", winsDump()}, {"chunks", 3}};
    return f;
}

// Runs "/B" in a fresh folder whose documents folder already holds `files` (a null content makes a folder).
SimResult runDomain(const json& fixture, const std::vector<std::pair<std::string, std::optional<std::string>>>& files = {}) {
    std::string dir = qvtest::makeTempDir();
    std::filesystem::create_directory(dir + "/docs");
    for (const auto& [name, content] : files) {
        if (content)
            qvtest::writeFile(dir + "/docs/" + name, *content);
        else
            std::filesystem::create_directory(dir + "/docs/" + name);
    }
    return qvtest::runSim(fixture.dump(), {"/B"}, dir);
}

// Removes a run's folder when the test case is done with it.
struct RemoveAfter {
    const SimResult& run;
    ~RemoveAfter() { std::filesystem::remove_all(run.dir); }
};

bool isRegularFile(const SimResult& r, const std::string& name) {
    struct stat st {};
    return ::stat((r.dir + "/docs/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names the target loop walked, in order (every one of them fails to connect here).
std::vector<std::string> inventoried(const SimResult& r) {
    std::vector<std::string> lines = qvtest::crlfLines(r.out), names;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i + 1].rfind("Failed to connect to " + lines[i] + " Err#", 0) == 0) names.push_back(lines[i]);
    return names;
}

void expectNoWorkFiles(const SimResult& r) {
    EXPECT_FALSE(isRegularFile(r, "WinsDB.txt"));
    EXPECT_FALSE(isRegularFile(r, "CleanWINS.txt"));
    EXPECT_FALSE(isRegularFile(r, "Schema.ini.tmp"));
}

}  // namespace

TEST(DomainOption, BothSourcesConsoleLogAndListExactly) {
    SimResult r = runDomain(domainFixture());
    RemoveAfter removeAfter{r};
    const std::string w255(255, 'W'), v256(256, 'V');
    const std::vector<std::string> list = {"PC01", "PC10", "PC11", "PC?DOT", w255};

    std::string console =
        "Building list of computers to inventory...\r\n"
        "Active Directory reports a Computer Name longer than 255 characters\r\n"
        "See Logfile for Name.  Name skipped, Continuing to run.\r\n\r\n"
        "Complete: 5 Computer Name(s) Found\r\n"
        "Inventory of Target Computer(s):\r\n";
    std::string log =
        "                     Netsh.exe available\r\n"
        "AD reports Computer Name longer than 255 characters:\r\n" + v256 + "\r\n"
        "***Unable to process - computer will be skipped***\r\n\r\n"
        "WINS time delay: 30 milliseconds\r\n"
        "System Reports 5 Computers\r\n" +
        qvtest::databaseCreationLog() + "**Inventory Activities**\r\n";
    for (const std::string& name : list) {
        // "?" cannot stand in a computer name: the connection layer refuses it.
        std::string error = name == "PC?DOT" ? " Err#-2147217406 The computer name is not valid. " : kRpc;
        console += name + "\r\nFailed to connect to " + name + error + "\r\n";
        log += name + " Failed WMI Connection" + error + "\r\n";
    }
    console += "Program Complete Normal End\r\nPress any key to Exit . . . ";
    log += "**Normal End 12/8/2026 9:30:05 AM\r\n";

    std::string qvLog = r.file("docs/QV.log");
    ASSERT_NE(r.out.find("Building list"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.find("Building list")), console);
    ASSERT_NE(qvLog.find("                     Netsh.exe available"), std::string::npos) << qvLog;
    std::string logPart = qvLog.substr(qvLog.find("                     Netsh.exe available"));
    EXPECT_EQ(logPart.substr(0, logPart.find("*******************")), log);
    EXPECT_EQ(inventoried(r), list);
    expectNoWorkFiles(r);
    EXPECT_FALSE(isRegularFile(r, "Schema.ini"));
}

TEST(DomainOption, DirectoryThatCannotBeUsedLeavesTheWinsNames) {
    struct Case {
        const char* label;
        json directory;  // null: member removed
        bool removeProvider;
        std::string line;
    } cases[] = {
        {"no provider", nullptr, true, "Active Directory Provider not available - AD computers not reported"},
        {"controller not bound", nullptr, false,
         "Active Directory not available (Unable to bind to LDAP://DC01/rootDSE) - AD computers not reported"},
        {"no naming context", {{"DC01", {{"computers", directoryComputers()}}}}, false,
         "Active Directory not available (defaultNamingContext not readable on DC01) - AD computers not reported"},
        {"nothing found", {{"DC01", {{"defaultNamingContext", "DC=corp,DC=example,DC=com"}, {"computers", json::array()}}}},
         false,
         "Active Directory not available (no computer objects found under DC=corp,DC=example,DC=com) - AD computers "
         "not reported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        json f = domainFixture();
        if (c.directory.is_null())
            f.erase("directory");
        else
            f["directory"] = c.directory;
        if (c.removeProvider) f["registry"].erase("HKCR\\ADsDSOObject");
        SimResult r = runDomain(f);
        RemoveAfter removeAfter{r};
        std::string qvLog = r.file("docs/QV.log");
        EXPECT_NE(r.out.find("Building list of computers to inventory...\r\n" + c.line + "\r\nComplete: 3 Computer"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(qvLog.find("Netsh.exe available\r\n" + c.line + "\r\nWINS time delay: 30 milliseconds\r\n"),
                  std::string::npos)
            << qvLog;
        EXPECT_EQ(inventoried(r), (std::vector<std::string>{"PC01", "PC11", "PC?DOT"}));
        expectNoWorkFiles(r);
    }
}

TEST(DomainOption, WinsPreconditionsAreConsoleOnly) {
    json noNetsh = domainFixture();
    noNetsh["files"] = json::object();  // no Netsh.exe
    noNetsh["wmi"]["WS01"]["classes"].erase("Win32_BaseService");
    SimResult r = runDomain(noNetsh);
    RemoveAfter removeAfter{r};
    EXPECT_NE(r.out.find("Building list of computers to inventory...\r\n"
                         "Active Directory reports a Computer Name longer than 255 characters\r\n"
                         "See Logfile for Name.  Name skipped, Continuing to run.\r\n\r\n"
                         "Netsh.exe missing; WINS Names not available\r\n"
                         "No WINS service; WINS Names not available\r\n"
                         "Complete: 3 Computer Name(s) Found\r\n"),
              std::string::npos)
        << r.out;
    std::string qvLog = r.file("docs/QV.log");
    EXPECT_EQ(qvLog.find("WINS Names"), std::string::npos);
    EXPECT_EQ(qvLog.find("WINS time delay"), std::string::npos);
    EXPECT_FALSE(r.exists("docs/WinsDB.txt"));

    json noWins = domainFixture();
    noWins["wmi"]["WS01"]["classes"].erase("Win32_BaseService");
    SimResult w = runDomain(noWins);
    RemoveAfter removeAfterW{w};
    EXPECT_NE(w.out.find("\r\n\r\nNo WINS service; WINS Names not available\r\nComplete: 3 Computer"), std::string::npos)
        << w.out;
    EXPECT_EQ(w.out.find("Netsh.exe missing"), std::string::npos);
    EXPECT_FALSE(w.exists("docs/WinsDB.txt"));
}

TEST(DomainOption, UserSchemaKeptAndEarlierDumpIgnored) {
    std::string stale = "NAME                \tIPADDRESS  \tGROUP          \r\n" + nameCell("OLD01", "[00h]") + "\t\tUNIQUE\r\n";
    SimResult r = runDomain(domainFixture(), {{"Schema.ini", kUserSchema}, {"WinsDB.txt", stale}});
    RemoveAfter removeAfter{r};
    EXPECT_EQ(r.file("docs/Schema.ini"), kUserSchema);
    expectNoWorkFiles(r);
    EXPECT_EQ(inventoried(r), (std::vector<std::string>{"PC01", "PC10", "PC11", "PC?DOT", std::string(255, 'W')}));
}

// Every way the WINS source can fail after its preconditions: the reason on the console and in
// the log, the directory's names kept, no work file left, a user's Schema.ini as it was.
TEST(DomainOption, WinsFailuresCleanUpAtEveryStep) {
    struct Case {
        const char* label;
        std::function<void(json&)> edit;
        std::vector<std::pair<std::string, std::optional<std::string>>> extraFiles;
        std::string line;
        std::string consoleOnly;  // a file whose "*** File: " line goes to the console alone, before `line`
        int delay;                // the logged wait in milliseconds; -1 when the source ends before the dump
    } cases[] = {
        {"dump never written", [](json& f) { f.erase("netsh"); }, {},
         "WinsDB.txt not created after 60 seconds; WINS Names not available", "", -1},
        {"dump stays empty", [](json& f) { f["netsh"] = {{"dump", ""}}; }, {},
         "WinsDB.txt still empty after 60 seconds; WINS Names not available", "", -1},
        {"dump keeps growing",
         [](json& f) { f["netsh"] = {{"dump", std::string(7000, 'x')}, {"chunks", 7000}}; }, {},
         "WinsDB.txt still growing after 60 seconds; WINS Names not available", "", -1},
        {"controller name not plain", [](json& f) {
             f["identity"]["dcName"] = "\\\\DC01&calc";
             f["directory"] = {{"DC01&CALC", f["directory"]["DC01"]}};
         }, {},
         "Domain Controller name 'DC01&CALC' not usable for Netsh.exe; WINS Names not available", "", -1},
        {"no ComSpec", [](json& f) { f["environment"].erase("ComSpec"); }, {},
         "ComSpec not set; WINS Names not available", "", -1},
        {"CleanWINS.txt cannot be created", [](json&) {}, {{"CleanWINS.txt", std::nullopt}},
         "Unable to create CleanWINS.txt; WINS Names not available", "CleanWINS.txt", 30},
        {"Schema.ini cannot be kept", [](json&) {}, {{"Schema.ini.tmp", std::nullopt}},
         "Unable to keep the existing Schema.ini; WINS Names not available", "", 30},
        {"table without NAME column",
         [](json& f) { f["netsh"] = {{"dump", "HOST\tGROUP          \r\n" + nameCell("PC01", "[00h]") + "\tUNIQUE\r\n"}}; },
         {}, "Unable to read CleanWINS.txt (no NAME column); WINS Names not available", "", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        json f = domainFixture();
        c.edit(f);
        auto files = c.extraFiles;
        files.emplace_back("Schema.ini", kUserSchema);
        SimResult r = runDomain(f, files);
        RemoveAfter removeAfter{r};
        std::string qvLog = r.file("docs/QV.log");
        std::string before = "Name skipped, Continuing to run.\r\n\r\n";
        if (!c.consoleOnly.empty())
            before += "*** File: " + r.dir + "/docs/" + c.consoleOnly + " cannot be opened for writing! ***\r\n";
        EXPECT_NE(r.out.find(before + c.line + "\r\nComplete: 3 Computer Name(s) Found\r\n"), std::string::npos) << r.out;
        std::string delay = c.delay < 0 ? "" : "WINS time delay: " + std::to_string(c.delay) + " milliseconds\r\n";
        EXPECT_NE(qvLog.find("***Unable to process - computer will be skipped***\r\n\r\n" + delay + c.line +
                             "\r\nSystem Reports 3 Computers\r\n"),
                  std::string::npos)
            << qvLog;
        EXPECT_EQ(inventoried(r), (std::vector<std::string>{"PC10", "PC11", std::string(255, 'W')}));
        EXPECT_EQ(r.file("docs/Schema.ini"), kUserSchema);
        expectNoWorkFiles(r);
    }
}

// The database under hostile conditions, with real processes: runs killed at random moments, a
// database locked by another process, read-only, not a database at all, or impossible to create.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

// A computer as a network of such computers would answer: identity, operating system, 120
// environment variables and a few services (about 150 rows with the not-found rows).
json fullComputer(const std::string& name) {
    json env = json::array();
    for (int i = 0; i < 120; ++i)
        env.push_back({{"UserName", "<SYSTEM>"}, {"Name", "VAR" + std::to_string(i)}, {"VariableValue", "value of " + name}});
    return {{"classes",
             {{"Win32_ComputerSystem", {{{"Domain", "CORP"}, {"PartOfDomain", true}, {"DomainRole", 1}, {"TotalPhysicalMemory", "536870912"}}}},
              {"Win32_OperatingSystem", {{{"Name", "Microsoft Windows XP Professional|C:\\WINDOWS"}, {"OSType", 18}, {"CodeSet", "1252"}}}},
              {"Win32_Environment", env},
              {"Win32_BaseService", {{{"Name", "Dhcp"}, {"State", "Running"}}, {{"Name", "Dnscache"}, {"State", "Stopped"}}}}}}};
}

std::vector<std::string> names(int count) {
    std::vector<std::string> list;
    for (int i = 1; i <= count; ++i) list.push_back((i < 10 ? "PC0" : "PC") + std::to_string(i));
    return list;
}

// The fixture of `count` computers listed in docs/NAMES.TXT, with the run starting at `now`.
void writeNetwork(const std::string& dir, int count, const std::string& now) {
    json wmi = json::object();
    std::string list;
    for (const std::string& n : names(count)) {
        wmi[n] = fullComputer(n);
        list += n + "\r\n";
    }
    // A database another program holds is waited for 300 ms instead of half a minute.
    writeFile(dir + "/fixture.json", standardFixture("\"now\": \"" + now + "\", \"limits\": {\"databaseMs\": 300}, \"wmi\": " +
                                                     wmi.dump()));
    // The name file is read from the working directory, the documents folder.
    fs::create_directories(dir + "/docs");
    writeFile(dir + "/docs/NAMES.TXT", list);
}

// Starts qv-sim in `dir` (as the unprivileged user when `asNobody`); returns its process id.
pid_t startSim(const std::string& dir, const std::vector<std::string>& args, bool asNobody = false) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        int null = open("/dev/null", O_RDWR);
        int out = open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(null, 0);
        dup2(out, 1);
        dup2(null, 2);
        if (asNobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
        std::vector<char*> argv = {const_cast<char*>("qv-sim"), const_cast<char*>("fixture.json")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(QV_SIM_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

int runToEnd(const std::string& dir, const std::vector<std::string>& args, bool asNobody = false) {
    int status = waitFor(startSim(dir, args, asNobody));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The rows of each computer inventoried at `when`, table by table: "DeviceID:1 SoftwareKey:1 ...".
std::map<std::string, std::string> rowsByComputer(const std::string& db, const std::string& when) {
    Rows tables = queryDb(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    std::string sql;
    for (const auto& t : tables)
        sql += (sql.empty() ? "" : " UNION ALL ") + std::string("SELECT '") + t[0] + "', DeviceName, count(*) FROM \"" +
               t[0] + "\" WHERE InvDateTime = '" + when + "' GROUP BY DeviceName";
    std::map<std::string, std::map<std::string, std::string>> counts;
    for (const auto& row : queryDb(db, sql)) counts[row[1]][row[0]] = row[2];
    std::map<std::string, std::string> summary;
    for (auto& [name, byTable] : counts)
        for (const auto& t : tables) summary[name] += t[0] + ":" + (byTable.count(t[0]) ? byTable[t[0]] : "0") + " ";
    return summary;
}

std::string rowsOf(const std::string& db, const std::string& when, const std::string& name) {
    return rowsByComputer(db, when)[name];
}

std::string runTime(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "2026-12-08T%02d:%02d:05", 10 + i / 60, i % 60);
    return buf;
}

bool endedNormally(const std::string& dir) { return readFile(dir + "/.out").find("Program Complete Normal End") != std::string::npos; }

// The unprivileged user's view needs what root would bypass: the folder open to it.
bool asNobody() { return geteuid() == 0; }

}  // namespace

TEST(DatabaseReliability, KilledRunsKeepEveryFinishedComputer) {
    const int kComputers = 12;
    // The rows one computer leaves when nothing interrupts the run.
    std::string reference = makeTempDir();
    writeNetwork(reference, 1, runTime(0));
    ASSERT_EQ(runToEnd(reference, {"/F:NAMES.TXT"}), 0);
    const std::string expected = rowsOf(reference + "/docs/QV.mdb", "2026-12-08 10:00:05", "PC01");
    ASSERT_NE(expected.find("EnvStrings:120 "), std::string::npos) << expected;
    fs::remove_all(reference);

    // How long a whole run takes, to spread the kills over it.
    std::string dir = makeTempDir();
    writeNetwork(dir, kComputers, runTime(0));
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 0);
    auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    fs::remove(dir + "/docs/QV.mdb");

    unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, full * 11 / 10);
    int finishedTotal = 0;
    const std::string db = dir + "/docs/QV.mdb";
    for (int i = 1; i <= 25; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        writeNetwork(dir, kComputers, runTime(i));
        std::string logBefore = readFile(dir + "/docs/QV.log");
        pid_t pid = startSim(dir, {"/F:NAMES.TXT"});
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(pid, SIGKILL);
        waitFor(pid);

        std::string log = readFile(dir + "/docs/QV.log").substr(logBefore.size());
        std::vector<std::string> finished;
        for (const std::string& n : names(kComputers))
            if (log.find(" " + n + " Inventory Completed\r\n") != std::string::npos) finished.push_back(n);
        finishedTotal += static_cast<int>(finished.size());
        if (!fs::exists(db)) {
            EXPECT_TRUE(finished.empty());
            continue;
        }
        // A run killed while committing leaves its journal; the next connection that may write
        // rolls it back, as the next run does.
        EXPECT_TRUE(execDb(db, "SELECT count(*) FROM DeviceID"));
        EXPECT_EQ(queryValue(db, "PRAGMA integrity_check"), "ok");
        EXPECT_TRUE(queryDb(db, "PRAGMA foreign_key_check").empty());
        // Every finished computer is there whole; any other computer is there whole or not at all.
        const std::string when = std::string(runTime(i)).replace(10, 1, " ");
        std::map<std::string, std::string> stored = rowsByComputer(db, when);
        for (const std::string& n : finished) EXPECT_EQ(stored[n], expected) << n;
        for (const auto& [n, rows] : stored) EXPECT_EQ(rows, expected) << n;
    }
    // The kills fell at many moments: some runs finished computers, some did not.
    EXPECT_GT(finishedTotal, 0);
    EXPECT_LT(finishedTotal, 25 * kComputers);
    fs::remove_all(dir);
}

TEST(DatabaseReliability, ALockedDatabaseNeitherStopsTheRunNorLosesItsRows) {
    std::string dir = makeTempDir();
    writeNetwork(dir, 1, runTime(0));
    ASSERT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 0);
    const std::string db = dir + "/docs/QV.mdb";
    const std::string before = rowsOf(db, "2026-12-08 10:00:05", "PC01");

    // Another process holds the write lock for the whole of the next run.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    writeNetwork(dir, 2, runTime(1));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 1);  // ends normally; rows not written: status 1
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(endedNormally(dir));
    std::string log = readFile(dir + "/docs/QV.log");
    // The held database is waited for, then the run goes on with reports only, and says so.
    EXPECT_NE(log.find("  QV.mdb cannot be used: database is locked\r\n            Warning: Database requirements not met.\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" PC02 Inventory Completed\r\n"), std::string::npos);
    EXPECT_NE(readFile(dir + "/docs/QVPC02.txt").find("**Operating System**"), std::string::npos);
    EXPECT_EQ(rowsOf(db, "2026-12-08 10:00:05", "PC01"), before);
    EXPECT_EQ(queryValue(db, "SELECT count(*) FROM DeviceID"), "1");
    EXPECT_EQ(queryValue(db, "PRAGMA integrity_check"), "ok");

    // Once the lock is gone, the next run stores its rows again.
    writeNetwork(dir, 2, runTime(2));
    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 0);
    EXPECT_EQ(queryValue(db, "SELECT count(*) FROM DeviceID"), "3");
    fs::remove_all(dir);
}

TEST(DatabaseReliability, AReadOnlyOrDamagedDatabaseIsLeftAsItWas) {
    std::string dir = makeTempDir();
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    writeNetwork(dir, 1, runTime(0));
    ASSERT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 0);
    const std::string db = dir + "/docs/QV.mdb";
    ASSERT_EQ(chmod((dir + "/docs").c_str(), 0777), 0);
    for (const char* f : {"/docs/QV.log", "/docs/QVPC01.txt", "/.out"}) chmod((dir + f).c_str(), 0666);
    ASSERT_EQ(chmod(db.c_str(), 0444), 0);
    const std::string original = readFile(db);

    // Read-only: the run ends normally, writes its report and log, and the file is untouched.
    writeNetwork(dir, 1, runTime(1));
    std::size_t logSize = readFile(dir + "/docs/QV.log").size();
    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}, asNobody()), 1);  // ends normally; rows not written: status 1
    EXPECT_TRUE(endedNormally(dir));
    std::string log = readFile(dir + "/docs/QV.log").substr(logSize);
    EXPECT_NE(log.find("  QV.mdb cannot be used: the file cannot be written\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" PC01 Inventory Completed\r\n"), std::string::npos) << log;
    EXPECT_TRUE(readFile(db) == original);

    // Not a database at all, and a database cut short: the run goes on; the foreign file stays as it was.
    chmod(db.c_str(), 0666);
    const std::string garbage(8192, 'Q');
    writeFile(db, garbage);
    writeNetwork(dir, 1, runTime(2));
    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 1);  // ends normally; rows not written: status 1
    EXPECT_TRUE(endedNormally(dir));
    EXPECT_TRUE(readFile(db) == garbage);
    EXPECT_NE(readFile(dir + "/.out").find("QV.mdb cannot be used: file is not a database\r\n"), std::string::npos);
    writeFile(db, original.substr(0, original.size() / 3));
    writeNetwork(dir, 1, runTime(3));
    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}), 1);  // ends normally; rows not written: status 1
    EXPECT_TRUE(endedNormally(dir));
    EXPECT_NE(readFile(dir + "/docs/QV.log").find("**Normal End"), std::string::npos);
    fs::remove_all(dir);
}

TEST(DatabaseReliability, AFolderWhereTheFileCannotBeCreatedGivesTheWarningAndTheRunGoesOn) {
    if (!asNobody() && geteuid() == 0) GTEST_SKIP();
    std::string dir = makeTempDir();
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    writeNetwork(dir, 1, runTime(0));
    // The log and the report exist and may be written; nothing new may be made in the folder.
    writeFile(dir + "/docs/QV.log", "");
    writeFile(dir + "/docs/QVPC01.txt", "");
    chmod((dir + "/docs/QV.log").c_str(), 0666);
    chmod((dir + "/docs/QVPC01.txt").c_str(), 0666);
    writeFile(dir + "/.out", "");
    chmod((dir + "/.out").c_str(), 0666);
    ASSERT_EQ(chmod((dir + "/docs").c_str(), 0555), 0);

    EXPECT_EQ(runToEnd(dir, {"/F:NAMES.TXT"}, asNobody()), 1);  // ends normally; rows not written: status 1
    std::string out = readFile(dir + "/.out");
    EXPECT_NE(out.find("\r\nWarning: Database requirements not met.\r\nDatabase will not be created and data not written.\r\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(endedNormally(dir));
    std::string log = readFile(dir + "/docs/QV.log");
    EXPECT_NE(log.find("Reports 1 Computer(s)\r\n"
                       "  QV.mdb cannot be used: it cannot be created in the working folder: unable to open database file\r\n"
                       "            Warning: Database requirements not met.\r\n"
                       "                     Database will not be created and data not written.\r\n"
                       "**Inventory Activities**\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" PC01 Inventory Completed\r\n"), std::string::npos);
    EXPECT_NE(readFile(dir + "/docs/QVPC01.txt").find("**Operating System**"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir + "/docs/QV.mdb"));
    for (const auto& entry : fs::directory_iterator(dir + "/docs"))
        EXPECT_EQ(entry.path().filename().string().rfind("QV.mdb", 0), std::string::npos) << entry.path();
    chmod((dir + "/docs").c_str(), 0777);
    fs::remove_all(dir);
}

// The database and the output files are what the log says: files in the way of QV.mdb, QV.log
// and reports (folders, links, FIFOs, other schemas), keys the database refuses, and first runs
// started together in one folder.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

// The standard fixture with PC01 and a computer whose name is longer than the key column.
std::string network(const std::string& now = "2026-12-08T09:30:05") {
    json fixture = json::parse(standardFixture());
    fixture["now"] = now;
    json pc = {{"classes", {{"Win32_ComputerSystem", {{{"Domain", "CORP"}, {"DomainRole", 1}}}},
                            {"Win32_Environment", {{{"UserName", "<SYSTEM>"}, {"Name", "PATH"}, {"VariableValue", "C:\\"}}}}}}};
    fixture["wmi"] = {{"WS01", {{"classes", json::object()}}}, {"PC01", pc}, {"SERVER01.CORP.EXAMPLE", pc}};
    return fixture.dump();
}

std::string count(const std::string& dir, const std::string& sql) { return queryValue(dir + "/docs/QV.mdb", sql); }

bool leftovers(const std::string& docs) {
    for (const auto& entry : fs::directory_iterator(docs)) {
        const std::string name = entry.path().filename();
        if (name.rfind("QV.mdb.creating", 0) == 0 || name == "QV.mdb-journal") return true;
    }
    return false;
}

}  // namespace

TEST(DatabaseTruth, WhatStandsInTheWayIsRefusedAndSaid) {
    struct Case {
        const char* what;
        std::function<void(const std::string& docs)> prepare;
        std::string console, log;  // expected substrings ("" for none)
        std::function<void(const std::string& dir)> check;
        bool created = false;  // the run made QV.mdb
    };
    const std::string warning = "\r\nWarning: Database requirements not met.\r\nDatabase will not be created and data not written.\r\n";
    const Case cases[] = {
        {"QV.mdb a folder", [](const std::string& docs) { fs::create_directory(docs + "/QV.mdb"); },
         "QV.mdb cannot be used: a folder has its name" + warning, "  QV.mdb cannot be used: a folder has its name\r\n",
         [](const std::string& dir) { EXPECT_TRUE(fs::is_empty(dir + "/docs/QV.mdb")); }},
        {"QV.mdb a link pointing nowhere", [](const std::string& docs) { fs::create_symlink(docs + "/../elsewhere.mdb", docs + "/QV.mdb"); },
         "QV.mdb cannot be used: it is a link", "", [](const std::string& dir) { EXPECT_FALSE(fs::exists(dir + "/elsewhere.mdb")); }},
        {"QV.mdb of another program",
         [](const std::string& docs) {
             sqlite3* db = nullptr;
             ASSERT_EQ(sqlite3_open((docs + "/QV.mdb").c_str(), &db), SQLITE_OK);
             EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE Orders(id INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
             sqlite3_close(db);
         },
         "QV.mdb cannot be used: it has no table DeviceID" + warning, "",
         [](const std::string& dir) { EXPECT_EQ(queryValue(dir + "/docs/QV.mdb", "SELECT count(*) FROM sqlite_master"), "1"); }},
        {"QV.log a link", [](const std::string& docs) { fs::create_symlink(docs + "/../stolen.log", docs + "/QV.log"); },
         "cannot be opened for writing! ***\r\n**Unable to open Log file**", "",
         [](const std::string& dir) { EXPECT_FALSE(fs::exists(dir + "/stolen.log")); }},
        {"QV.log a FIFO", [](const std::string& docs) { ASSERT_EQ(::mkfifo((docs + "/QV.log").c_str(), 0644), 0); },
         "**Unable to open Log file**", "", nullptr},
        {"a report a link", [](const std::string& docs) { fs::create_symlink(docs + "/../stolen.txt", docs + "/QVPC01.txt"); },
         "*** File: QVPC01.txt cannot be opened for Appending! ***", "PC01 Report file QVPC01.txt cannot be opened; computer skipped",
         [](const std::string& dir) {
             EXPECT_FALSE(fs::exists(dir + "/stolen.txt"));
             EXPECT_EQ(count(dir, "SELECT count(*) FROM DeviceID"), "0");
         },
         true},
        {"a report in another letter case a link",
         [](const std::string& docs) { fs::create_symlink(docs + "/../stolen.txt", docs + "/qvpc01.txt"); },
         "*** File: QVPC01.txt cannot be opened for Appending! ***", "PC01 Report file QVPC01.txt cannot be opened; computer skipped",
         [](const std::string& dir) {
             EXPECT_FALSE(fs::exists(dir + "/stolen.txt"));
             EXPECT_FALSE(fs::exists(dir + "/docs/QVPC01.txt"));
         },
         true},
        {"a name longer than its key column", nullptr,
         "SERVER01.CORP.EXAMPLE Rows not written to QV.mdb: DeviceName holds at most 16 characters\r\n",
         "SERVER01.CORP.EXAMPLE Rows not written to QV.mdb: DeviceName holds at most 16 characters\r\n"
         " SERVER01.CORP.EXAMPLE Inventory Completed\r\n",
         [](const std::string& dir) {
             EXPECT_EQ(count(dir, "SELECT group_concat(DeviceName) FROM DeviceID"), "PC01");
             EXPECT_EQ(count(dir, "SELECT count(*) FROM EnvStrings"), "1");
             EXPECT_NE(readFile(dir + "/docs/QVSERVER01.CORP.EXAMPLE.txt").find("PATH=C:\\"), std::string::npos);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = makeTempDir();
        fs::create_directories(dir + "/docs");
        if (c.prepare) c.prepare(dir + "/docs");
        auto start = std::chrono::steady_clock::now();
        auto r = runSim(network(), {"PC01", "SERVER01.CORP.EXAMPLE"}, dir);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // nothing blocks
        // SERVER01.CORP.EXAMPLE's rows are never written (its name is longer than its key column).
        EXPECT_EQ(r.exitCode, r.out.find("**Unable to open Log file**") != std::string::npos ? 3 : 1);
        // (A FIFO in the log's place is not read: the test would wait for a writer.)
        const std::string log = fs::is_regular_file(dir + "/docs/QV.log") ? r.file("docs/QV.log") : std::string();
        EXPECT_NE(r.out.find(c.console), std::string::npos) << r.out;
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        EXPECT_EQ(log.find("QV.mdb Created") != std::string::npos, c.created) << log;
        EXPECT_FALSE(leftovers(dir + "/docs"));
        if (c.check) c.check(dir);
    }
}

TEST(DatabaseTruth, ASecondInventoryWithTheSameKeyWritesNoRowAndSaysWhy) {
    const std::string dir = makeTempDir();
    runSim(network(), {"PC01"}, dir);
    auto again = runSim(network(), {"PC01"}, dir);  // the same start time
    EXPECT_NE(again.file("docs/QV.log")
                  .find("PC01 Rows not written to QV.mdb: an inventory of PC01 with this run's start time is already "
                        "stored\r\n PC01 Inventory Completed\r\n"),
              std::string::npos);
    EXPECT_EQ(count(dir, "SELECT count(*) FROM DeviceID"), "1");
    EXPECT_EQ(count(dir, "SELECT count(*) FROM EnvStrings"), "1");
    EXPECT_FALSE(leftovers(dir + "/docs"));
}

TEST(DatabaseTruth, FirstRunsStartedTogetherKeepEveryRow) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string dir = makeTempDir();
        std::vector<std::thread> runs;
        for (int i = 0; i < 3; ++i) {
            writeFile(dir + "/f" + std::to_string(i) + ".json", network("2026-12-08T09:30:0" + std::to_string(i)));
            runs.emplace_back([dir, i] {
                const std::string n = std::to_string(i);
                std::system(("cd '" + dir + "' && '" QV_SIM_PATH "' f" + n + ".json PC01 >.out" + n + " 2>.err" + n).c_str());
            });
        }
        for (std::thread& t : runs) t.join();
        const std::string log = readFile(dir + "/docs/QV.log");
        std::size_t created = 0, starts = 0;
        for (std::size_t at = log.find("  QV.mdb Created\r\n"); at != std::string::npos; at = log.find("  QV.mdb Created\r\n", at + 1))
            ++created;
        for (std::size_t at = log.find("**Start "); at != std::string::npos; at = log.find("**Start ", at + 1)) ++starts;
        EXPECT_EQ(created, 1u) << log;
        EXPECT_EQ(starts, 3u) << log;
        EXPECT_EQ(count(dir, "SELECT count(*) FROM DeviceID"), "3");
        EXPECT_EQ(count(dir, "SELECT count(DISTINCT InvDateTime) FROM EnvStrings"), "3");
        EXPECT_EQ(count(dir, "PRAGMA integrity_check"), "ok");
        EXPECT_FALSE(leftovers(dir + "/docs"));
    }
}

TEST(DatabaseTruth, AReportThatCannotBeWrittenWholeIsSaidAndNotCalledCompleted) {
    // A file-size limit of 48 KB stands in for a full disk: the report of a computer with a
    // long environment stops part-way (and the database cannot be built at all).
    json fixture = json::parse(network());
    json env = json::array();
    for (int i = 0; i < 2000; ++i) env.push_back({{"UserName", "<SYSTEM>"}, {"Name", "VAR" + std::to_string(i)}, {"VariableValue", "x"}});
    fixture["wmi"]["PC01"]["classes"]["Win32_Environment"] = env;
    const std::string dir = makeTempDir();
    writeFile(dir + "/fixture.json", fixture.dump());
    std::system(("cd '" + dir + "' && (trap '' XFSZ; ulimit -f 48; '" QV_SIM_PATH "' fixture.json PC01 >.out 2>.err)").c_str());
    const std::string out = readFile(dir + "/.out"), log = readFile(dir + "/docs/QV.log");
    const std::string said = "PC01 Report file QVPC01.txt could not be written; its report is incomplete\r\n";
    EXPECT_NE(out.find(said), std::string::npos) << out;
    EXPECT_NE(log.find(said), std::string::npos) << log;
    EXPECT_EQ(log.find("PC01 Inventory Completed"), std::string::npos) << log;
    EXPECT_NE(out.find("QV.mdb cannot be used: "), std::string::npos) << out;
    EXPECT_NE(out.find("Program Complete Normal End"), std::string::npos) << out;
    EXPECT_FALSE(leftovers(dir + "/docs"));
}

// Failing and full disks: a fault stepped through every file operation of a small run, and what each run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

using namespace qvtest;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kComputers = {"PC01", "PC02", "PC03"};

// A computer with a few facts of each phase: a report of some lines and rows in several tables.
json computer(const std::string& name) {
    json env = json::array();
    for (int i = 0; i < 6; ++i)
        env.push_back({{"UserName", "<SYSTEM>"}, {"Name", "VAR" + std::to_string(i)}, {"VariableValue", "value of " + name}});
    return {{"classes",
             {{"Win32_ComputerSystem", {{{"Domain", "CORP"}, {"PartOfDomain", true}, {"DomainRole", 1}, {"TotalPhysicalMemory", "536870912"}}}},
              {"Win32_OperatingSystem", {{{"Name", "Microsoft Windows XP Professional|C:\\WINDOWS"}, {"OSType", 18}, {"CodeSet", "1252"}}}},
              {"Win32_Environment", env},
              {"Win32_LogicalDisk", {{{"Name", "C:"}, {"DriveType", 3}, {"FileSystem", "NTFS"}, {"Size", "40000000000"}, {"FreeSpace", "20000000000"}}}},
              {"Win32_BaseService", {{{"Name", "Dhcp"}, {"State", "Running"}}}}}}};
}

// A domain run ("/B"): the directory lists the computers and the WINS dump names them again, so the
// work files are written and read but a WINS source that fails leaves the same list.
std::string fixture(const json& faults) {
    json f = json::parse(standardFixture());
    f["wmi"]["WS01"]["classes"]["Win32_BaseService"] = json::array({{{"Name", "WINS"}}});
    json listed = json::array();
    std::string dump = "NAME                \tIPADDRESS  \tGROUP          \tSTATE\r\n";
    for (const std::string& n : kComputers) {
        f["wmi"][n] = computer(n);
        listed.push_back({{"name", n}});
        dump += n + std::string(15 - n.size(), ' ') + "[00h]\t10.0.0.1\tUNIQUE\tACTIVE\r\n";
    }
    f["directory"] = {{"DC01", {{"defaultNamingContext", "DC=corp,DC=example,DC=com"}, {"computers", listed}}}};
    f["netsh"] = {{"dump", dump}, {"chunks", 1}};
    f["faults"] = faults;
    return f.dump();
}

// Every row of each computer, table by table, each row's values joined and the rows sorted.
std::map<std::string, std::string> rowsByComputer(const std::string& db) {
    std::map<std::string, std::vector<std::string>> rows;
    for (const auto& t : queryDb(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))
        for (const auto& r : queryDb(db, "SELECT DeviceName, * FROM \"" + t[0] + "\"")) {
            std::string line = t[0] + ":";
            for (std::size_t i = 1; i < r.size(); ++i) line += " " + r[i];
            rows[r[0]].push_back(line);
        }
    std::map<std::string, std::string> joined;
    for (auto& [computer, lines] : rows) {
        std::sort(lines.begin(), lines.end());
        for (const std::string& line : lines) joined[computer] += line + "\n";
    }
    return joined;
}

// A new folder for one run, in memory where the system has a memory file system: the database's
// syncs then cost nothing and a few hundred runs take seconds.
std::string runFolder() {
    std::string tmpl = "/dev/shm/qvfaults-XXXXXX";
    if (!fs::is_directory("/dev/shm") || !::mkdtemp(tmpl.data())) return makeTempDir();
    return tmpl;
}

struct Outcome {
    SimResult run;
    std::string log;
    std::map<std::string, std::string> rows, reports;
    std::map<std::string, long> operations;  // from the fixture's count at the end
};

Outcome runWith(const json& faults) {
    Outcome o;
    const std::string dir = runFolder();
    fs::create_directory(dir + "/docs");
    o.run = runSim(fixture(faults), {"/B"}, dir);
    o.log = o.run.file("docs/QV.log");
    const std::string db = dir + "/docs/QV.mdb";
    // A journal a failed rollback left is played back by the next connection that may write, as
    // by the next run.
    const bool hasDb = fs::exists(db) && execDb(db, "SELECT count(*) FROM DeviceID") &&
                       queryValue(db, "PRAGMA integrity_check") == "ok";
    if (hasDb) o.rows = rowsByComputer(db);
    for (const std::string& n : kComputers) o.reports[n] = o.run.file("docs/QV" + n + ".txt");
    // "File operations: open 15 write 1107 ...", the fixture's count at the run's end.
    const std::size_t counted = o.run.err.rfind("File operations:");
    if (counted != std::string::npos) {
        std::istringstream in(o.run.err.substr(counted + 16, o.run.err.find('\n', counted) - counted - 16));
        std::string op;
        long n = 0;
        while (in >> op >> n) o.operations[op] = n;
    }
    return o;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The operations a fault is stepped through: every one of a short run, else the first and last
// ones and an even spread between, starting at `phase` (0 to the spread's step - 1).
std::vector<long> positions(long total, unsigned phase) {
    const long kEdge = 6, kSpread = 16;
    const long step = std::max(1L, (total - 2 * kEdge) / kSpread);
    std::set<long> at;
    for (long n = 1; n <= total; ++n)
        if (n <= kEdge || n > total - kEdge || (n - kEdge) % step == static_cast<long>(phase % step)) at.insert(n);
    return {at.begin(), at.end()};
}

}  // namespace

TEST(FaultInjection, EveryFileOperationCanFailAndNothingIsLostWithoutAWord) {
    // The run without a fault: what each computer leaves, and how many operations of each kind.
    const Outcome reference = runWith(json::array());
    ASSERT_EQ(reference.run.exitCode, 0);
    ASSERT_TRUE(has(reference.run.err, "File operations:")) << reference.run.err;
    for (const std::string& n : kComputers) {
        ASSERT_TRUE(has(reference.log, " " + n + " Inventory Completed\r\n")) << reference.log;
        ASSERT_TRUE(has(reference.rows.at(n), "EnvStrings: ")) << n;
        ASSERT_TRUE(has(reference.reports.at(n), "Target Computer: " + n)) << n;
    }
    fs::remove_all(reference.run.dir);

    struct Case {
        const char* operation;
        bool forGood;
        bool diskFull;
    };
    const Case cases[] = {
        {"open", false, false},     {"open", true, false},     {"write", false, false}, {"write", true, false},
        {"sync", false, false},     {"sync", true, false},     {"rename", false, false}, {"rename", true, false},
        {"delete", false, false},   {"delete", true, false},   {"truncate", false, false}, {"truncate", true, false},
        {"write", true, true},  // the disk is full from that write on
    };
    struct Step {
        const Case* c;
        long at, total;
        Outcome outcome;
    };
    // Each run of the test steps through other operations between the first and last ones.
    const unsigned phase = std::random_device{}();
    SCOPED_TRACE("phase " + std::to_string(phase));
    std::vector<Step> steps;
    for (const Case& c : cases) {
        const long total = reference.operations.at(c.operation);
        for (long n : positions(total, phase)) steps.push_back({&c, n, total, {}});
    }
    // The runs, two at a time; then each is looked at.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < steps.size(); i = next++) {
            const Step& s = steps[i];
            steps[i].outcome = runWith(json::array(
                {{{"operation", s.c->operation}, {"at", s.at}, {"forGood", s.c->forGood}, {"diskFull", s.c->diskFull}}}));
        }
    };
    std::thread helper(work);
    work();
    helper.join();

    for (const Step& step : steps) {
        const Case& c = *step.c;
        const Outcome& o = step.outcome;
        const SimResult& r = o.run;
        const std::size_t traced = r.err.find("Fault: ");
        SCOPED_TRACE(std::string(c.operation) + " " + std::to_string(step.at) + " of " + std::to_string(step.total) +
                     (c.forGood ? " for good" : " once") + (c.diskFull ? ", disk full" : "") + "; first " +
                     (traced == std::string::npos ? "(none)" : r.err.substr(traced, r.err.find('\n', traced) - traced)));

        // The run ends normally, and the log with it, unless the console says the log could not be kept.
        EXPECT_TRUE(has(r.err, "Stopped Quorvex: ")) << r.err;
        EXPECT_NE(traced, std::string::npos) << r.err;
        const bool logOpened = !has(r.out, "**Unable to open Log file**");
        const bool logBroken = has(r.out, "QV.log could not be written; the log is incomplete ***");
        if (logOpened && !logBroken) {
            EXPECT_TRUE(std::regex_search(o.log, std::regex("\\*\\*Normal End [^\r]*\r\n\\*{19}\r\n\r\n$"))) << o.log;
        }
        // Where the log could not be kept, what it would have said must stand on the console.
        const std::string& said = logBroken ? r.out : o.log;

        // The database, when there is one, is sound; without one the run says so.
        const std::string db = r.dir + "/docs/QV.mdb";
        if (fs::exists(db)) {
            EXPECT_EQ(queryValue(db, "PRAGMA integrity_check"), "ok");
        }
        const bool noDatabase = has(r.out, "Database will not be created and data not written.");
        // The exit status: not started without a log, else done only when every computer is whole.
        if (!logOpened) {
            EXPECT_EQ(r.exitCode, 3);
        } else if (!logBroken) {
            bool allCompleted = !noDatabase;
            for (const std::string& n : kComputers) allCompleted = allCompleted && has(o.log, " " + n + " Inventory Completed\r\n");
            EXPECT_EQ(r.exitCode, allCompleted ? 0 : 1);
        }
        EXPECT_FALSE(has(r.out, ": not an error")) << r.out;  // a refusal always says its reason

        for (const std::string& n : kComputers) {
            if (!logOpened) break;
            SCOPED_TRACE(n);
            const std::string rows = o.rows.count(n) ? o.rows.at(n) : "";
            const bool completed = has(o.log, " " + n + " Inventory Completed\r\n");
            const bool rowsWhole = noDatabase || rows == reference.rows.at(n);
            const bool reportWhole = o.reports.at(n) == reference.reports.at(n);
            // A computer called completed is whole: its report and (with a database) its rows.
            if (completed) {
                EXPECT_TRUE(rowsWhole) << rows;
                EXPECT_TRUE(reportWhole) << o.reports.at(n);
            }
            // A computer's rows are stored all or not at all.
            EXPECT_TRUE(rows.empty() || rows == reference.rows.at(n)) << rows;
            // Every loss is named.
            const bool skipped = has(said, n + " Report file QV" + n + ".txt cannot be opened; computer skipped") ||
                                 has(r.out, "*** File: QV" + n + ".txt cannot be opened for Appending! ***");
            if (!rowsWhole) {
                EXPECT_TRUE(skipped || has(said, n + " Rows not written to QV.mdb: ")) << said;
            }
            if (!reportWhole) {
                EXPECT_TRUE(skipped || has(said, n + " Report file QV" + n + ".txt could not be written; its report is incomplete"))
                    << said;
            }
        }
        // The work files are gone, or the run says which could not be removed.
        for (const char* work : {"WinsDB.txt", "CleanWINS.txt", "Schema.ini"}) {
            if (fs::exists(r.dir + "/docs/" + work)) {
                EXPECT_TRUE(has(r.out, std::string("Unable to delete ") + work)) << r.out;
            }
        }
        fs::remove_all(r.dir);
    }
    EXPECT_GT(steps.size(), 100u);
}

TEST(FaultInjection, AFullDiskAtTheFirstRunNamesTheFullDisk) {
    const Outcome o = runWith(json::array({{{"operation", "write"}, {"at", 1}, {"forGood", true}, {"diskFull", true}}}));
    EXPECT_TRUE(has(o.run.out, "\r\nQV.mdb cannot be used: it cannot be created in the working folder: database or disk is full\r\n"
                               "Warning: Database requirements not met.\r\n"))
        << o.run.out;
    EXPECT_FALSE(fs::exists(o.run.dir + "/docs/QV.mdb"));
    fs::remove_all(o.run.dir);
}

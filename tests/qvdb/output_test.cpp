// qvdb's output folders: never the documents folder, one file per computer, no work folder left by interrupted or concurrent runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "qvdb/commands.h"
#include "qvdb/output_folder.h"
#include "tests/qvdb/qvdb_support.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The hidden entries qvdb made beside `out` (work folders, lock file).
std::vector<std::string> besides(const std::string& out) {
    std::vector<std::string> found;
    const std::string prefix = "." + fs::path(out).filename().string() + ".";
    for (const auto& e : fs::directory_iterator(fs::path(out).parent_path()))
        if (e.path().filename().string().starts_with(prefix)) found.push_back(e.path().filename().string());
    return found;
}

qvtest::Result qvdbWithDocuments(const std::vector<std::string>& args, const std::string& documents) {
    std::ostringstream out, err;
    qvtest::Result r;
    r.status = qv::qvdb::runQvdb(args, out, err, documents);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// qvdb as a program of its own whose standard output is a full pipe: it stops at its first
// line, printed once its work folder is made, until it is ended.
struct StuckRun {
    pid_t pid = -1;
    int pipeRead = -1;
    StuckRun(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pipeRead = fds[0];
        ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
        const std::string fill(4096, 'x');
        while (::write(fds[1], fill.data(), fill.size()) > 0) {
        }
        while (::write(fds[1], fill.data(), 1) > 0) {
        }
        ::fcntl(fds[1], F_SETFL, 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> all = {QVDB_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, QVDB_PATH, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
    }
    ~StuckRun() {
        if (pid > 0) end(SIGKILL);
        if (pipeRead >= 0) ::close(pipeRead);
    }
    // How the program ended when sent `signal`: the signal's number, or -1.
    int end(int signal) {
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    }
};

// Waits until the run has made its work folder beside `out`, marked whole (it then waits for its
// output); the test's own stand-in for a live run ("-live") does not count.
bool workFolderMade(const std::string& out) {
    const fs::path parent = fs::path(out).parent_path();
    for (int i = 0; i < 6000; ++i) {
        for (const std::string& name : besides(out))
            if (name.find(".part-") != std::string::npos && !name.ends_with("-live") &&
                fs::exists(parent / name / ".qvdb-output"))
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST(QvdbOutput, NeverTheDocumentsFolderNorOneHoldingQvFiles) {
    const std::string dir = qvtest::makeTempDir(), docs = dir + "/Documents";
    fs::create_directories(docs);
    const std::string db = dir + "/inventory.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    // Folders an earlier qvdb wrote (their marker) that hold what qv writes since.
    fs::create_directories(dir + "/old-report");
    qvtest::writeFile(dir + "/old-report/.qvdb-output", "");
    qvtest::writeFile(dir + "/old-report/QV.mdb", "rows");
    fs::create_directories(dir + "/old-csv");
    qvtest::writeFile(dir + "/old-csv/.qvdb-output", "");
    qvtest::writeFile(dir + "/old-csv/qv.LOG", "lines");
    fs::create_directories(dir + "/holder/inner");
    qvtest::writeFile(dir + "/holder/.qvdb-output", "");
    struct Case {
        const char* what;
        std::string out, documents;
        const char* message;  // "" when the run succeeds
    } cases[] = {
        {"the empty documents folder", docs, docs, "it is the documents folder"},
        {"the documents folder, written another way", dir + "/./Documents/", docs, "it is the documents folder"},
        {"a folder holding QV.mdb", dir + "/old-report", docs, "it holds QV.mdb"},
        {"a folder holding QV.log in other letter case", dir + "/old-csv", docs, "it holds qv.LOG"},
        {"a folder holding the documents folder", dir + "/holder", dir + "/holder/inner", "it holds the documents folder"},
        {"a new folder", dir + "/new", docs, ""},
    };
    for (const char* command : {"report", "export"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command) + ": " + c.what);
            std::vector<std::string> args = {command, "--database", db, "--out", c.out};
            if (std::string(command) == "export") args.insert(args.begin() + 1, {"--format", "csv"});
            fs::remove_all(dir + "/new");
            qvtest::Result r = qvdbWithDocuments(args, c.documents);
            if (!*c.message) {
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_TRUE(fs::exists(c.out + "/.qvdb-output"));
                continue;
            }
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("will not write into "), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        }
    }
    EXPECT_TRUE(fs::is_empty(docs));
    EXPECT_EQ(qvtest::readFile(dir + "/old-report/QV.mdb"), "rows");
    EXPECT_EQ(qvtest::readFile(dir + "/old-csv/qv.LOG"), "lines");
    EXPECT_TRUE(fs::exists(dir + "/holder/inner"));
}

TEST(QvdbOutput, FileNamesAreUniqueBoundedAndNoDeviceNames) {
    const std::string longName(300, 'A');
    struct Case {
        std::string wanted, extension, name;
    } cases[] = {
        {"PC#1", ".json", "PC_1.json"},
        {"PC$1", ".json", "PC_1-2.json"},
        {"pc_1", ".json", "pc_1-3.json"},
        {"PC1", ".json", "PC1.json"},
        {"pc1", ".json", "pc1-2.json"},
        {"CON", ".json", "_CON.json"},
        {"nul.corp", ".json", "_nul.corp.json"},
        {"Com1", ".html", "_Com1.html"},
        {"LPT9.x", ".json", "_LPT9.x.json"},
        {"COM10", ".json", "COM10.json"},
        {"CONSOLE", ".json", "CONSOLE.json"},
        {".hidden", ".json", "_.hidden.json"},
        {"", ".json", "_.json"},
        {longName, ".json", std::string(200, 'A') + "-"},
        {longName + "B", ".json", std::string(200, 'A') + "-"},
        {longName, ".json", std::string(200, 'A') + "-"},
    };
    qv::qvdb::FileNames names;
    std::set<std::string> given;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wanted.substr(0, 20));
        const std::string name = qv::qvdb::uniqueFileName(names, c.wanted, c.extension);
        if (c.wanted.size() > 255) {
            EXPECT_EQ(name.rfind(c.name, 0), 0u) << name;
            EXPECT_LE(name.size(), 255u);
            EXPECT_TRUE(name.ends_with(c.extension));
        } else {
            EXPECT_EQ(name, c.name);
        }
        std::string lower = name;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_TRUE(given.insert(lower).second) << name;
    }

    // Computers whose names clean to one file name, or are too long for one: a file each, and
    // the count said is the count written.
    const std::string dir = qvtest::makeTempDir(), db = dir + "/QV.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    const std::vector<std::string> renamed = {"PC#1", "PC$1", "pc#1", "CON", longName, longName + "B"};
    std::string sql = "PRAGMA ignore_check_constraints = 1;";  // qv never writes names this long
    for (std::size_t i = 0; i < renamed.size(); ++i)
        for (const std::string& table : qvtest::queryJoined(db, "SELECT name FROM sqlite_master WHERE type = 'table'"))
            sql += "UPDATE \"" + table + "\" SET DeviceName = '" + renamed[i] + "' WHERE DeviceName = 'PC000" +
                   std::to_string(i + 1) + "';";
    std::string error;
    ASSERT_TRUE(qvtest::execDb(db, sql, &error, false)) << error;
    const std::size_t computers = std::stoul(qvtest::queryValue(db, "SELECT count(DISTINCT DeviceName) FROM DeviceID"));
    qvtest::Result glpi = qvtest::qvdb({"export", "--format", "glpi", "--database", db, "--out", dir + "/glpi"});
    ASSERT_EQ(glpi.status, 0) << glpi.err;
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir + "/glpi")) files += e.path().extension() == ".json";
    EXPECT_EQ(files, computers);
    EXPECT_NE(glpi.out.find(std::to_string(computers) + " of " + std::to_string(computers) + " documents"), std::string::npos)
        << glpi.out;
    EXPECT_TRUE(fs::exists(dir + "/glpi/_CON.json"));
    qvtest::Result report = qvtest::qvdb({"report", "--database", db, "--out", dir + "/site"});
    ASSERT_EQ(report.status, 0) << report.err;
    std::size_t pages = 0;
    for (const auto& e : fs::directory_iterator(dir + "/site/c")) pages += e.path().extension() == ".html";
    EXPECT_EQ(pages, computers);
    EXPECT_TRUE(fs::exists(dir + "/site/c/_CON.html"));
}

TEST(QvdbOutput, InterruptedAndConcurrentRunsLeaveNoWorkFolder) {
    const std::string dir = qvtest::makeTempDir(), out = dir + "/site";
    const std::vector<std::string> args = {"report", "--database", qvtest::fleetDatabase(), "--out", out};
    // The work folder of a run still going on (this process) is never taken for a leftover.
    const std::string live = dir + "/.site.part-live";
    fs::create_directories(live);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    qvtest::writeFile(live + "/.qvdb-writer", std::to_string(::getpid()) + " " + host + "\n");

    {
        StuckRun first(args);
        ASSERT_GT(first.pid, 0);
        ASSERT_TRUE(workFolderMade(out));
        // A second run on the same folder meanwhile is refused, naming the first.
        qvtest::Result second = qvtest::qvdb(args);
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.err.find("another qvdb run (process " + std::to_string(first.pid) + ") is writing " + out),
                  std::string::npos)
            << second.err;
        // Ended by SIGTERM: its work folder and lock go with it.
        EXPECT_EQ(first.end(SIGTERM), SIGTERM);
        EXPECT_EQ(besides(out), std::vector<std::string>{".site.part-live"});
        EXPECT_FALSE(fs::exists(out));
    }
    {
        // Killed outright, it leaves them; the next run removes them as its writer is gone.
        StuckRun killed(args);
        ASSERT_GT(killed.pid, 0);
        ASSERT_TRUE(workFolderMade(out));
        EXPECT_EQ(killed.end(SIGKILL), SIGKILL);
        EXPECT_GT(besides(out).size(), 1u);
    }
    for (int run = 0; run < 2; ++run) {
        qvtest::Result next = qvtest::qvdb(args);
        ASSERT_EQ(next.status, 0) << next.err;
        EXPECT_EQ(besides(out), std::vector<std::string>{".site.part-live"});
        EXPECT_TRUE(fs::exists(out + "/index.html"));
        EXPECT_FALSE(fs::exists(out + "/.qvdb-writer"));
    }
}

TEST(QvdbOutput, LongValuesAreCutOnPagesAndWholeInExports) {
    const std::string dir = qvtest::makeTempDir(), db = dir + "/QV.mdb";
    fs::copy_file(qvtest::fleetDatabase(), db);
    struct Case {
        std::size_t length;  // of the manufacturer's name of the computer, in characters
        const char* computer;
        bool cut;
    } cases[] = {{1000, "PC0001", false}, {1001, "PC0002", true}, {100000, "PC0003", true}};
    std::string error;
    for (const Case& c : cases)
        ASSERT_TRUE(qvtest::execDb(db,
                                   "PRAGMA ignore_check_constraints = 1; UPDATE DeviceID SET Manufacturer = 'M' || substr(hex(zeroblob(" + std::to_string(c.length) +
                                       ")), 1, " + std::to_string(c.length - 1) + ") WHERE DeviceName = '" + c.computer + "'",
                                   &error, false))
            << error;
    // Long values the GLPI document trims, escapes and converts, read one at a time.
    ASSERT_TRUE(qvtest::execDb(db,
                               "PRAGMA ignore_check_constraints = 1; UPDATE DeviceID SET Model = '  a\"b' || "
                               "substr(hex(zeroblob(50000)), 1, 99990) || char(9, 10) WHERE DeviceName = 'PC0003'; "
                               "UPDATE BIOS SET ReleaseDate = printf('%70000s', '20040229') WHERE DeviceName = 'PC0003'",
                               &error, false))
        << error;
    ASSERT_EQ(qvtest::qvdb({"report", "--database", db, "--out", dir + "/site"}).status, 0);
    ASSERT_EQ(qvtest::qvdb({"export", "--format", "csv", "--database", db, "--out", dir + "/csv"}).status, 0);
    ASSERT_EQ(qvtest::qvdb({"export", "--format", "glpi", "--database", db, "--out", dir + "/glpi"}).status, 0);
    const std::string csv = qvtest::readFile(dir + "/csv/DeviceID.csv");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.computer);
        const std::string whole = "M" + std::string(c.length - 1, '0');
        const std::string page = qvtest::readFile(dir + "/site/c/" + c.computer + ".html");
        const std::string shown = whole.substr(0, 1000) + (c.cut ? "\u2026 (" : "<");
        EXPECT_NE(page.find(shown), std::string::npos);
        EXPECT_EQ(page.find(whole.substr(0, 1001)) != std::string::npos, !c.cut);
        if (c.cut) {
            std::string length = std::to_string(c.length);
            if (length.size() > 3) length.insert(length.size() - 3, ",");
            EXPECT_NE(page.find("\u2026 (" + length + " characters)"), std::string::npos);
        }
        EXPECT_NE(csv.find("," + whole + ","), std::string::npos);
        EXPECT_NE(qvtest::readFile(dir + "/glpi/" + c.computer + ".json").find("\"" + whole + "\""), std::string::npos);
    }
    const std::string document = qvtest::readFile(dir + "/glpi/PC0003.json");
    EXPECT_NE(document.find("\"smodel\": \"a\\\"b" + std::string(99990, '0') + "\""), std::string::npos);
    EXPECT_NE(document.find("\"bdate\": \"2004-02-29\""), std::string::npos);
}

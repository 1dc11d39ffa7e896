// qvdb import: QV.mdb files of earlier runs copied into a PostgreSQL server the test starts, each
// inventory once, files that are not inventory databases refused with the reason.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/support/db_read.h"
#include "tests/support/fleet_fixture.h"
#include "tests/support/pg_server.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

using namespace qvtest;
using json = nlohmann::ordered_json;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

// qvdb with the arguments, QV_DATABASE set to `database` (unset when empty).
Ran qvdb(const std::vector<std::string>& args, const std::string& database) {
    const std::string dir = makeTempDir();
    std::string cmd = database.empty() ? "unset QV_DATABASE; " : "QV_DATABASE='" + database + "' ";
    // Bounded, so that a run that would never end fails the test instead of hanging it.
    cmd += "timeout 120 '" QVDB_PATH "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " >'" + dir + "/out' 2>'" + dir + "/err' </dev/null";
    Ran r;
    int s = std::system(cmd.c_str());
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.out = readFile(dir + "/out");
    r.err = readFile(dir + "/err");
    return r;
}

// A folder whose QV.mdb holds `runs` runs of the computers named, a minute apart.
std::string filesOf(const std::vector<std::string>& computers, int runs, int firstMinute) {
    const std::string dir = makeTempDir();
    for (int run = 0; run < runs; ++run) {
        json fixture = json::parse(standardFixture());
        char now[32];
        std::snprintf(now, sizeof now, "2026-12-08T09:%02d:05", firstMinute + run);
        fixture["now"] = now;
        for (const std::string& name : computers)
            fixture["wmi"][name] = {{"classes",
                                     {{"Win32_ComputerSystem", {{{"Domain", "CORP"}, {"DomainRole", 1}}}},
                                      {"Win32_Environment",
                                       {{{"UserName", "<SYSTEM>"}, {"Name", "PATH"}, {"VariableValue", "C:\\" + name}},
                                        {{"UserName", "<SYSTEM>"}, {"Name", "TEMP"}, {"VariableValue", nullptr}}}},
                                      {"Win32_Printer", {{{"DeviceID", "P"}, {"Default", true}}}}}}};
        runSim(fixture.dump(), computers, dir);
    }
    return dir + "/docs/QV.mdb";
}

std::string value(const std::string& database, const std::string& sql) {
    auto rows = PgServer::instance().rows(database, sql);
    return rows.empty() ? "?" : rows[0];
}

}  // namespace

TEST(QvdbImport, EveryInventoryOnceAndWhatIsNoInventoryRefused) {
    PgServer& server = PgServer::instance();
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.failure(), "");
    const std::string a = filesOf({"PC01", "PC02", "PC03"}, 2, 0), b = filesOf({"PC04", "PC01"}, 1, 30);
    const std::string database = server.newDatabase(), connection = server.connection(database);

    struct Step {
        const char* what;
        std::vector<std::string> files;
        std::string out;          // what qvdb prints
        std::string err;          // a part of its errors ("" for none)
        int status;
        std::string inventories;  // DeviceID rows on the server after the step
    };
    const std::string text = makeTempDir() + "/notes.txt", other = makeTempDir() + "/orders.db";
    writeFile(text, "not a database at all, just some text that is long enough to look like a header........\n");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE Orders(id INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const Step steps[] = {
        {"a file of two runs", {a}, "6 inventories imported, 0 already there\n", "", 0, "6"},
        {"the same file again", {a}, "0 inventories imported, 6 already there\n", "", 0, "6"},
        {"another file and the first", {b, a}, "2 inventories imported, 6 already there\n", "", 0, "8"},
        {"files that are not inventories beside one that is",
         {text, other, "/nonexistent/QV.mdb", b},
         "0 inventories imported, 2 already there\n",
         text + " is not an inventory database: file is not a database\nqvdb import: " + other +
             " is not an inventory database: it has no table DeviceID\nqvdb import: /nonexistent/QV.mdb is not an inventory "
             "database: it does not exist\n",
         1, "8"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        Ran r = qvdb([&] {
            std::vector<std::string> args = {"import"};
            args.insert(args.end(), s.files.begin(), s.files.end());
            return args;
        }(), connection);
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(r.status, s.status) << r.err;
        if (s.err.empty()) EXPECT_EQ(r.err, "");
        else EXPECT_NE(r.err.find(s.err), std::string::npos) << r.err;
        EXPECT_EQ(value(database, "SELECT count(*) FROM \"DeviceID\""), s.inventories);
        EXPECT_EQ(r.out.find(server.password()), std::string::npos);
        EXPECT_EQ(r.err.find(server.password()), std::string::npos);
    }
    // The server's rows equal the files' (each file against a database of its own, and the
    // sum of both in the first).
    const std::string onlyA = server.newDatabase();
    EXPECT_EQ(qvdb({"import", a}, server.connection(onlyA)).status, 0);
    EXPECT_EQ(server.differencesFrom(a, onlyA), "");
    EXPECT_EQ(qvdb({"import", a}, server.connection(onlyA)).out, "0 inventories imported, 6 already there\n");
    EXPECT_EQ(server.differencesFrom(a, onlyA), "");
    for (const char* table : {"EnvStrings", "Printers", "HardwareKey", "SoftwareKey", "OSData"}) {
        SCOPED_TRACE(table);
        const std::string sql = std::string("SELECT count(*) FROM \"") + table + "\"";
        sqlite3* fa = nullptr;
        sqlite3* fb = nullptr;
        sqlite3_open_v2(a.c_str(), &fa, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_open_v2(b.c_str(), &fb, SQLITE_OPEN_READONLY, nullptr);
        auto countOf = [&](sqlite3* f) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(f, sql.c_str(), -1, &st, nullptr);
            sqlite3_step(st);
            int n = sqlite3_column_int(st, 0);
            sqlite3_finalize(st);
            return n;
        };
        EXPECT_EQ(value(database, sql), std::to_string(countOf(fa) + countOf(fb)));
        sqlite3_close(fa);
        sqlite3_close(fb);
    }
}

TEST(QvdbImport, UsageAndAMissingServerAreSaid) {
    Ran help = qvdb({"--help"}, "");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("  import FILE...  "), std::string::npos) << help.out;
    EXPECT_NE(help.out.find(" copy every inventory of QV.mdb files into the QV_DATABASE server\n"),
              std::string::npos)
        << help.out;
    Ran unset = qvdb({"import", "QV.mdb"}, "");
    EXPECT_EQ(unset.status, 2);
    EXPECT_EQ(unset.err, "qvdb import: QV_DATABASE names no database server to import into\n");
    Ran noFiles = qvdb({"import"}, "host=127.0.0.1");
    EXPECT_EQ(noFiles.status, 2);
    const std::string port = std::to_string(freeLoopbackPort());
    Ran down = qvdb({"import", "QV.mdb"}, "host=127.0.0.1 port=" + port + " password=hidden-one");
    EXPECT_EQ(down.status, 1);
    EXPECT_NE(down.err.find("qvdb import: host=127.0.0.1 port=" + port + " password=***** cannot be used: "), std::string::npos)
        << down.err;
    EXPECT_EQ(down.err.find("hidden-one"), std::string::npos);
}

namespace {

// Every file of a folder tree, by relative path, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[std::filesystem::relative(e.path(), root).string()] = readFile(e.path().string());
    return out;
}

}  // namespace

// QV_DATABASE set, the exports read the server: the CSV tables and GLPI documents made from it
// equal those made from the QV.mdb that was imported into it, byte for byte.
TEST(QvdbImport, ExportsFromTheServerEqualThoseFromTheFile) {
    PgServer& server = PgServer::instance();
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.failure(), "");
    const std::string work = makeTempDir();
    const std::string file = buildFleetDatabase(work, 24);
    const std::string db = server.connection(server.newDatabase());
    Ran imported = qvdb({"import", file}, db);
    ASSERT_EQ(imported.status, 0) << imported.err;
    for (const char* format : {"csv", "glpi"}) {
        const std::string fromFile = work + "/" + format + "-file", fromServer = work + "/" + format + "-server";
        std::vector<std::string> args = {"export", "--format", format};
        if (std::string(format) == "glpi") args.push_back("--all");  // every inventory, not the latest alone
        std::vector<std::string> fromFileArgs = args, fromServerArgs = args;
        fromFileArgs.insert(fromFileArgs.end(), {"--database", file, "--out", fromFile});
        fromServerArgs.insert(fromServerArgs.end(), {"--out", fromServer});
        Ran a = qvdb(fromFileArgs, "");
        Ran b = qvdb(fromServerArgs, db);
        ASSERT_EQ(a.status, 0) << a.err;
        ASSERT_EQ(b.status, 0) << b.err;
        auto want = filesUnder(fromFile), got = filesUnder(fromServer);
        EXPECT_GT(want.size(), 5u) << format;
        EXPECT_EQ(got.size(), want.size()) << format;
        for (const auto& [path, bytes] : want) {
            // A table's rows come in the order its database received them: the server received
            // them inventory by inventory, the file run by run. The same rows either way.
            auto lines = [&](const std::string& text) {
                std::vector<std::string> all = crlfLines(text);
                if (std::string(format) == "csv" && all.size() > 1) std::sort(all.begin() + 1, all.end());
                return all;
            };
            EXPECT_TRUE(lines(got[path]) == lines(bytes)) << format << " " << path << " differs";
        }
    }
    // The report reads the server too.
    Ran report = qvdb({"report", "--out", work + "/site"}, db);
    EXPECT_EQ(report.status, 0) << report.err;
    EXPECT_NE(readFile(work + "/site/index.html").find("PC0024"), std::string::npos) << "the stale list or a chart names every computer";
}

// Only regular files holding real tables are read: a FIFO would block for ever, a view in place of
// a table may make up rows without end. The server named by a URI with its password shows nowhere.
TEST(QvdbImport, OnlyRegularFilesWithTablesAndNoPasswordShown) {
    PgServer& server = PgServer::instance();
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.failure(), "");
    const std::string work = makeTempDir();
    const std::string good = buildFleetDatabase(work, 3);
    ASSERT_EQ(::mkfifo((work + "/fifo.mdb").c_str(), 0600), 0);
    std::string error;
    std::filesystem::copy_file(good, work + "/endless.mdb");
    ASSERT_TRUE(execDb(work + "/endless.mdb",
                       "ALTER TABLE DeviceID RENAME TO Devices; CREATE VIEW DeviceID AS WITH RECURSIVE n(i) AS "
                       "(SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT d.* FROM n, Devices AS d",
                       &error, false))
        << error;
    std::filesystem::copy_file(good, work + "/cpu-view.mdb");
    ASSERT_TRUE(execDb(work + "/cpu-view.mdb", "ALTER TABLE CPU RENAME TO C2; CREATE VIEW CPU AS SELECT * FROM C2", &error, false))
        << error;
    const std::string uri = "postgresql://qvadmin:" + server.password() + "@127.0.0.1:" + std::to_string(server.port()) + "/" +
                            server.newDatabase() + "?sslmode=require";
    struct Case {
        std::string file, reason;
    } cases[] = {
        {work + "/fifo.mdb", "it is not a regular file (a pipe, device or socket)"},
        {work, "it is a folder"},
        {"/dev/zero", "it is not a regular file (a pipe, device or socket)"},
        {work + "/endless.mdb", "its DeviceID is a view, not a table"},
        {work + "/cpu-view.mdb", "its CPU is a view, not a table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Ran r = qvdb({"import", c.file}, uri);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "qvdb import: " + c.file + " is not an inventory database: " + c.reason + "\n");
        EXPECT_EQ(r.out, "0 inventories imported, 0 already there\n");
    }
    Ran imported = qvdb({"import", good}, uri);
    EXPECT_EQ(imported.status, 0) << imported.err;
    Ran report = qvdb({"report", "--out", work + "/site"}, uri);
    ASSERT_EQ(report.status, 0) << report.err;
    const std::string index = readFile(work + "/site/index.html");
    EXPECT_NE(index.find("host=127.0.0.1 port=" + std::to_string(server.port())), std::string::npos);
    EXPECT_EQ(index.find(server.password()), std::string::npos);
    EXPECT_EQ(report.out.find(server.password()), std::string::npos);
}

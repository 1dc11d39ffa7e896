// The inventory database on a PostgreSQL server the test starts itself: the same rows as QV.mdb,
// the schema, connections that cannot be had, runs started together, and a server lost mid-run.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "database/connection_name.h"
#include "database/schema.h"
#include "tests/support/db_read.h"
#include "tests/support/pg_server.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

using namespace qvtest;
using json = nlohmann::ordered_json;
using qv::database::ColumnType;

namespace {

// One server for the tests of this process, started at the first test that needs it.
PgServer& server() { return PgServer::instance(); }

#define NEED_SERVER()                                                      \
    do {                                                                   \
        if (!server().skipReason().empty()) GTEST_SKIP() << server().skipReason(); \
        ASSERT_EQ(server().failure(), "");                                 \
    } while (0)

// A value in one form for both engines: Booleans true/false, reals by their value at their
// column's precision, dates and texts as they are.
std::string normal(const qv::database::Column& c, const char* text, double number) {
    char buf[48];
    switch (c.type) {
        case ColumnType::Boolean: return (std::string(text) == "1" || std::string(text) == "t") ? "true" : "false";
        case ColumnType::Single: std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(static_cast<float>(number))); return buf;
        case ColumnType::Double: std::snprintf(buf, sizeof buf, "%.17g", number); return buf;
        default: return text;
    }
}

std::vector<qv::database::Column> columnsOf(const qv::database::TableDef& t) {
    std::vector<qv::database::Column> all = qv::database::inventoryKeyColumns();
    all.insert(all.end(), t.columns.begin(), t.columns.end());
    return all;
}

// Every row of every table of a QV.mdb, sorted, each "table|value|value...".
std::vector<std::string> fileRows(const std::string& path) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << path;
        return rows;
    }
    for (const auto& t : qv::database::tableList()) {
        const auto cols = columnsOf(t);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, ("SELECT * FROM " + qv::database::quoted(t.name)).c_str(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            std::string line = t.name;
            for (int i = 0; i < static_cast<int>(cols.size()); ++i) {
                const bool isNull = sqlite3_column_type(st, i) == SQLITE_NULL;
                const double number = sqlite3_column_double(st, i);
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                line += "|" + (isNull ? std::string("NULL") : normal(cols[static_cast<std::size_t>(i)], text, number));
            }
            rows.push_back(line);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The same of a database on the server.
std::vector<std::string> serverRows(const std::string& database) {
    std::vector<std::string> rows;
    for (const auto& t : qv::database::tableList()) {
        const auto cols = columnsOf(t);
        for (const auto& row : server().values(database, "SELECT * FROM " + qv::database::quoted(t.name))) {
            std::string line = t.name;
            for (std::size_t i = 0; i < cols.size() && i < row.size(); ++i)
                line += "|" + (row[i] == "NULL" ? row[i] : normal(cols[i], row[i].c_str(), std::strtod(row[i].c_str(), nullptr)));
            rows.push_back(line);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string count(const std::string& database, const std::string& table) {
    auto r = server().rows(database, "SELECT count(*) FROM " + qv::database::quoted(table));
    return r.empty() ? "?" : r[0];
}

// A small computer: its domain, environment and drives.
json computer(const std::string& domain, int variables) {
    json env = json::array();
    for (int i = 0; i < variables; ++i)
        env.push_back({{"UserName", "<SYSTEM>"}, {"Name", "VAR" + std::to_string(i)}, {"VariableValue", "value " + std::to_string(i)}});
    return {{"classes",
             {{"Win32_ComputerSystem", {{{"Domain", domain}, {"DomainRole", 1}, {"TotalPhysicalMemory", "1073741824"}}}},
              {"Win32_Environment", env},
              {"Win32_LogicalDisk",
               {{{"Name", "C:"}, {"Description", "Local Fixed Disk"}, {"DriveType", 3}, {"FileSystem", "NTFS"},
                 {"FreeSpace", "50000000000"}, {"Size", "80026361856"}, {"MediaType", 12}}}}}}};
}

// The standard fixture with computers PC001... (each `variables` environment variables), the
// database limit and the start time given.
std::string network(int computers, int variables, const std::string& now = "2026-12-08T09:30:05", int databaseMs = 5000,
                    int connectDelayMs = 0) {
    json fixture = json::parse(standardFixture());
    fixture["now"] = now;
    fixture["limits"] = {{"databaseMs", databaseMs}};
    for (int i = 1; i <= computers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "PC%03d", i);
        json c = computer(i % 2 ? "CORP" : "LAB", variables);
        if (connectDelayMs) c["connectDelayMs"] = connectDelayMs;
        fixture["wmi"][name] = c;
    }
    return fixture.dump();
}

std::vector<std::string> names(int computers) {
    std::vector<std::string> list;
    for (int i = 1; i <= computers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "PC%03d", i);
        list.push_back(name);
    }
    return list;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Everything a run wrote that a person or a program might read: console, traces, log, reports.
std::string everythingWritten(const SimResult& r) {
    std::string all = r.out + r.err;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(r.dir))
        if (entry.is_regular_file() && entry.path().filename() != "fixture.json") all += readFile(entry.path());
    return all;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(PostgresqlDatabase, RowsEqualThoseOfQvMdbAndTheLogNamesTheServerWithoutItsPassword) {
    NEED_SERVER();
    const std::string longText(300, 'x');
    struct Case {
        const char* what;
        std::string fixture;
        std::vector<std::string> args;
        bool verified = false;  // a URI to localhost whose certificate is verified, else a key/value string
    };
    json odd = json::parse(standardFixture());
    // Dates, Nulls, single-precision reals, texts cut to their column, Booleans, grouped numbers.
    odd["wmi"]["WS01"]["classes"] = json::parse(R"({
      "Win32_ComputerSystem": [{"Domain": "CORP", "DomainRole": 1, "TotalPhysicalMemory": "536281088", "Manufacturer": null,
                                "Model": ")" + longText + R"("}],
      "Win32_Environment": [{"UserName": "<SYSTEM>", "Name": "Path", "VariableValue": ")" + longText + R"("},
                            {"UserName": "CORP\\admin", "Name": "Ünïcode", "VariableValue": " €uro | bar "}],
      "Win32_LogicalDisk": [{"Name": "C:", "DriveType": 3, "FileSystem": "NTFS", "FreeSpace": "50000000001", "Size": "80026361856", "MediaType": 12},
                            {"Name": "D:", "DriveType": 5, "FileSystem": null, "FreeSpace": null, "Size": null}],
      "Win32_PhysicalMemory": [{"Description": "Physical Memory", "BankLabel": "DIMM_A", "Capacity": "1073741825"}],
      "Win32_Printer": [{"DeviceID": "HP", "DriverName": "HP LaserJet", "PortName": "LPT1:", "Default": true},
                        {"DeviceID": "PDF", "DriverName": "PDF", "PortName": "FILE:", "Default": false}],
      "Win32_NetworkAdapterConfiguration": [{"Caption": "[00000001] Intel", "IPEnabled": true, "IPAddress": ["10.0.0.5"],
        "IPSubnet": ["255.255.255.0"], "MACAddress": "00:11:22:33:44:55", "DHCPEnabled": true,
        "DHCPLeaseObtained": "20261208080000.000000+060", "DNSServerSearchOrder": ["10.0.0.1", "10.0.0.2"]}],
      "Win32_SystemDriver": [{"Caption": "Beep", "Pathname": "C:\\WINDOWS\\system32\\drivers\\beep.sys", "ServiceType": "Kernel Driver", "State": "Running"}]
    })");
    odd["files"]["C:\\WINDOWS\\system32\\drivers\\beep.sys"] = {{"version", "5.1.2600.0"}, {"created", "2004-08-04T06:00:00"}};
    const Case cases[] = {
        {"an empty computer", standardFixture(), {}},
        {"values of every kind", odd.dump(), {}},
        {"several computers", network(5, 3), names(5), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimResult file = runSim(c.fixture, c.args);
        const std::string database = server().newDatabase();
        const std::string connection =
            c.verified ? "postgresql://qvadmin:" + server().password() + "@localhost:" + std::to_string(server().port()) + "/" +
                             database + "?sslmode=verify-full&sslrootcert=" + server().certificate()
                       : server().connection(database);
        SimResult onServer = runSim(c.fixture, c.args, "", nullptr, connection.c_str());
        const std::vector<std::string> expected = fileRows(file.dir + "/docs/QV.mdb");
        EXPECT_GT(expected.size(), 2u);
        EXPECT_EQ(serverRows(database), expected);
        EXPECT_FALSE(onServer.exists("docs/QV.mdb"));
        // The log says what QV.mdb's says, naming the server with its password masked.
        const std::string shown = qv::database::maskedConnection(connection);
        EXPECT_TRUE(has(shown, "*****"));
        std::string log = file.file("docs/QV.log"), serverLog = onServer.file("docs/QV.log");
        for (std::size_t at; (at = log.find("QV.mdb")) != std::string::npos;) log.replace(at, 6, shown);
        for (std::size_t at; (at = log.find(file.dir)) != std::string::npos;) log.replace(at, file.dir.size(), onServer.dir);
        EXPECT_EQ(serverLog, log);
        EXPECT_FALSE(has(everythingWritten(onServer), server().password()));
        // A second run appends to the same tables and says so.
        json later = json::parse(c.fixture);
        later["now"] = "2026-12-08T10:30:05";
        SimResult again = runSim(later.dump(), c.args, onServer.dir, nullptr, connection.c_str());
        EXPECT_TRUE(has(again.file("docs/QV.log"), "  " + shown + " exists; data to be appended\r\n"));
        EXPECT_EQ(server().rows(database, "SELECT count(DISTINCT \"InvDateTime\") FROM \"DeviceID\"")[0], "2");
        // A run with the same start time writes no row of its computers and says why.
        const std::vector<std::string> before = serverRows(database);
        SimResult same = runSim(later.dump(), c.args, onServer.dir, nullptr, connection.c_str());
        const std::string name = c.args.empty() ? "WS01" : c.args[0];
        EXPECT_TRUE(has(same.out, name + " Rows not written to " + shown + ": an inventory of " + name +
                                      " with this run's start time is already stored\r\n"))
            << same.out;
        EXPECT_EQ(serverRows(database), before);
    }
}

TEST(PostgresqlDatabase, SchemaIsTheListedOneAndAnotherIsRefused) {
    NEED_SERVER();
    const std::string database = server().newDatabase();
    runSim(standardFixture(), {}, "", nullptr, server().connection(database).c_str());
    // Column names, order and types as the catalog shows them.
    const std::vector<std::string> columns = server().rows(
        database, "SELECT table_name, column_name, data_type, coalesce(character_maximum_length, 0), is_nullable "
                  "FROM information_schema.columns WHERE table_schema = 'public' ORDER BY table_name, ordinal_position");
    std::vector<std::string> expected;
    std::vector<const qv::database::TableDef*> sorted;
    for (const auto& t : qv::database::tableList()) sorted.push_back(&t);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return std::string(a->name) < b->name; });
    for (const auto* t : sorted) {
        for (const auto& c : columnsOf(*t)) {
            const std::string type = c.type == ColumnType::VarWChar ? "character varying"
                                     : c.type == ColumnType::Integer ? "integer"
                                     : c.type == ColumnType::Single  ? "real"
                                     : c.type == ColumnType::Double  ? "double precision"
                                     : c.type == ColumnType::Date    ? "timestamp without time zone"
                                                                     : "boolean";
            const std::string name = c.name;
            bool notNull = name == "InvDateTime" || name == "DeviceName" || c.type == ColumnType::Boolean ||
                           (name == "DomainWorkGrp" && t->primaryKey);
            expected.push_back(std::string(t->name) + "|" + name + "|" + type + "|" + std::to_string(c.size) + "|" +
                               (notNull ? "NO" : "YES"));
        }
    }
    EXPECT_EQ(columns, expected);
    // Keys with their names, parents and cascades.
    const std::vector<std::string> keys = server().rows(
        database, "SELECT c.relname, k.conname, k.contype, coalesce(p.relname, '-'), k.confupdtype, k.confdeltype "
                  "FROM pg_constraint k JOIN pg_class c ON c.oid = k.conrelid LEFT JOIN pg_class p ON p.oid = k.confrelid "
                  "WHERE k.contype IN ('p', 'f') ORDER BY 1, 3");
    std::vector<std::string> expectedKeys;
    for (const auto* t : sorted) {
        if (t->parent) expectedKeys.push_back(std::string(t->name) + "|" + t->name + "FKey|f|" + t->parent + "|c|c");
        if (t->primaryKey) expectedKeys.push_back(std::string(t->name) + "|" + t->primaryKey + "|p|-| | ");
    }
    EXPECT_EQ(::testing::PrintToString(keys), ::testing::PrintToString(expectedKeys));
    for (std::size_t i = 0; i < std::min(keys.size(), expectedKeys.size()); ++i) EXPECT_EQ(keys[i], expectedKeys[i]);

    // A schema that differs is left as it is, and the run goes on with its reports.
    struct Case {
        const char* what;
        bool firstRun;    // the schema made by a run first, then changed
        std::string sql;  // the change
        std::string reason;
    };
    const std::string key = "(\"InvDateTime\", \"DomainWorkGrp\", \"DeviceName\")";
    const Case cases[] = {
        {"a DeviceID of other columns", false, "CREATE TABLE \"DeviceID\" (id integer)", "its table DeviceID has other columns"},
        {"a key column that takes Null", true, "ALTER TABLE \"OSData\" ALTER COLUMN \"DeviceName\" DROP NOT NULL",
         "its table OSData has other columns"},
        {"a text column of another width", true, "ALTER TABLE \"BIOS\" ALTER COLUMN \"Manufacturer\" TYPE varchar(40)",
         "its table BIOS has other columns"},
        {"a foreign key without its cascades", true,
         ("ALTER TABLE \"CPU\" DROP CONSTRAINT \"CPUFKey\"; ALTER TABLE \"CPU\" ADD CONSTRAINT \"CPUFKey\" FOREIGN KEY " + key +
          " REFERENCES \"HardwareKey\" " + key),
         "its table CPU lacks the foreign key CPUFKey to HardwareKey with cascades"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string other = server().newDatabase();
        if (c.firstRun) runSim(standardFixture(), {}, "", nullptr, server().connection(other).c_str());
        std::string error;
        ASSERT_TRUE(server().exec(other, c.sql, &error)) << error;
        const std::vector<std::string> tables = server().rows(other, "SELECT tablename FROM pg_tables ORDER BY 1");
        json later = json::parse(standardFixture());
        later["now"] = "2026-12-08T11:00:00";
        SimResult r = runSim(later.dump(), {}, "", nullptr, server().connection(other).c_str());
        EXPECT_TRUE(has(r.out, "password=***** sslmode=require cannot be used: " + c.reason +
                                   "\r\nWarning: Database requirements not met.\r\n"))
            << r.out;
        EXPECT_EQ(server().rows(other, "SELECT tablename FROM pg_tables ORDER BY 1"), tables);
        if (c.firstRun) {
            EXPECT_EQ(count(other, "DeviceID"), "1");
        }
        EXPECT_TRUE(r.exists("docs/QVWS01.txt"));
    }
}

TEST(PostgresqlDatabase, AServerThatCannotBeHadIsAClearReasonWithinTheLimit) {
    NEED_SERVER();
    // A socket that takes connections and never answers.
    int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(silent, 16), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string silentPort = std::to_string(ntohs(a.sin_port));
    const std::string port = std::to_string(server().port());
    const std::string database = server().newDatabase();
    struct Case {
        const char* what;
        std::string connection;
        std::string reason;  // a part of the reason
    };
    const Case cases[] = {
        {"a wrong password", "host=127.0.0.1 port=" + port + " dbname=" + database + " user=qvadmin password=wrong-one",
         "password authentication failed for user \"qvadmin\""},
        {"a certificate for another name",
         "postgresql://qvadmin:" + server().password() + "@127.0.0.1:" + port + "/" + database +
             "?sslmode=verify-full&sslrootcert=" + server().certificate(),
         "does not match host name \"127.0.0.1\""},
        {"an unknown database", server().connection("nothere"), "database \"nothere\" does not exist"},
        {"a server that never answers", "host=127.0.0.1 port=" + silentPort + " dbname=qv user=qvadmin password=" + server().password(),
         "the server did not answer within 1500 ms"},
        {"no server", "host=127.0.0.1 port=" + std::to_string(freeLoopbackPort()) + " user=qvadmin password=" + server().password(),
         "Connection refused"},
    };
    json fixture = json::parse(standardFixture());
    fixture["limits"] = {{"databaseMs", 1500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto start = std::chrono::steady_clock::now();
        SimResult r = runSim(fixture.dump(), {}, "", nullptr, c.connection.c_str());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
        const std::string log = r.file("docs/QV.log");
        EXPECT_TRUE(has(r.out, " cannot be used: ")) << r.out;
        EXPECT_TRUE(has(r.out, c.reason)) << r.out;
        EXPECT_TRUE(has(log, c.reason)) << log;
        EXPECT_TRUE(has(r.out, "Warning: Database requirements not met.\r\nDatabase will not be created and data not written."));
        EXPECT_TRUE(r.exists("docs/QVWS01.txt"));
        EXPECT_TRUE(has(r.out, "Program Complete Normal End")) << r.out;
        const std::string all = everythingWritten(r);
        EXPECT_FALSE(has(all, server().password()));
        EXPECT_FALSE(has(all, "wrong-one"));
    }
    ::close(silent);
    // Nothing was created by the runs refused.
    EXPECT_EQ(server().rows(database, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'")[0], "0");
}

TEST(PostgresqlDatabase, RunsStartedTogetherFromSeveralFoldersKeepEveryRow) {
    NEED_SERVER();
    const std::string database = server().newDatabase();
    const std::string connection = server().connection(database);
    constexpr int kRuns = 8, kComputers = 200, kVariables = 4;
    std::vector<std::string> dirs;
    std::vector<std::thread> runs;
    for (int i = 0; i < kRuns; ++i) {
        dirs.push_back(makeTempDir());
        writeFile(dirs[i] + "/fixture.json", network(kComputers, kVariables, "2026-12-08T09:30:0" + std::to_string(i), 30000));
        writeFile(dirs[i] + "/names.txt", [&] {
            std::string text;
            for (const std::string& n : names(kComputers)) text += n + "\r\n";
            return text;
        }());
    }
    for (int i = 0; i < kRuns; ++i)
        runs.emplace_back([&, i] {
            std::system(("cd '" + dirs[i] + "' && QV_DATABASE='" + connection + "' '" QV_SIM_PATH
                         "' fixture.json /F:names.txt >.out 2>.err </dev/null").c_str());
        });
    for (std::thread& t : runs) t.join();
    std::size_t created = 0, tablesCreated = 0;
    for (const std::string& dir : dirs) {
        const std::string log = readFile(dir + "/docs/QV.log");
        EXPECT_FALSE(has(log, "Rows not written")) << log.substr(0, 2000);
        EXPECT_EQ(occurrences(log, " Inventory Completed\r\n"), static_cast<std::size_t>(kComputers));
        created += occurrences(log, "    Table DeviceID Created\r\n");
        for (std::size_t at = log.find("    Table "); at != std::string::npos; at = log.find("    Table ", at + 1))
            tablesCreated += log.compare(log.find("\r\n", at) - 8, 8, " Created") == 0;
        EXPECT_EQ(occurrences(log, " Created\r\n") > 0, has(log, "    Table DeviceID Created\r\n"));
    }
    // Each table created once, every row there once.
    EXPECT_EQ(created, 1u);
    EXPECT_EQ(tablesCreated, 34u);  // every table but the two key tables, whose creation is not logged
    EXPECT_EQ(count(database, "DeviceID"), std::to_string(kRuns * kComputers));
    EXPECT_EQ(count(database, "HardwareKey"), std::to_string(kRuns * kComputers));
    EXPECT_EQ(count(database, "EnvStrings"), std::to_string(kRuns * kComputers * kVariables));
    EXPECT_EQ(count(database, "LogicalDrives"), std::to_string(kRuns * kComputers));
    EXPECT_EQ(server().rows(database, "SELECT count(*) FROM (SELECT DISTINCT \"InvDateTime\", \"DeviceName\" FROM \"DeviceID\") d")[0],
              std::to_string(kRuns * kComputers));
}

TEST(PostgresqlDatabase, AServerLostMidRunCostsOnlyTheComputersItWasGoneFor) {
    NEED_SERVER();
    const std::string database = server().newDatabase();
    constexpr int kComputers = 40, kVariables = 3;
    const std::string dir = makeTempDir();
    writeFile(dir + "/fixture.json", network(kComputers, kVariables, "2026-12-08T09:30:05", 2000, 100));
    std::thread run([&] {
        std::system(("cd '" + dir + "' && QV_PARALLEL=1 QV_DATABASE='" + server().connection(database) + "' '" QV_SIM_PATH
                     "' fixture.json " + [] {
                         std::string list;
                         for (const std::string& n : names(kComputers)) list += n + " ";
                         return list;
                     }() + " >.out 2>.err </dev/null")
                        .c_str());
    });
    // Stopped once a few computers are in, started again at once.
    for (int i = 0; i < 400; ++i) {
        auto n = server().rows(database, "SELECT count(*) FROM pg_tables WHERE tablename = 'DeviceID'");
        if (!n.empty() && n[0] == "1" && std::atoi(count(database, "DeviceID").c_str()) >= 3) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_TRUE(server().stop());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(server().start());
    run.join();
    const std::string log = readFile(dir + "/docs/QV.log");
    const std::vector<std::string> present = server().rows(database, "SELECT \"DeviceName\" FROM \"DeviceID\" ORDER BY 1");
    EXPECT_GE(present.size(), 3u);
    EXPECT_LT(present.size(), static_cast<std::size_t>(kComputers)) << log;
    for (const std::string& name : names(kComputers)) {
        SCOPED_TRACE(name);
        const bool stored = std::find(present.begin(), present.end(), name) != present.end();
        const std::string where = " WHERE \"DeviceName\" = '" + name + "'";
        // Whole or absent, and an absent one named.
        EXPECT_EQ(server().rows(database, "SELECT count(*) FROM \"EnvStrings\"" + where)[0], stored ? std::to_string(kVariables) : "0");
        EXPECT_EQ(server().rows(database, "SELECT count(*) FROM \"LogicalDrives\"" + where)[0], stored ? "1" : "0");
        EXPECT_EQ(has(log, name + " Rows not written to "), !stored);
    }
    if (HasFailure()) ADD_FAILURE() << log;
    // The computers after the server came back are written.
    EXPECT_EQ(present.back(), names(kComputers).back());
}

TEST(PostgresqlDatabase, AServerRestartedBetweenComputersCostsNoComputer) {
    NEED_SERVER();
    const std::string database = server().newDatabase();
    const std::string dir = makeTempDir();
    // The second computer takes its time to connect: the server is restarted meanwhile, while the
    // run's connection to it is idle.
    json fixture = json::parse(network(2, 2, "2026-12-08T09:30:05", 5000));
    fixture["wmi"]["PC002"]["connectDelayMs"] = 4000;
    writeFile(dir + "/fixture.json", fixture.dump());
    std::thread run([&] {
        std::system(("cd '" + dir + "' && QV_PARALLEL=1 QV_DATABASE='" + server().connection(database) + "' '" QV_SIM_PATH
                     "' fixture.json PC001 PC002 >.out 2>.err </dev/null")
                        .c_str());
    });
    for (int i = 0; i < 200; ++i) {
        auto n = server().rows(database, "SELECT count(*) FROM pg_tables WHERE tablename = 'DeviceID'");
        if (!n.empty() && n[0] == "1" && count(database, "DeviceID") == "1") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_TRUE(server().stop());
    ASSERT_TRUE(server().start());
    run.join();
    const std::string log = readFile(dir + "/docs/QV.log");
    EXPECT_FALSE(has(log, "Rows not written")) << log << readFile(dir + "/.err");
    EXPECT_EQ(server().rows(database, "SELECT \"DeviceName\" FROM \"DeviceID\" ORDER BY 1"),
              (std::vector<std::string>{"PC001", "PC002"}));
    EXPECT_EQ(count(database, "EnvStrings"), "4");
}

TEST(PostgresqlDatabase, RowsATriggerOrRuleDropsMakeTheComputerNotStored) {
    NEED_SERVER();
    struct Case {
        const char* what;
        std::string sql;     // what drops rows silently (the server answers INSERT 0 0, or fewer)
        std::string reason;  // what the console and the log then say
    };
    const std::string dropAll = "CREATE FUNCTION drop_row() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$; ";
    const Case cases[] = {
        {"the computer's own row", dropAll + "CREATE TRIGGER d BEFORE INSERT ON \"DeviceID\" FOR EACH ROW EXECUTE FUNCTION drop_row()",
         "the server stored 0 of 1 rows of DeviceID (a trigger or rule on the server dropped the others)"},
        {"one row of four", dropAll + "CREATE TRIGGER d BEFORE INSERT ON \"EnvStrings\" FOR EACH ROW "
                                      "WHEN (NEW.\"VarName\" = 'VAR1') EXECUTE FUNCTION drop_row()",
         "the server stored 3 of 4 rows of EnvStrings (a trigger or rule on the server dropped the others)"},
        {"a rule", "CREATE RULE d AS ON INSERT TO \"OSData\" DO INSTEAD NOTHING",
         "the server stored 0 of 1 rows of OSData (a trigger or rule on the server dropped the others)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string database = server().newDatabase();
        const std::string connection = server().connection(database);
        runSim(network(1, 4), names(1), "", nullptr, connection.c_str());
        ASSERT_EQ(count(database, "EnvStrings"), "4");
        std::string error;
        ASSERT_TRUE(server().exec(database, c.sql, &error)) << error;
        SimResult r = runSim(network(1, 4, "2026-12-08T11:00:00"), names(1), "", nullptr, connection.c_str());
        const std::string log = r.file("docs/QV.log");
        EXPECT_EQ(occurrences(r.out, "PC001 Rows not written to "), 1u) << r.out;
        EXPECT_TRUE(has(r.out, c.reason + "\r\n")) << r.out;
        EXPECT_TRUE(has(log, c.reason + "\r\n")) << log;
        EXPECT_FALSE(has(log, " PC001 Inventory Completed")) << log;
        // Nothing of the second inventory stays: its transaction was rolled back.
        EXPECT_EQ(count(database, "DeviceID"), "1");
        EXPECT_EQ(count(database, "EnvStrings"), "4");
        EXPECT_EQ(count(database, "OSData"), "1");
    }
}

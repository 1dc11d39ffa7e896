// qv over WS-Management against the project's WS-Management server answering fixture computers:
// the report and rows equal those qv-sim writes for the same computers (NTLM with sealed messages
// over HTTP, Kerberos from a throwaway KDC, Basic over HTTPS), and hostile or failing servers end
// each call within its limit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "management/errors.h"
#include "management/network.h"
#include "management/remote/choice.h"
#include "management/wsman/errors.h"
#include "management/wsman/transport.h"
#include "tests/support/db_read.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"
#include "tests/support/wsman_server.h"
#include "inventory/collectors/collectors.h"
#include "management/wsman/connection.h"
#include "platform/text.h"
#include "tests/wsman-server/example.h"

namespace {

using namespace qv;
using namespace qv::management;
using json = nlohmann::ordered_json;

const char* const kPassword = "Secret-1";

// The fixture: ADMIN runs the inventory; WS01 and WS02 are example Windows servers, WS03 has a
// hanging class and a slow one; RS01 is a realistic desktop (300 programs in each registry view).
std::string serverFixture() {
    json f = json::parse(qvtest::standardFixture());
    f["identity"]["computerName"] = "ADMIN";
    f["limits"] = {{"queryMs", 1500}};
    json ws01 = qvwsman::exampleComputer(0);
    ws01["failingClasses"] = {{"Win32_PortConnector", {{"number", -2147217392}, {"description", "Invalid class "}}},
                              {"Win32_SerialPort", {{"number", -2147217407}, {"description", "Generic failure "}}}};
    json wmi = {{"ADMIN", {{"classes", json::object()}}}, {"WS01", ws01}, {"WS02", qvwsman::exampleComputer(1)}};
    json ws03 = qvwsman::exampleComputer(2);
    ws03["hangingClasses"] = {"Win32_Printer"};
    ws03["classDelays"] = {{"Win32_Keyboard", 100}};
    wmi["WS03"] = ws03;
    wmi["RS01"] = qvwsman::realisticComputer(3);
    f["wmi"] = wmi;
    return f.dump(1);
}

class WsmanServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = qvtest::makeTempDir();
        for (const char* sub : {"/home", "/config", "/ssh"}) ::mkdir((dir_ + sub).c_str(), 0700);
        qvtest::writeFile(dir_ + "/ntlm-users", "CORP:admin:" + std::string(kPassword) + "\n");
        netrc("default login CORP\\admin password " + std::string(kPassword) + "\n");
    }
    void TearDown() override {
        for (const char* name : {"QV_CONFIG_DIR", "QV_NETRC", "QV_SSH_DIR"}) unsetenv(name);
        server_.reset();
        kdc_.reset();
        if (!HasFailure()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    void startServer(std::vector<std::string> args = {}, std::vector<std::pair<std::string, std::string>> env = {}) {
        env.push_back({"NTLM_USER_FILE", dir_ + "/ntlm-users"});
        server_ = std::make_unique<qvtest::WsmanServer>(QV_WSMAN_SERVER_PATH, dir_, serverFixture(), args, env);
        ASSERT_EQ(server_->failure(), "");
    }
    void netrc(const std::string& text) {
        qvtest::writeFile(dir_ + "/netrc", text);
        ::chmod((dir_ + "/netrc").c_str(), 0600);
    }
    // Host entries of the winrm settings for the computers, each to its port.
    void configure(const std::vector<std::string>& names, const std::string& host, const std::string& extra) {
        std::string text;
        for (const std::string& n : names)
            text += "Host " + n + "\n  HostName " + host + "\n  Port " + std::to_string(server_->port(n)) + "\n" + extra;
        qvtest::writeFile(dir_ + "/config/winrm", text);
    }
    std::string environment() const {
        std::string e = "HOME='" + dir_ + "/home' XDG_CONFIG_HOME= QV_CONFIG_DIR='" + dir_ + "/config' QV_NETRC='" +
                        dir_ + "/netrc' QV_SSH_DIR='" + dir_ + "/ssh' ";
        for (const auto& [k, v] : clientEnv_) e += k + "='" + v + "' ";
        return e;
    }
    // Runs qv on the names; its documents folder is home/Documents. Its exit status, which must
    // be the simulated run's where there is one (a refused row ends a run with 1 on both).
    int runQv(const std::vector<std::string>& names) {
        std::string cmd = "cd '" + dir_ + "' && " + environment() + "timeout 120 '" QV_PATH "'";
        for (const std::string& n : names) cmd += " " + n;
        cmd += " >'" + dir_ + "/qv.out' 2>'" + dir_ + "/qv.err' </dev/null";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1)
            << qvtest::readFile(dir_ + "/qv.err") << qvtest::readFile(dir_ + "/qv.out");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string docs() const { return dir_ + "/home/Documents"; }

    std::string dir_;
    std::unique_ptr<qvtest::WsmanServer> server_;
    std::unique_ptr<qvtest::KdcServer> kdc_;
    std::vector<std::pair<std::string, std::string>> clientEnv_;
};

// A report with the run's own times and the computer that ran it taken out.
std::string comparable(std::string report) {
    static const std::regex times(R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d{2}:\d{2} [AP]M)");
    return std::regex_replace(report, times, "<time>");
}

// Every row of the tables, by table, with the columns that hold the run's times blanked.
std::map<std::string, std::vector<std::string>> rowsOf(const std::string& db) {
    std::map<std::string, std::vector<std::string>> out;
    for (const std::string& table : qvtest::queryJoined(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        std::vector<std::string> columns;
        std::string select;
        for (const std::vector<std::string>& c : qvtest::queryDb(db, "PRAGMA table_info(\"" + table + "\")")) {
            const std::string& name = c[1];
            const bool runTime = name == "InvDateTime";  // the run's start, the inventory's key
            select += std::string(select.empty() ? "" : ", ") + (runTime ? "'<time>'" : "\"" + name + "\"");
        }
        std::vector<std::string> rows = qvtest::queryJoined(db, "SELECT " + select + " FROM \"" + table + "\"");
        std::sort(rows.begin(), rows.end());
        out[table] = rows;
    }
    return out;
}

void expectSameRows(const std::string& expectedDb, const std::string& actualDb, std::size_t least = 100) {
    auto expected = rowsOf(expectedDb), actual = rowsOf(actualDb);
    ASSERT_EQ(expected.size(), actual.size());
    std::size_t rows = 0;
    for (const auto& [table, want] : expected) {
        EXPECT_EQ(actual[table], want) << "table " << table;
        rows += want.size();
    }
    EXPECT_GT(rows, least);  // the example computers fill most tables
}

TEST_F(WsmanServerTest, NtlmSealedOverHttpWritesWhatTheSimulatedRunWrites) {
    startServer({"--batch", "7"});  // a Pull or more for the larger classes
    configure({"WS01", "WS02"}, "127.0.0.1", "  Auth ntlm\n");
    const int status = runQv({"WS01", "WS02"});
    qvtest::SimResult sim = qvtest::runSim(serverFixture(), {"WS01", "WS02"});
    EXPECT_EQ(status, sim.exitCode);
    for (const char* name : {"WS01", "WS02"}) {
        const std::string report = qvtest::readFile(docs() + "/QV" + name + ".txt");
        ASSERT_FALSE(report.empty()) << qvtest::readFile(dir_ + "/qv.out");
        EXPECT_EQ(comparable(report), comparable(sim.file(std::string("docs/QV") + name + ".txt"))) << name;
    }
    expectSameRows(sim.dir + "/docs/QV.mdb", docs() + "/QV.mdb");
}

// The counts the server wrote with --stats, by name.
std::map<std::string, long> serverStats(const std::string& file) {
    std::map<std::string, long> out;
    std::istringstream in(qvtest::readFile(file));
    std::string name;
    long n = 0;
    while (in >> name >> n) out[name] = n;
    return out;
}

bool startsWithText(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && text::equalsIgnoringCase(s.substr(0, prefix.size()), prefix);
}

// The registry-provider calls a computer's inventory cannot do without, from its fixture
// registry (a 64-bit Windows: both views): the views' check, each uninstall key's listing and
// each entry's value names, the five package values of an entry with a display name where
// listed; the class listing of each view, each application class's CLSID, its class key's
// listing, and its local server and ProgID where it has both.
long leastRegistryCalls(const json& registry) {
    const std::string uninstall = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const char* fields[] = {"DisplayName", "DisplayVersion", "ProductID", "Publisher", "InstallDate"};
    std::set<std::string> users;
    long calls = 1 + 2 + 1 + 2;  // Software; both views' uninstall keys; HKU; both views' HKCR
    for (const auto& [key, values] : registry.items()) {
        std::string entry;
        if (startsWithText(key, "HKLM" + uninstall)) entry = key.substr(4 + uninstall.size());
        else if (startsWithText(key, "HKLM\\Software\\Wow6432Node" + uninstall.substr(9)))
            entry = key.substr(std::string("HKLM\\Software\\Wow6432Node").size() + uninstall.size() - 9);
        else if (startsWithText(key, "HKU\\")) {
            const std::string sid = key.substr(4, key.find('\\', 4) - 4);
            if (sid == ".DEFAULT" || text::asciiUpper(sid).ends_with("_CLASSES")) continue;
            users.insert(sid);
            if (startsWithText(key.substr(4 + sid.size()), uninstall)) entry = key.substr(4 + sid.size() + uninstall.size());
        }
        if (entry.empty() || entry.find('\\') != std::string::npos) continue;
        ++calls;  // its value names
        if (values.contains("DisplayName"))
            for (const char* f : fields) calls += values.contains(f) ? 1 : 0;
    }
    calls += static_cast<long>(users.size());  // each user's uninstall key
    for (const auto& [key, values] : registry.items()) {
        if (!startsWithText(key, "HKCR\\") || !key.ends_with("\\CLSID")) continue;
        const std::string name = key.substr(5, key.size() - 11);
        if (name.find('\\') != std::string::npos || name.find("Application") == std::string::npos) continue;
        calls += 2 * 2;  // its CLSID and its class key's listing, in each view
        const std::string classKey = "HKCR\\CLSID\\" + values[""]["data"].get<std::string>();
        if (registry.contains(classKey + "\\LocalServer32") && registry.contains(classKey + "\\ProgID")) calls += 2;
    }
    return calls;
}

// The files a computer's inventory reads: each running driver's, each application's local server.
long filesRead(const json& computer) {
    std::set<std::string> paths;
    for (const json& service : computer["classes"]["Win32_BaseService"]) {
        const std::string type = service.value("ServiceType", ""), path = service.value("PathName", "");
        bool driver = false;
        for (const char* word : {"Kernel", "File", "Adapter", "Recognizer"}) driver = driver || type.find(word) != std::string::npos;
        if (driver && !path.empty() && service.value("State", "") == "Running") paths.insert(path);
    }
    for (const auto& [key, values] : computer["registry"].items())
        if (key.ends_with("\\LocalServer32") && startsWithText(key, "HKCR\\CLSID\\")) {
            std::string server = text::asciiUpper(values[""]["data"].get<std::string>());
            server.erase(std::remove(server.begin(), server.end(), '"'), server.end());
            paths.insert(server.substr(0, server.find(".EXE") + 4));
        }
    return static_cast<long>(paths.size());
}

// Eight connections to a computer overlap their requests and write the very report, log and
// rows one connection writes, with the same requests: one enumeration per class, the registry
// calls the inventory needs and no more, each file once.
TEST_F(WsmanServerTest, SeveralConnectionsOverlapAndWriteWhatOneConnectionWrites) {
    std::set<std::string> classes;
    for (inventory::Phase phase : {inventory::Phase::OperatingSystem, inventory::Phase::Hardware,
                                   inventory::Phase::Network, inventory::Phase::Software})
        for (const char* c : inventory::phaseClasses(phase)) classes.insert(c);
    const json fixture = json::parse(serverFixture());
    struct Case {
        const char* computer;
        int connections;
        const char* delayMs;  // each answer held: the requests of several connections meet
    } cases[] = {{"WS01", 1, "0"}, {"WS01", 8, "5"}, {"RS01", 1, "0"}, {"RS01", 8, "2"}};
    std::map<std::string, long> oneRequests;
    std::map<std::string, int> oneStatus;
    for (const Case& c : cases) {
        const std::string what = std::string(c.computer) + " over " + std::to_string(c.connections);
        std::system(("rm -rf '" + docs() + "'").c_str());
        startServer({"--delay", c.delayMs, "--stats", dir_ + "/stats"});
        configure({c.computer}, "127.0.0.1", "  Auth ntlm\n  Connections " + std::to_string(c.connections) + "\n");
        const int status = runQv({c.computer});
        if (c.connections == 1) oneStatus[c.computer] = status;
        else EXPECT_EQ(status, oneStatus[c.computer]) << what;
        server_.reset();
        std::map<std::string, long> stats = serverStats(dir_ + "/stats");
        const json& computer = fixture["wmi"][c.computer];
        EXPECT_EQ(stats["enumerations"], static_cast<long>(classes.size())) << what;
        EXPECT_EQ(stats["registry"], leastRegistryCalls(computer["registry"])) << what;
        EXPECT_EQ(stats["files"], filesRead(computer)) << what;
        const std::string report = comparable(qvtest::readFile(docs() + "/QV" + c.computer + ".txt"));
        const std::string log = comparable(qvtest::readFile(docs() + "/QV.log"));
        ASSERT_NE(report.find("Target Computer: "), std::string::npos) << what << qvtest::readFile(dir_ + "/qv.out");
        const std::string one = dir_ + "/one-" + c.computer;
        if (c.connections == 1) {
            EXPECT_EQ(stats["most-at-once"], 1) << what;
            oneRequests[c.computer] = stats["requests"];
            qvtest::writeFile(one + ".txt", report);
            qvtest::writeFile(one + ".log", log);
            ASSERT_EQ(std::system(("cp '" + docs() + "/QV.mdb' '" + one + ".mdb'").c_str()), 0);
            continue;
        }
        EXPECT_GT(stats["most-at-once"], 1) << what;
        EXPECT_LE(stats["most-at-once"], c.connections) << what;
        EXPECT_EQ(stats["requests"], oneRequests[c.computer]) << what;
        EXPECT_EQ(report, qvtest::readFile(one + ".txt")) << what;
        EXPECT_EQ(log, qvtest::readFile(one + ".log")) << what;
        expectSameRows(one + ".mdb", docs() + "/QV.mdb", 50);
    }
}

}  // namespace

namespace {

TEST_F(WsmanServerTest, KerberosFromTheTicketCacheAndBasicOverHttpsWriteTheSameReports) {
    kdc_ = std::make_unique<qvtest::KdcServer>(dir_ + "/kdc", "admin", kPassword);
    if (!kdc_->skipReason().empty()) GTEST_SKIP() << kdc_->skipReason();
    ASSERT_EQ(kdc_->failure(), "");
    ASSERT_EQ(std::system(("cd '" + dir_ + "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem "
                           "-days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost 2>/dev/null").c_str()), 0);
    qvtest::SimResult sim = qvtest::runSim(serverFixture(), {"WS01"});
    const std::string expected = comparable(sim.file("docs/QVWS01.txt"));
    ASSERT_FALSE(expected.empty());
    struct Way {
        const char* name;
        std::vector<std::string> serverArgs;
        std::string settings;
    } ways[] = {
        // No Auth line: Kerberos, since the ticket cache holds a ticket and the host is a name.
        {"kerberos", {}, ""},
        {"basic", {"--tls", dir_ + "/cert.pem", dir_ + "/key.pem", "--basic", "CORP\\admin:" + std::string(kPassword)},
         "  Scheme https\n  Auth basic\n  CAFile " + dir_ + "/cert.pem\n"},
    };
    clientEnv_ = kdc_->clientEnv();
    for (const Way& w : ways) {
        std::string home = dir_ + "/home";
        std::system(("rm -rf '" + home + "/Documents'").c_str());
        startServer(w.serverArgs, kdc_->serverEnv());
        configure({"WS01"}, "localhost", w.settings);
        EXPECT_EQ(runQv({"WS01"}), sim.exitCode) << w.name;
        EXPECT_EQ(comparable(qvtest::readFile(docs() + "/QVWS01.txt")), expected) << w.name << "\n"
                                                                                  << qvtest::readFile(dir_ + "/qv.out");
        server_.reset();
    }
}

// The transport opened as the run opens it, with short limits.
struct Opened {
    std::unique_ptr<TargetConnection> connection;
    CallError error;
};

Opened openWs(const std::string& name, int queryMs) {
    Limits limits;
    limits.connectMs = 5000;
    limits.queryMs = queryMs;
    wsman::WsmanTransport transport;
    auto opened = transport.open(name, limits, std::nullopt);
    if (!opened) return {nullptr, opened.error()};
    return {std::move(*opened), {}};
}

long maxRssKb() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST_F(WsmanServerTest, FailingAndHostileServersEndEachCallWithinItsLimitAndTheConnectionGoesOn) {
    startServer({"--batch", "1", "--hostile", "Win32_DiskDrive=drop", "--hostile", "Win32_Processor=expire",
                 "--hostile", "Win32_BIOS=quota", "--hostile", "Win32_SoundDevice=encoding", "--hostile",
                 "Win32_VideoController=endless", "--hostile", "Win32_USBController=huge", "--hostile",
                 "Win32_SCSIController=malformed", "--hostile", "Win32_POTSModem=laughs", "--hostile",
                 "Win32_TapeDrive=external"});
    configure({"WS01", "WS03"}, "127.0.0.1", "  Auth ntlm\n");
    setenv("QV_CONFIG_DIR", (dir_ + "/config").c_str(), 1);
    setenv("QV_NETRC", (dir_ + "/netrc").c_str(), 1);
    const int queryMs = 1500;

    // A wrong password is "Access is denied.", as DCOM says it, and never shows the password.
    netrc("default login CORP\\admin password Wrong-Secret\n");
    Opened refused = openWs("WS01", queryMs);
    ASSERT_FALSE(refused.connection);
    EXPECT_EQ(refused.error.error.number, wsman::kErrAccessDenied);
    EXPECT_EQ(refused.error.error.description, "Access is denied. ");
    netrc("default login CORP\\admin password " + std::string(kPassword) + "\n");

    Opened ws01 = openWs("WS01", queryMs);
    ASSERT_TRUE(ws01.connection) << ws01.error.error.description;
    const long rssBefore = maxRssKb();
    struct Case {
        const char* className;
        std::size_t items;       // 0: the call fails
        std::int32_t number;     // the failure's number
    } cases[] = {
        {"Win32_DiskDrive", 2, 0},        // connection dropped at the Pull: enumerated once more
        {"Win32_Processor", 2, 0},        // context expired at the Pull: enumerated once more
        {"Win32_BIOS", 1, 0},             // over the quota: waited out, then once more
        {"Win32_SoundDevice", 2, 0},      // asked for a smaller envelope: asked again so
        {"Win32_VideoController", 0, wsman::kErrWsmanProtocol},  // an answer that never ends
        {"Win32_USBController", 0, wsman::kErrWsmanProtocol},    // 100 MB
        {"Win32_SCSIController", 0, wsman::kErrWsmanProtocol},   // malformed XML
        {"Win32_POTSModem", 0, wsman::kErrWsmanProtocol},        // entity expansion
        {"Win32_TapeDrive", 0, wsman::kErrWsmanProtocol},        // an external entity
        {"Win32_PortConnector", 0, kErrInvalidClass},
        {"Win32_SerialPort", 0, -2147217407},
        {"Win32_BaseBoard", 2, 0},        // and the connection still answers
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        Result<Instances> got = ws01.connection->instances(c.className);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(ms, queryMs + 500) << c.className;
        if (c.items) {
            ASSERT_TRUE(got) << c.className << ": " << got.error().error.description;
            EXPECT_EQ(got->size(), c.items) << c.className;
        } else {
            ASSERT_FALSE(got) << c.className;
            EXPECT_EQ(got.error().error.number, c.number) << c.className << ": " << got.error().error.description;
        }
    }
    EXPECT_LT(maxRssKb() - rssBefore, 64 * 1024);  // no answer read past its bound

    // A hanging class ends at the query limit as the management service's "Query Timed Out"; a
    // slow one on the same connection still answers.
    Opened ws03 = openWs("WS03", queryMs);
    ASSERT_TRUE(ws03.connection) << ws03.error.error.description;
    const auto start = std::chrono::steady_clock::now();
    Result<Instances> hanging = ws03.connection->instances("Win32_Printer");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(hanging);
    EXPECT_EQ(hanging.error().error.number, kErrTimedOut);
    EXPECT_TRUE(hanging.error().limitReached);
    EXPECT_GE(ms, queryMs / 2);
    EXPECT_LT(ms, queryMs + 500);
    Result<Instances> slow = ws03.connection->instances("Win32_Keyboard");
    ASSERT_TRUE(slow) << slow.error().error.description;
    EXPECT_EQ(slow->size(), 2u);
}

// Requests sent ahead over four connections: a QuotaLimit fault or a connection the server will
// not take lowers the computer's connections and the request is sent again; a connection lost
// under a request fails only that request, sent again over another; a hung class reaches its
// limit without holding the other classes' answers.
TEST_F(WsmanServerTest, ConnectionsSentAheadRecoverFromFaultsAndLimits) {
    setenv("QV_CONFIG_DIR", (dir_ + "/config").c_str(), 1);
    setenv("QV_NETRC", (dir_ + "/netrc").c_str(), 1);
    const int queryMs = 1500;
    struct Case {
        const char* name;
        std::vector<std::string> serverArgs;
        const char* computer;
        int leastAllowed, mostAllowed;  // the connections allowed afterwards
    } cases[] = {
        {"quota", {"--hostile", "Win32_BIOS=quota"}, "WS01", 1, 3},
        {"refused", {"--max-connections", "2"}, "WS01", 1, 2},
        {"lost", {"--batch", "1", "--hostile", "Win32_DiskDrive=drop"}, "WS01", 4, 4},
        {"hung", {}, "WS03", 4, 4},  // its Win32_Printer never answers
    };
    const std::vector<std::string> classes = {"Win32_Printer",   "Win32_BaseBoard", "Win32_BIOS",
                                              "Win32_DiskDrive", "Win32_Processor", "Win32_Keyboard",
                                              "Win32_SoundDevice", "Win32_CDROMDrive"};
    for (const Case& c : cases) {
        std::vector<std::string> args = c.serverArgs;
        args.insert(args.end(), {"--delay", "20", "--stats", dir_ + "/stats"});  // answers meet
        startServer(args);
        configure({c.computer}, "127.0.0.1", "  Auth ntlm\n  Connections 4\n");
        Opened opened = openWs(c.computer, queryMs);
        ASSERT_TRUE(opened.connection) << c.name << ": " << opened.error.error.description;
        auto* ws = dynamic_cast<wsman::WsmanConnection*>(opened.connection.get());
        ASSERT_TRUE(ws) << c.name;
        ASSERT_TRUE(ws->sendsAhead()) << c.name;
        const auto start = std::chrono::steady_clock::now();
        std::vector<Ask> asks;
        for (const std::string& cls : classes) asks.push_back(Ask::query("Select * from " + cls));
        ws->prefetch(asks);
        // The hung class is read last: everything else is answered meanwhile.
        for (std::size_t k = 1; k <= classes.size(); ++k) {
            const std::string& cls = classes[k % classes.size()];
            const auto asked = std::chrono::steady_clock::now();
            Result<Instances> got = ws->query("Select * from " + cls);
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked).count();
            if (cls == "Win32_Printer" && std::string(c.computer) == "WS03") {
                ASSERT_FALSE(got) << c.name;
                EXPECT_TRUE(got.error().limitReached) << c.name;
                EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(queryMs + 1000)) << c.name;
                continue;
            }
            ASSERT_TRUE(got) << c.name << " " << cls << ": " << got.error().error.description;
            EXPECT_EQ(got->size(), cls == "Win32_BIOS" ? 1u : 2u) << c.name << " " << cls;
            EXPECT_LT(ms, queryMs) << c.name << " " << cls;  // never held behind the hung class
        }
        EXPECT_GE(ws->connectionsAllowed(), c.leastAllowed) << c.name;
        EXPECT_LE(ws->connectionsAllowed(), c.mostAllowed) << c.name;
        opened.connection.reset();
        server_.reset();
        std::map<std::string, long> stats = serverStats(dir_ + "/stats");
        EXPECT_LE(stats["most-at-once"], std::string(c.name) == "refused" ? 2 : 4) << c.name;
        EXPECT_GT(stats["most-at-once"], 1) << c.name;
    }
}

TEST_F(WsmanServerTest, PywinrmEnumeratesThroughTheServerAndUnsealedMessagesAreRefused) {
    if (std::system("/usr/bin/python3 -c 'import winrm' 2>/dev/null") != 0)
        GTEST_SKIP() << "Debian's python3-winrm is not installed";
    startServer();
    // pywinrm's NTLM hashes with MD4, which OpenSSL 3 gives only through its legacy provider.
    qvtest::writeFile(dir_ + "/openssl.cnf",
                      "openssl_conf = init\n[init]\nproviders = providers\n[providers]\ndefault = on\nlegacy = on\n"
                      "[on]\nactivate = 1\n");
    const std::string endpoint = "http://127.0.0.1:" + std::to_string(server_->port("WS01")) + "/wsman";
    const std::string cmd = "OPENSSL_CONF='" + dir_ + "/openssl.cnf' /usr/bin/python3 '" QV_SOURCE_DIR
                            "/tests/management/pywinrm_enumerate.py' '" + endpoint + "' 'CORP\\admin' '" + kPassword + "' ";
    ASSERT_EQ(std::system((cmd + "Win32_BaseBoard >'" + dir_ + "/pywinrm.out' 2>&1").c_str()), 0)
        << qvtest::readFile(dir_ + "/pywinrm.out");
    const std::string out = qvtest::readFile(dir_ + "/pywinrm.out");
    EXPECT_NE(out.find("items 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Manufacturer=Manufacturer 0\n"), std::string::npos) << out;
    // The same client without sealing is refused.
    EXPECT_NE(std::system((cmd + "Win32_BaseBoard never >'" + dir_ + "/plain.out' 2>&1").c_str()), 0)
        << qvtest::readFile(dir_ + "/plain.out");
}

}  // namespace

namespace {

// A name nothing configures is probed on 5985, 5986 and 22 at once: WS-Management answers on 5985
// and says Windows, so the name goes there (NTLM, since it is an address).
TEST_F(WsmanServerTest, AnUnconfiguredNameGoesWhereTheProbeFindsWindows) {
    if (qvtest::acceptsOnLoopback(5985)) GTEST_SKIP() << "something else listens on 127.0.0.1:5985";
    startServer({"--port", "WS01=5985"});
    if (server_->port("WS01") != 5985) GTEST_SKIP() << "127.0.0.1:5985 cannot be had here";
    qvtest::writeFile(dir_ + "/config/winrm", "");
    setenv("QV_CONFIG_DIR", (dir_ + "/config").c_str(), 1);
    setenv("QV_NETRC", (dir_ + "/netrc").c_str(), 1);
    setenv("QV_SSH_DIR", (dir_ + "/ssh").c_str(), 1);
    Limits limits;
    limits.probeMs = 1000;
    limits.connectMs = 5000;
    limits.queryMs = 5000;
    management::SystemNetwork network;
    management::ssh::SshTransport ssh;
    wsman::WsmanTransport ws;
    management::remote::RemoteChoice choice(network, ssh, ws);
    auto opened = choice.open("127.0.0.1", limits, std::nullopt);
    ASSERT_TRUE(opened) << opened.error().error.description;
    Result<Instances> boards = (*opened)->instances("Win32_BaseBoard");
    ASSERT_TRUE(boards) << boards.error().error.description;
    EXPECT_EQ(boards->size(), 2u);
    // Nothing answers on 127.0.0.2's three ports: unavailable within the probe's limit.
    for (unsigned port : {5985u, 5986u, 22u})
        if (network.probe("127.0.0.2", port, 200)) GTEST_SKIP() << "127.0.0.2:" << port << " answers here";
    const auto start = std::chrono::steady_clock::now();
    auto none = choice.open("127.0.0.2", limits, std::nullopt);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().error.number, kErrRpcServerUnavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(limits.probeMs + 500));
}

}  // namespace

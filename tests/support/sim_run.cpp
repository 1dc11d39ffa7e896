// Test support: running qv-sim and reading its outputs.
#include "tests/support/sim_run.h"

#include "tests/support/pg_server.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace qvtest {

namespace {

// The folders this test process made; removed when it exits (only by the process that made them,
// never by a forked child).
struct TempDirs {
    pid_t owner = ::getpid();
    std::vector<std::string> paths;
    ~TempDirs() {
        if (::getpid() != owner) return;
        for (const std::string& p : paths)
            ::nftw(p.c_str(), [](const char* f, const struct stat*, int, struct FTW*) { return ::remove(f); }, 16,
                   FTW_DEPTH | FTW_PHYS);
    }
};
TempDirs& tempDirs() {
    static TempDirs dirs;
    return dirs;
}

}  // namespace

std::string makeTempDir() {
    std::string tmpl = (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : std::string("/tmp")) + "/qvtest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    tempDirs().paths.push_back(buf.data());
    return buf.data();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string SimResult::file(const std::string& relativePath) const { return readFile(dir + "/" + relativePath); }

bool SimResult::exists(const std::string& relativePath) const {
    struct stat st {};
    return ::stat((dir + "/" + relativePath).c_str(), &st) == 0;
}

namespace {
std::string shellQuoted(const std::string& text) {
    std::string quoted;
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return "'" + quoted + "'";
}
}  // namespace

namespace {
void mirrorOnServer(const std::string& fixtureJson, const std::vector<std::string>& args, const SimResult& r,
                    const char* parallel);
}  // namespace

SimResult runSim(const std::string& fixtureJson, const std::vector<std::string>& args, std::string dir,
                 const char* parallel, const char* database) {
    SimResult r;
    r.dir = dir.empty() ? makeTempDir() : dir;
    writeFile(r.dir + "/fixture.json", fixtureJson);
    std::string cmd = "cd " + shellQuoted(r.dir) + " && ";
    cmd += "unset QV_PARALLEL QV_DATABASE;";
    if (parallel) cmd += " QV_PARALLEL=" + shellQuoted(parallel);
    if (database) cmd += " QV_DATABASE=" + shellQuoted(database);
    cmd += " '" QV_SIM_PATH "' fixture.json";
    for (const std::string& a : args) cmd += " " + shellQuoted(a);
    cmd += " >.out 2>.err </dev/null";
    int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(r.dir + "/.out");
    r.err = readFile(r.dir + "/.err");
    // A step that ended on an exception is traced (inventory/collector.h, kCaughtTracePrefix): no
    // fixture run expects one.
    if (std::size_t caught = r.err.find("Continued after error: "); caught != std::string::npos)
        ADD_FAILURE() << "the run caught " << r.err.substr(caught, r.err.find('\n', caught) - caught);
    if (!database && mirrorRunsOnServer() && r.exists("docs/QV.mdb")) mirrorOnServer(fixtureJson, args, r, parallel);
    return r;
}

namespace {
int mirroredRuns = 0;

// With mirroring asked for, a test process that mirrored no run has compared nothing: it fails.
struct MirrorCheck : ::testing::Environment {
    void TearDown() override {
        if (mirrorRunsOnServer() && mirroredRuns == 0) ADD_FAILURE() << "QV_TEST_SERVER_MIRROR is set but no run was mirrored";
    }
};
[[maybe_unused]] ::testing::Environment* const kMirrorCheck = ::testing::AddGlobalTestEnvironment(new MirrorCheck);

// The same run again against the process's database server, in a folder and a database that
// stand for this run's folder (a later run in that folder goes to the same database), and the
// rows compared with the run's QV.mdb.
void mirrorOnServer(const std::string& fixtureJson, const std::vector<std::string>& args, const SimResult& r,
                    const char* parallel) {
    PgServer& server = PgServer::instance();
    static std::map<std::string, std::pair<std::string, std::string>> mirrors;  // folder: its folder, database
    if (!server.skipReason().empty() || !server.failure().empty()) {
        ADD_FAILURE() << "no server for the mirrored run: " << server.skipReason() << server.failure();
        return;
    }
    auto it = mirrors.find(r.dir);
    if (it == mirrors.end()) it = mirrors.emplace(r.dir, std::make_pair(makeTempDir(), server.newDatabase())).first;
    const std::string connection = server.connection(it->second.second);
    runSim(fixtureJson, args, it->second.first, parallel, connection.c_str());
    ++mirroredRuns;
    const std::string differences = server.differencesFrom(r.dir + "/docs/QV.mdb", it->second.second);
    if (!differences.empty()) ADD_FAILURE() << "rows on the server differ from QV.mdb's: " << differences;
}
}  // namespace

std::string standardFixture(const std::string& extraMembers) {
    using json = nlohmann::ordered_json;
    json base = json::parse(R"({
  "now": "2026-12-08T09:30:05",
  "identity": {"computerName": "WS01", "userName": "admin", "dnsDomain": "corp.example.com",
               "documents": "docs", "privilege": 2, "dcName": "\\\\DC01",
               "version": {"platformId": 2, "major": 5, "minor": 1, "build": 2600, "csd": "Service Pack 2"}},
  "environment": {"SystemRoot": "C:\\WINDOWS", "ComSpec": "C:\\WINDOWS\\system32\\cmd.exe"},
  "registry": {
    "HKCR\\WINMGMTS\\CurVer": {"": {"type": 1, "data": "WINMGMTS.1"}},
    "HKCR\\ADODB.Connection\\CurVer": {"": {"type": 1, "data": "ADODB.Connection.2.8"}},
    "HKCR\\ADODB.Command\\CurVer": {"": {"type": 1, "data": "ADODB.Command.2.8"}},
    "HKCR\\ADODB.Recordset\\CurVer": {"": {"type": 1, "data": "ADODB.Recordset.2.8"}},
    "HKCR\\ADOR.Recordset\\CurVer": {"": {"type": 1, "data": "ADOR.Recordset.2.8"}},
    "HKCR\\ADOX.Catalog\\CurVer": {"": {"type": 1, "data": "ADOX.Catalog.2.8"}},
    "HKCR\\ADOX.Table\\CurVer": {"": {"type": 1, "data": "ADOX.Table.2.8"}},
    "HKCR\\ADOX.Key\\CurVer": {"": {"type": 1, "data": "ADOX.Key.2.8"}},
    "HKCR\\Microsoft.Jet.OLEDB.4.0": {"": {"type": 1, "data": "Microsoft.Jet.OLEDB.4.0"}},
    "HKLM\\Software\\Microsoft\\Jet\\4.0\\Engines\\Text": {"DisabledExtensions": {"type": 1, "data": "!txt,csv"}},
    "HKCR\\ADsDSOObject": {"": {"type": 1, "data": "OLE DB Provider for Microsoft Directory Services"}},
    "HKCR\\WinNT\\Clsid": {"": {"type": 1, "data": "{8B20CD60-0F29-11CF-ABC4-02608C9E7553}"}}
  },
  "files": {"C:\\WINDOWS\\system32\\Netsh.exe": {}},
  "wmi": {"WS01": {"classes": {}}}
})");
    if (!extraMembers.empty()) {
        json extra = json::parse("{" + extraMembers + "}");
        for (auto& [key, value] : extra.items()) base[key] = value;
    }
    return base.dump(2);
}

const std::vector<std::string>& loggedTableNames() {
    static const std::vector<std::string> names = {
        "DeviceID",    "OSData",        "EnvStrings",  "BIOS",         "CPU",            "RAM",
        "BaseBoard",   "Chassis",       "LogicalDrives", "HardDisk",   "CD_DVD",         "TapeDrive",
        "PointDevice", "Keyboard",      "PortCon",     "SerialPorts",  "ParallelPorts",  "USB",
        "SCSI",        "Modem",         "Audio",       "Monitor",      "VideoAdapter",   "Printers",
        "TCP_IP",      "DNSSearchServers", "IPX_SPX",  "SelectServices", "NetworkProtocols", "NetworkAdapters",
        "SharedRes",   "Drivers",       "RegSoftwarePackages", "RegSoftwareAppl"};
    return names;
}

std::string databaseCreationLog() {
    std::string log = "  QV.mdb Created\r\n";
    for (const std::string& name : loggedTableNames()) log += "    Table " + name + " Created\r\n";
    return log;
}

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace qvtest

// Test support: runs qv-sim on a fixture in a fresh temporary folder and reads back what it wrote.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct SimResult {
    std::string dir;        // the temporary start directory (fixture "documents" is relative to it)
    std::string out;        // console bytes
    std::string err;        // debug traces and message boxes
    int exitCode = -1;
    std::string file(const std::string& relativePath) const;  // whole file, "" when missing
    bool exists(const std::string& relativePath) const;
};

// A new empty temporary folder (removed by the caller's TempDir or left for inspection).
std::string makeTempDir();
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);

// Writes `fixtureJson` to dir/fixture.json and runs qv-sim there with the arguments.
// `dir` empty: a new temporary folder. `parallel`, when given, is the run's QV_PARALLEL; `database`,
// when given, its QV_DATABASE (a database server's connection).
SimResult runSim(const std::string& fixtureJson, const std::vector<std::string>& args, std::string dir = "",
                 const char* parallel = nullptr, const char* database = nullptr);

// A fixture with a complete Windows XP administrator workstation WS01 (every component present,
// documents folder "docs"), to which a test adds or replaces members: `extraMembers` is spliced
// into the top-level JSON object (e.g. "\"wmi\": {...}"); a member given there replaces the default.
std::string standardFixture(const std::string& extraMembers = "");

// The category tables in creation order (all but SoftwareKey and HardwareKey), as the run log
// names them when it creates the database.
const std::vector<std::string>& loggedTableNames();
// The log lines of a first run's database creation: "  QV.mdb Created" and one line per table.
std::string databaseCreationLog();

// Splits text at CR LF into lines (a final CR LF gives no extra empty line).
std::vector<std::string> crlfLines(const std::string& text);

}  // namespace qvtest

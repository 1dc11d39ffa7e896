// The run context: every run-wide value of one run, passed by reference to every operation.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/limits.h"
#include "platform/platform.h"

namespace qv {

namespace management {
class Connector;  // the one way the program reaches a computer's management service
}

namespace database {
// The run's open inventory database (defined by the database layer); closed, its last rows
// committed, when the run context ends.
struct Session;
void closeSession(Session* session);
struct SessionCloser {
    void operator()(Session* session) const { closeSession(session); }
};
class Engine;
struct ServerSettings;
}  // namespace database

// The facts the environment probe gathers, and the run-wide settings derived from them.
struct RunEnvironment {
    std::string sLocalComputer, sUser, sDomainName, sWMIVer, sWMIVerReg, sOSName, sOSVer, sOSCSD;
    std::int32_t sOSPLat = 0;  // a number despite its prefix
    std::int32_t lUserLevel = 0;
    std::string sAdorVer, sAdodbConnVer, sAdodbCommVer, sAdodbRSVer, sAdsiDBProvider, sWinNtProvider;
    std::string sADOXCat, sADOXTable, sADOXKey, sMSJet, sJetType, sPDC, sSourceFile;
    bool bMDB = false, bWMIFlag = false, bFlagNetsh = false, bFlagWINS = false;
    bool bNotElevated = false;  // an administrator's filtered token
    std::string sOption;  // "/B", "/F", "/?", "/N", "/L" or empty
    std::string sourceFileAsTyped;  // the name file's path before upper-casing
    std::string sPath;    // working directory, empty when none
    std::string sStartPath;  // the folder the program was started in
    std::string osMajorVersion;  // major version digits, set by the version text query
};

// The command line split into tokens (all upper case).
struct CommandLine {
    std::string argumentText;
    std::vector<std::string> allTokens, optionTokens, nameTokens;
    std::vector<std::string> optionsAsTyped;  // the option tokens before upper-casing
    std::string optionError;
};

// Whose conventions the program follows where Windows consoles and Linux differ: the usage
// screen's program name and paths, the exit wait, letter case of paths in messages, name-file
// comments, local names and user rights. The simulator and QV.exe keep the Windows console's; the
// Linux program chooses Linux's in its main.
enum class Conventions { WindowsConsole, Linux };

// How the computers of a run ended, counted by the ordered writer as each one is written.
struct RunTally {
    int inventoried = 0;     // report and rows complete
    int failed = 0;          // not connected, report not opened or not completely written
    int rowsNotWritten = 0;  // report complete, rows refused or lost
};

struct RunContext {
    RunContext(Platform& p, management::Connector& c, const Limits& l) : platform(p), connector(c), limits(l) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    Platform& platform;
    management::Connector& connector;  // the program's transports, chosen per computer
    const Limits& limits;              // what calls to computers and the database wait at most
    Conventions conventions = Conventions::WindowsConsole;
    CommandLine commandLine;
    RunEnvironment env;
    DateTime runStartTime;
    ControlEvents controlEvents;

    RunTally tally;
    std::vector<std::string> targetList;  // TargetList: ComputerName of each entry
    std::unique_ptr<TextWriter> runLog;   // RunLog; null when closed
    std::string runLogPath;
    bool runLogFailed = false;            // a line could not be written (said once on the console)
    std::mutex runLogMutex;               // the run's writer and an urgent stop both write the log
    std::unique_ptr<database::Session, database::SessionCloser> database;  // null when the run has none
    // The environment's QV_PARALLEL, when set: how many computers to inventory at once.
    std::optional<std::string> parallelSetting;
    // The environment's QV_DATABASE, when set: a database server's connection string or URI;
    // unset or empty, the rows go to QV.mdb.
    std::optional<std::string> databaseSetting;
    // Makes the engine of that server; null in a program built without one.
    std::unique_ptr<database::Engine> (*serverEngine)(const database::ServerSettings& settings) = nullptr;
};

// The program's name as the banner, the usage and the log show it.
inline const char* programName(const RunContext& ctx) { return ctx.conventions == Conventions::Linux ? "qv" : "QV.exe"; }

}  // namespace qv

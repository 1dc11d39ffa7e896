// The run driver.
#include "run/driver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "console/console.h"
#include "database/records.h"
#include "environment/probe.h"
#include "environment/requirements.h"
#include "files/run_log.h"
#include "files/run_reporter.h"
#include "inventory/inventory.h"
#include "run/command_line.h"
#include "run/ends.h"
#include "run/worker_pool.h"
#include "targets/directory_source.h"
#include "targets/target_list.h"
#include "targets/wins_source.h"

namespace qv::run {

namespace {

void say(RunContext& ctx, const std::string& text, bool newline = true) { console::writeConsoleLine(ctx, text, newline); }
void trace(RunContext& ctx, const std::string& text) { ctx.platform.system.debugTrace(text); }

// What a break event of each type prints, logs and traces.
struct BreakRow {
    const char* consoleLine;       // for the target loop and for "/L"
    const char* localConsoleLine;  // for "/L" when it differs; null: none in the loop either
    const char* logLine;
    const char* trace;
};
const BreakRow kBreakTable[] = {
    {"**Program Ended by User ^C pressed", nullptr, "**Program Ended by User ^C pressed", "Stopped Quorvex: ^C pressed"},
    {"**Program Ended by User Ctrl-Break pressed", nullptr, "**Program Ended by User Ctrl-Break pressed",
     "Stopped Quorvex: Ctrl-Break pressed"},
    {nullptr, "**Program Ended by User", "**Program Ended by User Closed Program", "Stopped Quorvex:User Closed Program"},
};

// Stops the run for a break event of type 0, 1 or 2: reason, date-time, log closed; no end banner.
void stopForBreak(RunContext& ctx, int type, bool localOnly) {
    const BreakRow& row = kBreakTable[type];
    const char* line = row.consoleLine ? row.consoleLine : (localOnly ? row.localConsoleLine : nullptr);
    if (line) say(ctx, line);
    files::logLine(ctx, row.logLine);
    files::logLine(ctx, now(ctx));
    files::closeRunLog(ctx);
    trace(ctx, row.trace);
    if (!localOnly) ctx.targetList.clear();
}

// Ends the process at once when an urgent control event arrives (the terminal closed, the
// program terminated, Ctrl-C pressed a second time): the run may be waiting inside a call (a held
// database, a slow computer), so the lines of the break are written from here, the console is
// restored and the process ends. Computers already committed stay in the database.
class UrgentStop {
public:
    explicit UrgentStop(RunContext& ctx) : ctx_(ctx), watcher_([this] { watch(); }) {}
    // The watcher is woken at once, so that the end of the run does not wait for its next look.
    ~UrgentStop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        watcher_.join();
    }
    UrgentStop(const UrgentStop&) = delete;
    UrgentStop& operator=(const UrgentStop&) = delete;

private:
    // The urgent flag is set from a signal handler, which cannot wake a thread: it is looked at
    // every 20 ms.
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            if (ctx_.controlEvents.urgent.load()) {
                lock.unlock();
                int type = ctx_.controlEvents.type.load();
                stopForBreak(ctx_, type >= 0 && type <= 2 ? type : 2, ctx_.env.sOption == "/L");
                console::end(ctx_);
                std::_Exit(exitStatusForBreak(type));
            }
            wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return done_; });
        }
    }
    RunContext& ctx_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;  // under mutex_
    std::thread watcher_;
};

// The target list of the chosen option, from its sources, with this computer's own names merged
// and sorted; the name file is closed once read.
void buildTargetList(RunContext& ctx, Reporter& reporter, std::unique_ptr<TextReader> nameFile) {
    const std::string& option = ctx.env.sOption;
    targets::TargetList list;
    if (option == "/B") {
        targets::addDirectoryTargets(ctx.platform, ctx.env, reporter, list);
        targets::addWinsTargets(ctx.platform, ctx.env, reporter, list);
    } else if (option == "/F") {
        if (nameFile) targets::addNameFileTargets(list, *nameFile, ctx.conventions, reporter);
    } else if (option == "/N") {
        targets::addNameTokenTargets(list, ctx.commandLine);
    }
    targets::mergeLocalNames(list, ctx.platform.identity, ctx.env.sLocalComputer, ctx.conventions);
    targets::sortTargetList(list);
    ctx.targetList = std::move(list);
    const std::string count = std::to_string(ctx.targetList.size());
    if (option == "/B") {
        files::logLine(ctx, "System Reports " + count + " Computers");
        say(ctx, "Complete: " + count + " Computer Name(s) Found");
    } else if (option == "/F") {
        files::logLine(ctx, "             Source: " + ctx.env.sSourceFile + " Reports " + count + " Computer(s)");
        say(ctx, "Complete: File " + ctx.env.sSourceFile + " Contains " + count + " Computer Name(s)");
    } else if (option == "/N") {
        files::logLine(ctx, "              Count: " + count + " Computer(s) Identified");
        say(ctx, "Complete: " + count + " Computer Name(s) Identified");
    } else if (option == "/L") {
        files::logLine(ctx, "Inventory Local Computer: " + ctx.env.sLocalComputer);
        say(ctx, "Complete: Inventory Local Computer Only");
    }
}

// The database the rows go to: QV.mdb in the working folder, or the server QV_DATABASE names.
void openDatabase(RunContext& ctx, Reporter& reporter) {
    if (!ctx.env.bMDB) {
        database::warnNoDatabase(reporter);
        return;
    }
    const database::Settings settings{ctx.platform.files, ctx.platform.system.locale(), ctx.runStartTime, ctx.env.sPath,
                                      ctx.databaseSetting, ctx.serverEngine, ctx.limits.databaseMs};
    ctx.database = database::createOrOpenDatabase(settings, reporter);
    ctx.env.bMDB = ctx.database != nullptr;
}

// The status of a run that ended normally: whether every computer was inventoried and written.
int statusOfTally(const RunContext& ctx) {
    return ctx.tally.failed > 0 || ctx.tally.rowsNotWritten > 0 ? kExitIncomplete : kExitDone;
}

// True when the run's list holds this computer (or inventories only it).
bool listsLocalComputer(RunContext& ctx) {
    if (ctx.env.sOption == "/L") return true;
    for (const std::string& name : ctx.targetList)
        if (ctx.platform.identity.isLocalComputer(name)) return true;
    return false;
}

// On Linux a run without root still inventories this computer; what only root can read is named.
void noteLocalFactsWithoutRoot(RunContext& ctx) {
    if (ctx.conventions != Conventions::Linux || ctx.env.lUserLevel >= 2 || !listsLocalComputer(ctx)) return;
    files::logLine(ctx, "        User Rights: not root; facts of this computer only root can read stay empty: "
                        "SMBIOS serial numbers, UUID and asset tags (system, BIOS, baseboard, enclosure)");
}

}  // namespace

int exitStatusForBreak(int type) { return type == 0 ? kExitInterrupted : type == 1 ? kExitQuit : kExitTerminated; }

std::string joinArguments(int argc, char** argv, int first) {
    std::string text;
    for (int i = first; i < argc; ++i) {
        if (i > first) text += ' ';
        text += argv[i];
    }
    return text;
}

int runProgram(RunContext& ctx, const std::string& argumentText) {
    System& sys = ctx.platform.system;
    ctx.runStartTime = sys.now();
    ctx.env.sStartPath = ctx.platform.files.currentDirectory();
    const std::string started = formatGeneralDate(sys.locale(), ctx.runStartTime);
    trace(ctx, std::string("Started Quorvex ") + files::kVersionLiteral + " " + started);
    console::start(ctx);
    UrgentStop urgentStop(ctx);
    trace(ctx, "Con module Started");
    console::setTitle(ctx, "Quorvex Inventory Tool");
    if (ctx.conventions == Conventions::Linux && (argumentText == "--help" || argumentText == "-h")) {
        showUsage(ctx);
        return kExitDone;
    }
    if (ctx.conventions == Conventions::Linux && argumentText == "--version") {
        say(ctx, std::string("qv (Quorvex) ") + files::kVersionLiteral);
        return kExitDone;
    }
    say(ctx, "Cmd Line:     " + std::string(programName(ctx)) + " " + argumentText + "\r\n              " + files::kVersionLiteral +
                 "\r\nStarted:      " + started + "\r\n");

    ctx.env.sOption = selectOption(ctx.commandLine, argumentText, [&sys](const std::string& t) { return sys.upperCase(t); });
    trace(ctx, "sOption:" + ctx.env.sOption);
    if (!validateOptions(ctx.commandLine)) {
        say(ctx, ctx.commandLine.optionError + "\r\n");
        showUsage(ctx);
        console::pauseForKey(ctx, "Press any key to Exit . . . ", false);
        trace(ctx, ctx.commandLine.optionError + "\r\nStopped Quorvex: Invalid Option");
        return kExitRefused;
    }
    if (ctx.env.sOption == "/?") {
        showUsage(ctx);
        normalEnd(ctx);
        return kExitDone;
    }

    say(ctx, "Checking for required elements...", false);
    environment::probeEnvironment(ctx.env, ctx.platform, ctx.connector, ctx.commandLine, ctx.conventions);
    say(ctx, " Completed");

    if (ctx.env.sPath.empty()) {
        say(ctx, "** A required system file, SHFOLDER.DLL, was not found **");
        say(ctx, "** Program unable to establish a Working Directory     **\r\n"
                 "** No Data or Log file written                         **\r\n"
                 "   Program Ended\r\n");
        console::pauseForKey(ctx, "Press any key to Exit . . . ", false);
        trace(ctx, "Stopped Quorvex: Unable to establish Working Directory Check SHFOLDER.DLL");
        return kExitNotStarted;
    }

    ctx.platform.files.setCurrentDirectory(ctx.env.sPath);
    trace(ctx, "sPath:" + ctx.env.sPath);
    say(ctx, "Working Directory: " + ctx.env.sPath);

    if (!files::openRunLog(ctx, ctx.platform.files.join(ctx.env.sPath, "QV.log"))) {
        say(ctx, "**Unable to open Log file**\r\nProgram Ended\r\n");
        console::pauseForKey(ctx, "Press any key to Exit . . . ", false);
        trace(ctx, "Stopped Quorvex: Unable to open Log file");
        return kExitNotStarted;
    }

    files::RunReporter reporter(ctx);
    environment::Requirements requirements =
        environment::checkRequirements(ctx.env, ctx.platform.files, ctx.conventions, reporter);
    if (!requirements.met) {
        abnormalEnd(ctx);
        return kExitNotStarted;
    }
    say(ctx, "All requirements present\r\nBuilding list of computers to inventory...");
    buildTargetList(ctx, reporter, std::move(requirements.nameFile));
    noteLocalFactsWithoutRoot(ctx);
    openDatabase(ctx, reporter);

    std::string ignored;
    const int workers = workersFromSetting(ctx.parallelSetting ? ctx.parallelSetting->c_str() : nullptr, ignored);
    if (!ignored.empty()) files::logLine(ctx, ignored);

    int type = -1;
    int breakType = -1;
    if (ctx.env.sOption == "/L") {
        if (console::breakRequested(ctx, type)) {
            stopForBreak(ctx, type, true);
            return exitStatusForBreak(type);
        }
        if (!inventoryInOrder(ctx, {ctx.env.sLocalComputer}, 1, false, [&](int t) {
                breakType = t;
                stopForBreak(ctx, t, true);
            }))
            return exitStatusForBreak(breakType);
        normalEnd(ctx);
        return statusOfTally(ctx);
    }

    say(ctx, "Inventory of Target Computer(s):");
    files::logLine(ctx, "**Inventory Activities**");
    std::vector<std::string> names;
    names.reserve(ctx.targetList.size());
    for (const std::string& name : ctx.targetList) names.push_back(sys.upperCase(name));
    if (!inventoryInOrder(ctx, names, workers, true, [&](int t) {
            breakType = t;
            stopForBreak(ctx, t, false);
        }))
        return exitStatusForBreak(breakType);
    // A Linux run of several computers ends with how they went, for whoever reads the log next day.
    if (ctx.conventions == Conventions::Linux && names.size() > 1)
        files::logLine(ctx, "              Tally: " + std::to_string(ctx.tally.inventoried) + " inventoried, " +
                                std::to_string(ctx.tally.failed) + " failed, " + std::to_string(ctx.tally.rowsNotWritten) +
                                " rows not written");
    normalEnd(ctx);
    return statusOfTally(ctx);
}

}  // namespace qv::run

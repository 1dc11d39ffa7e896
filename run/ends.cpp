// The usage screen and the end banners.
#include "run/ends.h"

#include <utility>

#include "console/console.h"
#include "files/run_log.h"
#include "platform/text.h"

namespace qv::run {

namespace {

const char* const kUsageLines[] = {
    "QUORVEX: QV.EXE",
    "Description: Inventories computer system(s). By default, reports on the",
    "             local computer. No required options. Only one Named Option",
    "             (/) is accepted. Options are not case sensitive. Output is",
    "             written to files in the User \"My Documents\" directory. ",
    "",
    "SYNTAX: QV.exe [/B] [/F:Filename] [/?] [TargetComputerName]",
    "",
    "Option              Meaning",
    "------              -------",
    "/B                  Inventory all computers found in the current domain.",
    "",
    "/F:Path\\FileName    Inventory computers whose names are found in Path\\FileName.",
    "                    FileName must include the filename extension.",
    "                    FileName must be a plain text file of computer names, one",
    "                    computer name per line.",
    "",
    "/? or ?             Displays usage (this screen).",
    "",
    "TargetComputerName  Inventory TargetComputerName.",
    "                    Program will accept any number of TargetComputerName",
    "                    arguments.",
};

// The same screen under Linux conventions: the program's own name, Linux paths, the Linux options.
const char* const kLinuxUsageLines[] = {
    "QUORVEX: qv",
    "Description: Inventories computer system(s). By default, reports on the",
    "             local computer. No required options. Only one Named Option",
    "             (/) is accepted. Options are not case sensitive. Output is",
    "             written to files in the user's documents folder",
    "             ($XDG_DOCUMENTS_DIR, else ~/Documents).",
    "",
    "SYNTAX: qv [/B] [/F:Filename] [/?] [TargetComputerName]",
    "",
    "Option              Meaning",
    "------              -------",
    "/B                  Inventory all computers found in the current domain.",
    "",
    "/F:path/filename    Inventory computers whose names are found in the file.",
    "                    The file is a plain text file of computer names, one",
    "                    computer name per line; blank lines and lines starting",
    "                    with # are skipped.",
    "",
    "/?, ?, -h, --help   Displays usage (this screen).",
    "--version           Displays the version.",
    "",
    "TargetComputerName  Inventory TargetComputerName.",
    "                    Program will accept any number of TargetComputerName",
    "                    arguments.",
};

}  // namespace

std::string now(RunContext& ctx) { return formatGeneralDate(ctx.platform.system.locale(), ctx.platform.system.now()); }

void showUsage(RunContext& ctx) {
    std::string text;
    if (ctx.conventions == Conventions::Linux)
        for (const char* line : kLinuxUsageLines) text += std::string(line) + "\r\n";
    else
        for (const char* line : kUsageLines) text += std::string(line) + "\r\n";
    console::writeConsoleLine(ctx, text, true);
}

void normalEnd(RunContext& ctx) {
    if (ctx.env.sOption != "/?") {
        files::logLine(ctx, "**Normal End " + now(ctx));
        files::logLine(ctx, "*******************\r\n");
        files::closeRunLog(ctx);
    }
    ctx.runLog.reset();
    ctx.platform.system.debugTrace("Stopped Quorvex: NormEnd " + now(ctx));
    console::pauseForKey(ctx, "Program Complete Normal End\r\nPress any key to Exit . . . ", false);
}

void abnormalEnd(RunContext& ctx) {
    files::logLine(ctx, "**Required Element(s) Missing**\r\n**Abnormal End** " + now(ctx) + "\r\n*******************\r\n");
    files::closeRunLog(ctx);
    ctx.platform.system.debugTrace("Stopped Quorvex: Abend");
    console::writeConsoleLine(ctx, "**Required Element(s) Missing**\r\nProgram Ended", true);
    console::pauseForKey(ctx, "Press any key to Exit . . . ", false);
}

}  // namespace qv::run

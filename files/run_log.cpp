// The run log: header block and the write-line convention shared by every subsystem.
#include "files/run_log.h"

#include "console/console.h"
#include "files/text_files.h"

namespace qv::files {

namespace {

const char* const CRLF = "\r\n";
const std::string kContinuation(21, ' ');

std::string headerFirstWrite(RunContext& ctx) {
    const RunEnvironment& e = ctx.env;
    std::string s;
    s += "**Start " + formatGeneralDate(ctx.platform.system.locale(), ctx.runStartTime) + CRLF;
    s += std::string(kProductLine) + CRLF;
    s += CRLF;
    s += "       Command Line: " + std::string(programName(ctx)) + " " + ctx.commandLine.argumentText + CRLF;
    s += "    Selected Option: " + e.sOption + CRLF;
    s += "       Current Path: " + ctx.platform.files.currentDirectory() + CRLF;
    s += "  Working Directory: " + e.sPath + CRLF;
    s += CRLF;
    return s;
}

std::string headerSecondWrite(const RunEnvironment& e) {
    std::string s;
    s += std::string("**Local Environment**") + CRLF;
    s += "   Domain/Workgroup: " + e.sDomainName + CRLF;
    s += "      Computer Name: " + e.sLocalComputer + CRLF;
    s += "          User Name: " + e.sUser + CRLF;
    s += "    User Privileges: " + std::to_string(e.lUserLevel) + CRLF;
    if (e.bNotElevated)
        s += std::string("          Elevation: console not elevated; local facts that need elevation may be missing") + CRLF;
    s += "   Operating System: " + e.sOSName + " [Version " + e.sOSVer + "] " + e.sOSCSD + CRLF;
    s += "  OS PLatform Level: " + std::to_string(e.sOSPLat) + CRLF;
    s += "        WMI Version: " + e.sWMIVerReg + CRLF;
    s += std::string("**MDAC Elements**") + CRLF;
    s += "                ADO: " + e.sAdodbConnVer + CRLF;
    s += kContinuation + e.sAdodbCommVer + CRLF;
    s += kContinuation + e.sAdodbRSVer + CRLF;
    s += "               ADOR: " + e.sAdorVer + CRLF;
    s += "               ADOX: " + e.sADOXCat + CRLF;
    s += kContinuation + e.sADOXTable + CRLF;
    s += kContinuation + e.sADOXKey + CRLF;
    s += "      Microsoft Jet: " + e.sMSJet + CRLF;
    s += std::string("**AD Elements**") + CRLF;
    s += "   ADSI DB Provider: " + e.sAdsiDBProvider + CRLF;
    s += std::string("     WinNt Provider: ") + (e.sWinNtProvider.empty() ? "Not Present" : "Present") + CRLF;
    return s;
}

std::string headerThirdWrite(const RunEnvironment& e) {
    std::string s;
    s += std::string("**Option Elements**") + CRLF;
    s += std::string("  /B") + CRLF;
    s += "               sPDC: " + e.sPDC + CRLF;
    s += std::string("           bWMIFlag: ") + flagText(e.bWMIFlag) + CRLF;
    s += std::string("         bFlagNetsh: ") + flagText(e.bFlagNetsh) + CRLF;
    s += std::string("          bFlagWINS: ") + flagText(e.bFlagWINS) + CRLF;
    s += std::string("  /F") + CRLF;
    s += "        sSourceFile: " + e.sSourceFile + CRLF;
    return s;
}

}  // namespace

bool openRunLog(RunContext& ctx, const std::string& path) {
    // Appended to, or created when missing, in one open: a run started at the same moment in the
    // same folder never empties this run's log, nor this run another's.
    const bool existed = fileExists(ctx, path);
    std::unique_ptr<TextWriter> stream = ctx.platform.files.openForWriting(path, true);
    if (!stream) {
        console::writeConsoleLine(ctx, "*** File: " + path + " cannot be opened for " + (existed ? "Appending" : "writing") + "! ***", true);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(ctx.runLogMutex);
        ctx.runLog = std::move(stream);
        ctx.runLogPath = path;
    }
    logLine(ctx, headerFirstWrite(ctx));
    logLine(ctx, headerSecondWrite(ctx.env));
    logLine(ctx, headerThirdWrite(ctx.env));
    return true;
}

void logLine(RunContext& ctx, const std::string& text) {
    std::lock_guard<std::mutex> lock(ctx.runLogMutex);
    if (!ctx.runLog || ctx.runLog->writeLine(text) || ctx.runLogFailed) return;
    // Disk full or an I/O error: the console says so once, since the log itself cannot.
    ctx.runLogFailed = true;
    console::writeConsoleLine(ctx, "*** File: " + ctx.runLogPath + " could not be written; the log is incomplete ***", true);
}

void logLine(TargetContext& ctx, const std::string& text) { ctx.output.put({OutputItem::Kind::Log, text, {}, {}}); }

void closeRunLog(RunContext& ctx) {
    std::lock_guard<std::mutex> lock(ctx.runLogMutex);
    if (ctx.runLog) {
        ctx.runLog->close();
        ctx.runLog.reset();
    }
}

}  // namespace qv::files

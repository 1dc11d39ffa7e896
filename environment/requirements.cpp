// The requirement checks. Each failing check prints and logs its own lines; the later checks still run.
#include "environment/requirements.h"

#include <cstdlib>

#include "files/text_files.h"

namespace qv::environment {

namespace {
// What the checks see of the run.
struct CheckRun {
    RunEnvironment& env;
    FileSystem& files;
    Conventions conventions;
    Reporter& report;
};

void say(CheckRun& ctx, const std::string& text) { ctx.report.say(text); }
void log(CheckRun& ctx, const std::string& text) { ctx.report.log(text); }

// Where the name file is: the path as typed before the upper-cased one (of two files whose names
// differ only in case, the one named is read), and for a relative path the folder the program was
// started in (where the user typed it) before the working directory. Paths from a root or a drive
// letter are taken as they are.
std::string nameFilePath(CheckRun& ctx) {
    const RunEnvironment& e = ctx.env;
    auto inStartFolder = [&](const std::string& name) {
        const bool relative = !name.empty() && name.front() != '/' && name.front() != '\\' && !(name.size() > 1 && name[1] == ':');
        return relative && !e.sStartPath.empty() ? ctx.files.join(e.sStartPath, name) : std::string();
    };
    for (const std::string& typed : {inStartFolder(e.sourceFileAsTyped), e.sourceFileAsTyped})
        if (!typed.empty() && ctx.files.pathKind(typed) == PathKind::File) return typed;
    const std::string upper = inStartFolder(e.sSourceFile);
    if (!upper.empty() && ctx.files.fileExists(upper)) return upper;
    return e.sSourceFile;
}
}  // namespace

Requirements checkRequirements(RunEnvironment& e, FileSystem& files, Conventions conventions, Reporter& report) {
    CheckRun ctx{e, files, conventions, report};
    Requirements checked;
    bool result = true;
    e.bMDB = true;

    if (e.sWMIVerReg.empty()) {
        say(ctx, "Requirement Missing: WMI");
        result = false;
    }
    if (e.sAdodbConnVer.empty() || e.sAdodbCommVer.empty() || e.sAdodbRSVer.empty()) {
        say(ctx, "Requirement Missing: ADO");
        result = false;
    }
    if (e.sAdorVer.empty()) {
        say(ctx, "Requirement Missing: ADOR");
        result = false;
    }
    if (e.sADOXCat.empty() || e.sADOXTable.empty() || e.sADOXKey.empty()) {
        say(ctx, "Requirement Missing: ADOX");
        e.bMDB = false;
    }
    if (e.sMSJet.empty()) {
        say(ctx, "Requirement Missing: Microsoft.Jet.OLEDB.4.0");
        e.bMDB = false;
    }
    // On Linux another computer is reached over SSH or WS-Management, where the remote account's
    // rights are what count; local root is needed only for this computer's root-only facts.
    const bool remoteNeedsLocalAdministrator = ctx.conventions != Conventions::Linux;
    if (e.sOption != "/L" && e.lUserLevel < 2 && remoteNeedsLocalAdministrator) {
        log(ctx, "  User Rights Error: User must be an Administrator");
        say(ctx, "Requirement Missing: Insufficient User Rights\r\n"
                 "                     You must be an Administrator to run option " + e.sOption);
        result = false;
    }

    if (e.sOption == "/B") {
        say(ctx, "Checking /B Requirements");
        int major = e.osMajorVersion.empty() ? 0 : std::atoi(e.osMajorVersion.c_str());
        if (e.sOSPLat < 2 || major <= 4) {
            log(ctx, "              Error: Option not supported by the OS; Requires Win2000 or later");
            say(ctx, "Error: Option not supported by the OS; Requires Win2000 or later");
            result = false;
        }
        if (e.sPDC.empty()) {
            log(ctx, "              Error: Unable to get Primary Domain Controller Name");
            say(ctx, "Error: Unable to get Primary Domain Controller Name");
            result = false;
        }
        if (e.sJetType.find("txt") == std::string::npos) {
            log(ctx, "              Error: Microsoft.Jet.OLEDB.4.0 unable to read \"txt\" file");
            log(ctx, "         See RegKey: HKLM\\Software\\Microsoft\\Jet\\4.0\\Engines\\Text\\DisabledExtensions");
            say(ctx, "Microsoft.Jet.OLEDB.4.0 unable to read \"txt\" file");
            result = false;
        }
        if (e.sAdsiDBProvider.empty()) {
            log(ctx, "            Warning: ADSI Provider missing");
            say(ctx, "Warning: ADSI Provider missing");
        }
        if (e.bFlagWINS) {
            log(ctx, "                     WINS Service available");
        } else {
            log(ctx, "            Warning: WINS Service not available");
            say(ctx, "Warning: WINS Service not available");
        }
        if (e.bFlagNetsh) {
            log(ctx, "                     Netsh.exe available");
        } else {
            log(ctx, "            Warning: Netsh.exe not available");
            say(ctx, "Warning: Netsh.exe not available");
        }
        if (e.sAdsiDBProvider.empty() && !(e.bFlagWINS && e.bFlagNetsh)) {
            log(ctx, "              Error: Option not supported\r\n"
                     "                     Requires either Active Directory or WINS Service and Netsh.exe");
            say(ctx, "Error: Requires either Active Directory or WINS Service and Netsh.exe");
            result = false;
        }
        if (e.sWinNtProvider.empty()) {
            log(ctx, "            Warning: WinNT Provider missing");
            say(ctx, "Warning: WinNT Provider missing");
        }
    }

    if (e.sOption == "/F") {
        if (e.sSourceFile.empty()) {
            log(ctx, "Missing Requirement: No File Name");
            say(ctx, "*** File Name is required for this option ***");
            result = false;
        } else if (const std::string found = nameFilePath(ctx); !files.fileExists(found)) {
            say(ctx, "*** File '" + e.sSourceFile + "' cannot be found ***");
            result = false;
        } else if (!files::openForReading(files, found, checked.nameFile)) {
            say(ctx, "*** File '" + e.sSourceFile + "' cannot be opened ***");
            result = false;
        }
    }
    checked.met = result;
    return checked;
}

}  // namespace qv::environment

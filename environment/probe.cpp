// The environment probe. Every step is guarded: a failing platform call leaves its field as it was.
#include "environment/probe.h"

#include <cctype>
#include <cstdlib>

#include "environment/identity.h"
#include "environment/registry_reader.h"
#include "files/run_log.h"
#include "management/connector.h"
#include "platform/text.h"

namespace qv::environment {

namespace {

// What the probe sees of the run.
struct ProbeRun {
    Platform& platform;
    management::Connector& connector;
    RunEnvironment& env;
    const CommandLine& commandLine;
    Conventions conventions;
};

std::string regText(ProbeRun& ctx, const char* hive, const std::string& key, const std::string& valueName = "") {
    std::string h = hive;
    std::int32_t type = 0;
    return regEntryText(getRegEntry(ctx.platform, h, key, valueName, type));
}

int majorNumber(const std::string& digits) { return digits.empty() ? 0 : std::atoi(digits.c_str()); }


std::string removeAll(std::string s, const std::string& what) {
    for (std::size_t p; (p = s.find(what)) != std::string::npos;) s.erase(p, what.size());
    return s;
}

// Windows before 2000: the workgroup from the network set-up key, the documents folder only when
// the shell-folder library is present.
void olderSystemDomainAndPath(ProbeRun& ctx) {
    RunEnvironment& e = ctx.env;
    const std::string key = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";
    e.sDomainName = regText(ctx, "HKLM", key, "WORKGROUP");
    if (e.sDomainName.empty()) e.sDomainName = regText(ctx, "HKLM", key, "Workgroup");
    const std::string shfolder = "C:\\WINDOWS\\SYSTEM\\SHFolder.dll";
    if (e.bWMIFlag) {
        auto provider = ctx.connector.connect(e.sLocalComputer);
        e.sPath.clear();
        management::Result<management::RegistryValueNames> values =
            provider ? (*provider)->valueNames(kHiveLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs")
                     : management::Result<management::RegistryValueNames>(provider.error());
        if (values)
            for (const std::string& n : values->names)
                if (text::asciiUpper(n).find("SHFOLDER") != std::string::npos) e.sPath = getMyDocumentsPath(ctx.platform.identity);
    } else {
        e.sPath = ctx.platform.files.fileExists(shfolder) ? getMyDocumentsPath(ctx.platform.identity) : std::string();
    }
    if (e.sPath.empty() && ctx.platform.files.fileExists(shfolder)) e.sPath = getMyDocumentsPath(ctx.platform.identity);
}

void debugDump(ProbeRun& ctx) {
    const RunEnvironment& e = ctx.env;
    const char* nl = "\r\n";
    std::string first = std::string("Reqmts.All") + nl + "sLocalComputer:" + e.sLocalComputer + nl + "sUser:" + e.sUser + nl +
                        "sDomainName:" + e.sDomainName + nl + "sWMIVer:" + e.sWMIVer + nl + "sWMIVerReg:" + e.sWMIVerReg + nl +
                        "sOSName:" + e.sOSName + nl + "sOSVer:" + e.sOSVer + nl + "sOSCSD:" + e.sOSCSD + nl +
                        "sOSPLat:" + std::to_string(e.sOSPLat) + nl + "lUserLevel:" + std::to_string(e.lUserLevel);
    std::string second = "sAdorVer:" + e.sAdorVer + nl + "sAdodbConnVer:" + e.sAdodbConnVer + nl + "sAdodbCommVer:" +
                         e.sAdodbCommVer + nl + "sAdodbRSVer:" + e.sAdodbRSVer + nl + "sAdsiDBProvider:" + e.sAdsiDBProvider +
                         nl + "sWinNtProvider:" + e.sWinNtProvider + nl + "sADOXCat:" + e.sADOXCat + nl + "sADOXTable:" +
                         e.sADOXTable + nl + "sADOXKey:" + e.sADOXKey + nl + "sMSJet:" + e.sMSJet + nl + "sJetType:" +
                         e.sJetType + nl + "sPDC:" + e.sPDC + nl + "sSourceFile:" + e.sSourceFile + nl + "bMDB:" +
                         files::flagText(e.bMDB) + nl + "bWMIFlag:" + files::flagText(e.bWMIFlag) + nl +
                         "bFlagNetsh:" + files::flagText(e.bFlagNetsh) + nl + "bFlagWINS:" + files::flagText(e.bFlagWINS);
    ctx.platform.system.debugTrace(first);
    ctx.platform.system.debugTrace(second);
}

}  // namespace

void checkWinsService(RunEnvironment& env, management::Connector& connector) {
    env.bFlagWINS = false;
    if (env.sWMIVerReg.empty()) return;
    auto service = connector.connect(env.sLocalComputer);
    if (!service) return;
    management::Result<Instances> found = (*service)->query("Select * from Win32_BaseService WHERE Name='WINS'");
    env.bFlagWINS = found && !found->empty();
}

void probeEnvironment(RunEnvironment& e, Platform& platform, management::Connector& connector,
                      const CommandLine& commandLine, Conventions conventions) {
    ProbeRun ctx{platform, connector, e, commandLine, conventions};
    e.sLocalComputer = getLocalComputerName(ctx.platform.identity);
    e.sUser = getLocalUserName(ctx.platform.identity);
    e.sOSName = getOSName(ctx.platform.identity);
    e.sOSVer = getOSVersionText(ctx.platform.identity, e.osMajorVersion);
    e.sOSCSD = text::trimBlanks(getOSServicePack(ctx.platform.identity));
    std::int32_t platformId = 0;
    if (getOSPlatformId(ctx.platform.identity, platformId)) e.sOSPLat = platformId;
    if (e.sOSPLat < 2) {
        e.lUserLevel = -1;
    } else {
        std::int32_t level = 0;
        if (getUserPrivilegeLevel(ctx.platform.identity, e.sUser, level)) e.lUserLevel = level;
        e.bNotElevated = ctx.platform.identity.runsNotElevated();
    }
    e.sWMIVerReg = regText(ctx, "HKCR", "WINMGMTS\\CurVer");
    e.bWMIFlag = !e.sWMIVerReg.empty();
    // An unreadable version counts as a current system: the domain and documents calls exist there.
    if (e.osMajorVersion.empty() || majorNumber(e.osMajorVersion) > 4) {
        e.sDomainName = getDnsDomainName(ctx.platform.identity);
        e.sPath = getMyDocumentsPath(ctx.platform.identity);
    } else {
        olderSystemDomainAndPath(ctx);
    }
    e.sAdodbConnVer = regText(ctx, "HKCR", "ADODB.Connection\\CurVer");
    e.sAdodbCommVer = regText(ctx, "HKCR", "ADODB.Command\\CurVer");
    e.sAdodbRSVer = regText(ctx, "HKCR", "ADODB.Recordset\\CurVer");
    e.sAdorVer = regText(ctx, "HKCR", "ADOR.Recordset\\CurVer");
    e.sADOXCat = regText(ctx, "HKCR", "ADOX.Catalog\\CurVer");
    e.sADOXTable = regText(ctx, "HKCR", "ADOX.Table\\CurVer");
    e.sADOXKey = regText(ctx, "HKCR", "ADOX.Key\\CurVer");
    e.sMSJet = regText(ctx, "HKCR", "Microsoft.Jet.OLEDB.4.0");
    e.sJetType = e.sMSJet.empty() ? std::string() : regText(ctx, "HKLM", "Software\\Microsoft\\Jet\\4.0\\Engines\\Text", "DisabledExtensions");
    e.sAdsiDBProvider = regText(ctx, "HKCR", "ADsDSOObject");
    e.sWinNtProvider = regText(ctx, "HKCR", "WinNT\\Clsid");
    if (e.sOSPLat >= 2) {
        std::string dc = getPrimaryDCName(ctx.platform.identity);
        dc = removeAll(removeAll(dc, "\\\\"), std::string(1, '\0'));
        e.sPDC = ctx.platform.system.upperCase(text::trimBlanks(dc));
    } else {
        e.sPDC.clear();
    }
    checkWinsService(e, connector);
    std::string systemRoot;
    ctx.platform.system.environmentVariable("SystemRoot", systemRoot);
    e.bFlagNetsh = ctx.platform.files.fileExists(systemRoot + "\\system32\\Netsh.exe");
    const auto& options = ctx.commandLine.optionTokens;
    e.sSourceFile.clear();
    e.sourceFileAsTyped.clear();
    if (!options.empty() && options[0].compare(0, 3, "/F:") == 0) {
        e.sSourceFile = options[0].substr(options[0].find(':') + 1);
        const std::vector<std::string>& typed = ctx.commandLine.optionsAsTyped;
        if (!typed.empty()) e.sourceFileAsTyped = typed[0].substr(typed[0].find(':') + 1);
        // Linux file names differ by letter case: the path is shown and used as typed.
        if (ctx.conventions == Conventions::Linux && !typed.empty()) e.sSourceFile = e.sourceFileAsTyped;
    }
    debugDump(ctx);
}

}  // namespace qv::environment

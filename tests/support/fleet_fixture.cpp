// Test support: the fixture of a fleet of computers and the database of its two rounds.
#include "tests/support/fleet_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace qvtest {

using json = nlohmann::ordered_json;

namespace {

std::string name(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "PC%04d", i);
    return buf;
}

json regString(const std::string& s) { return {{"type", 1}, {"data", s}}; }

json computer(int i, int round) {
    static const char* makers[] = {"Dell Inc.", "Hewlett-Packard", "LENOVO",
                                   "Fujitsu Siemens Computers GmbH, a maker with a long name"};
    static const char* models[] = {"OptiPlex GX280", "Compaq dc7600", "ThinkCentre M52",
                                   "ESPRIMO P5615 with an equally long model name"};
    static const char* systems[][3] = {{"Microsoft Windows XP Professional", "5.1.2600", "Service Pack 2"},
                                       {"Microsoft Windows 2000 Professional", "5.0.2195", "Service Pack 4"},
                                       {"Microsoft Windows Server 2003, Standard Edition", "5.2.3790", "Service Pack 1"}};
    static const char* cpus[] = {"Intel(R) Pentium(R) 4 CPU 2.80GHz", "AMD Athlon(tm) 64 Processor 3200+",
                                 "Intel(R) Celeron(R) CPU 2.40GHz"};
    const double gb = 1024.0 * 1024 * 1024;
    const double memories[] = {0.25 * gb, 0.5 * gb, 1 * gb, 2 * gb, 4 * gb};
    double memory = memories[i % 5];
    if (round == 2 && i % 10 == 0) memory *= 2;
    const auto* os = systems[i % 3];
    const bool domain = i % 20 != 0;
    const std::string mac = "00:0D:56:" + std::string(1, "0123456789ABCDEF"[(i >> 12) & 15]) +
                            "0123456789ABCDEF"[(i >> 8) & 15] + ":" + "0123456789ABCDEF"[(i >> 4) & 15] +
                            "0123456789ABCDEF"[i & 15] + ":0" + std::to_string(round);
    json c;
    json& cl = c["classes"];
    cl["Win32_ComputerSystem"] = {{{"Domain", domain ? "CORP" : "LAB"}, {"PartOfDomain", domain},
                                   {"DomainRole", 1}, {"UserName", "CORP\\user" + std::to_string(i)},
                                   {"Manufacturer", makers[i % 4]}, {"Model", models[i % 4]},
                                   {"TotalPhysicalMemory", std::to_string(static_cast<long long>(memory))},
                                   {"SystemType", "X86-based PC"}}};
    cl["Win32_ComputerSystemProduct"] = {{{"IdentifyingNumber", "SN" + std::to_string(100000 + i)},
                                          {"UUID", "44454C4C-3100-1045-8052-B4C04F4B" + std::to_string(1000 + i)}}};
    cl["Win32_OperatingSystem"] = {{{"Name", std::string(os[0]) + "|C:\\WINDOWS|\\Device\\Harddisk0\\Partition1"},
                                    {"Version", os[1]}, {"CSDVersion", os[2]}, {"OSType", 18},
                                    {"InstallDate", "20050314101500.000000+060"}, {"OSLanguage", 1033},
                                    {"Organization", "Example Corp"}, {"RegisteredUser", "IT"},
                                    {"SerialNumber", "55274-640-" + std::to_string(1000000 + i) + "-23456"},
                                    {"Description", "Workstation " + std::to_string(i)}}};
    cl["Win32_Environment"] = {{{"UserName", "<SYSTEM>"}, {"Name", "PATH"}, {"VariableValue", "C:\\WINDOWS\\system32"}},
                               {{"UserName", "<SYSTEM>"}, {"Name", "TEMP"}, {"VariableValue", "C:\\WINDOWS\\TEMP"}}};
    const double disk = 40e9;
    json disks = json::array();
    disks.push_back({{"Name", "C:"}, {"Description", "Local Fixed Disk"}, {"DriveType", 3}, {"FileSystem", "NTFS"},
                     {"Size", "40000000000"},
                     {"FreeSpace", std::to_string(static_cast<long long>(disk * ((i * 37 + round) % 100) / 100.0))},
                     {"MediaType", 12}});
    if (i % 2 == 0)
        disks.push_back({{"Name", "D:"}, {"Description", "Local Fixed Disk"}, {"DriveType", 3}, {"FileSystem", "FAT32"},
                         {"Size", "80000000000"}, {"FreeSpace", "60000000000"}, {"MediaType", 12}});
    cl["Win32_LogicalDisk"] = disks;
    cl["Win32_BIOS"] = {{{"Description", "Phoenix ROM BIOS PLUS"}, {"Manufacturer", "Phoenix Technologies LTD"},
                         {"SMBIOSBIOSVersion", "A0" + std::to_string(i % 9)},
                         {"ReleaseDate", "20050610000000.000000+000"}, {"SerialNumber", "BIOS" + std::to_string(i)}}};
    json processors = json::array();
    for (int p = 0; p < (i % 9 == 0 ? 2 : 1); ++p)
        processors.push_back({{"DeviceID", "CPU" + std::to_string(p)}, {"Name", cpus[i % 3]},
                              {"MaxClockSpeed", 1800 + (i % 8) * 200}, {"CurrentClockSpeed", 1800 + (i % 8) * 200},
                              {"Manufacturer", i % 3 == 1 ? "AuthenticAMD" : "GenuineIntel"},
                              {"Description", "x86 Family 15 Model 2 Stepping 9"}, {"ProcessorId", "BFEBFBFF00000F29"}});
    cl["Win32_Processor"] = processors;
    cl["Win32_PhysicalMemory"] = {{{"Capacity", std::to_string(static_cast<long long>(memory))},
                                   {"BankLabel", "BANK0"}, {"Description", "Physical Memory"}}};
    cl["Win32_SystemEnclosure"] = {{{"SMBIOSAssetTag", "TAG" + std::to_string(i)}, {"Manufacturer", makers[i % 4]},
                                    {"Description", "System Enclosure"}}};
    cl["Win32_BaseBoard"] = {{{"Name", "Base Board"}, {"Product", "0X8582"}, {"Manufacturer", makers[i % 4]},
                              {"SerialNumber", "MB" + std::to_string(i)}, {"Version", "A00"}}};
    cl["Win32_DiskDrive"] = {{{"InterfaceType", "IDE"}, {"Model", "ST380011A"}, {"Manufacturer", "(Standard disk drives)"},
                              {"Description", "Disk drive"}, {"Size", "80023749120"}, {"Partitions", 2}}};
    cl["Win32_NetworkAdapter"] = {{{"MACAddress", mac}, {"ServiceName", "e100b"}, {"AdapterType", "Ethernet 802.3"},
                                   {"Description", "Intel(R) PRO/100 VE Network Connection"}, {"DeviceID", "1"},
                                   {"Manufacturer", "Intel"}, {"Speed", "100000000"}}};
    cl["Win32_NetworkAdapterConfiguration"] = {
        {{"Caption", "[00000001] Intel(R) PRO/100 VE Network Connection"}, {"IPEnabled", true},
         {"IPAddress", {"10." + std::to_string(round) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1)}},
         {"IPSubnet", {"255.255.0.0"}}, {"MACAddress", mac}, {"DefaultIPGateway", {"10.0.0.1"}}, {"DHCPEnabled", false},
         {"DNSHostName", name(i)}, {"DNSDomain", "corp.example.com"}}};
    cl["Win32_VideoController"] = {{{"DeviceID", "VideoController1"}, {"Name", "Intel(R) 82915G Graphics Controller"},
                                    {"AdapterRAM", 134217728}, {"VideoModeDescription", "1280 x 1024 x 4294967296 colors"},
                                    {"CurrentRefreshRate", 60}, {"VideoProcessor", "Intel(R) GMA 900"}}};
    cl["Win32_SoundDevice"] = {{{"Name", "SoundMAX Integrated Digital Audio"}, {"Manufacturer", "Analog Devices"},
                                {"DeviceID", "PCI\\VEN_8086&DEV_266E&SUBSYS_01791028&REV_03\\3&172E68DD&0&FD"}}};
    if (i % 5 == 0)
        cl["Win32_Printer"] = {{{"DeviceID", "HP LaserJet 4050"}, {"DriverName", "HP LaserJet 4050 Series PCL"},
                                {"PortName", "IP_10.0.0.5"}, {"Default", true}}};
    json& reg = c["registry"];
    const std::string un = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    auto package = [&](const std::string& key, const std::string& display, const std::string& version) {
        reg[un + key] = {{"DisplayName", regString(display)}, {"DisplayVersion", regString(version)},
                         {"Publisher", regString("Publisher of " + display)}, {"InstallDate", regString("20060115")}};
    };
    package("AcroRead", "Adobe Reader 7.0", "7.0.0");
    package("Office", "Office Suite", round == 2 && i % 2 == 1 ? "11.0.8173" : "11.0.6361");
    if (i % 3 == 0) package("7-Zip", "7-Zip 4.42", "4.42");
    if (!(round == 2 && i % 4 == 0)) package("Legacy", "Legacy Tool", "1.0");
    if (round == 2) package("FleetMon", "Fleet Monitor", "2.1");
    return c;
}

}  // namespace

std::string fleetFixture(int computers, int round, const std::string& now, int firstComputer, int lastComputer) {
    if (lastComputer == 0) lastComputer = computers;
    json f = json::parse(R"({
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
  "files": {"C:\\WINDOWS\\system32\\Netsh.exe": {}}
})");
    f["now"] = now;
    json& wmi = f["wmi"];
    for (int i = firstComputer; i <= lastComputer; ++i) wmi[name(i)] = computer(i, round);
    (void)computers;
    return f.dump();
}

std::string buildFleetDatabase(const std::string& dir, int computers) {
    struct Run {
        int round, first, last;
        const char* now;
    };
    const int cut = computers * 3 / 4;
    const Run runs[] = {{1, 1, computers, "2026-10-01T08:00:00"},
                        {2, 1, cut, "2026-12-08T09:30:05"},
                        {2, cut + 1, computers, "2026-11-02T10:00:00"}};
    ::mkdir((dir + "/docs").c_str(), 0755);
    for (const Run& r : runs) {
        if (r.first > r.last) continue;
        {
            std::ofstream(dir + "/fixture.json") << fleetFixture(computers, r.round, r.now, r.first, r.last);
            std::ofstream names(dir + "/docs/NAMES.TXT");
            for (int i = r.first; i <= r.last; ++i) names << name(i) << "\r\n";
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.c_str()) != 0) ::_exit(127);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(QV_SIM_PATH, "qv-sim", "fixture.json", "/F:NAMES.TXT", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("qv-sim failed in " + dir);
    }
    return dir + "/docs/QV.mdb";
}

}  // namespace qvtest

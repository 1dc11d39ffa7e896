// Example computers generated from the property-type table, so that every property a collector
// reads crosses the wire with a value of its declared type.
#include "tests/wsman-server/example.h"

#include <cstdio>
#include <map>
#include <string>

#include "management/property_types.h"

namespace qvwsman {

namespace {

using qv::management::CimType;
using json = nlohmann::ordered_json;

// Values a collector interprets, so that the computer reads as a 64-bit Windows Server with a
// fixed disk and a driver whose file has a version.
const std::map<std::string, json>& overrides() {
    static const std::map<std::string, json> values = {
        {"Win32_OperatingSystem.Caption", "Microsoft Windows Server 2019 Standard"},
        {"Win32_OperatingSystem.Version", "10.0.17763"},
        {"Win32_OperatingSystem.OSArchitecture", "64-bit"},
        {"Win32_OperatingSystem.CSDVersion", nullptr},
        {"Win32_ComputerSystem.SystemType", "x64-based PC"},
        {"Win32_ComputerSystem.PartOfDomain", true},
        {"Win32_ComputerSystem.Domain", "corp.example.com"},
        {"Win32_LogicalDisk.DriveType", 3},
        {"Win32_LogicalDisk.FreeSpace", "53687091200"},
        {"Win32_LogicalDisk.Size", "214748364800"},
        {"Win32_BaseService.PathName", "C:\\Windows\\system32\\drivers\\qvdrv.sys"},
        {"Win32_NetworkAdapterConfiguration.IPEnabled", true},
        {"Win32_Share.Type", 0},
    };
    return values;
}

json scalar(CimType type, const std::string& cls, const std::string& prop, int i, int index) {
    char text[64];
    switch (type) {
        case CimType::Boolean: return (i + index) % 2 == 0;
        case CimType::Datetime:
            std::snprintf(text, sizeof text, "2020%02d%02d%02d%02d%02d.%06d+060", 1 + (i + index) % 12, 1 + i, 3 + i, 4, 5,
                          123456 + i);
            return text;
        case CimType::Uint8: return 2 * (i + 1);
        case CimType::Sint8: return -3 * (i + 1);
        case CimType::Uint16: return 100 + i + index;
        case CimType::Sint16: return -100 - i;
        case CimType::Uint32: return 70000 + i + index;
        case CimType::Sint32: return -70000 - i;
        case CimType::Uint64: return std::to_string(4294967296123ull + static_cast<unsigned>(i + index));
        case CimType::Sint64: return std::to_string(-4294967296123ll - i);
        case CimType::Real32: return 1.5 + i;
        case CimType::Real64: return 2.25 + i + index;
        case CimType::Char16: return 65 + i;
        case CimType::Reference:
            return "\\\\PC\\root\\cimv2:" + cls + ".DeviceID=\"" + std::to_string(i) + "\"";
        default: return prop + " " + std::to_string(i) + (index ? "-" + std::to_string(index) : "");
    }
}

}  // namespace

json exampleComputer(int index) {
    json classes = json::object();
    std::map<std::string, std::vector<const qv::management::PropertyRow*>> byClass;
    std::vector<std::string> order;
    for (const qv::management::PropertyRow& row : qv::management::propertyTable()) {
        if (row.type == CimType::Object) continue;  // embedded objects cannot be read
        if (!byClass.count(row.className)) order.push_back(row.className);
        byClass[row.className].push_back(&row);
    }
    for (const std::string& cls : order) {
        const bool single = cls == "Win32_ComputerSystem" || cls == "Win32_OperatingSystem" || cls == "Win32_BIOS" ||
                            cls == "Win32_ComputerSystemProduct";
        json instances = json::array();
        for (int i = 0; i < (single ? 1 : 2); ++i) {
            json instance = json::object();
            std::size_t k = 0;
            for (const qv::management::PropertyRow* row : byClass[cls]) {
                const std::string key = cls + "." + row->property;
                ++k;
                if (auto it = overrides().find(key); it != overrides().end()) {
                    instance[row->property] = it->second;
                } else if (i == 1 && k % 7 == 3) {
                    instance[row->property] = nullptr;  // now and then a Null
                } else if (row->array) {
                    instance[row->property] = json::array({scalar(row->type, cls, row->property, i, index),
                                                           scalar(row->type, cls, row->property, i + 1, index)});
                } else {
                    instance[row->property] = scalar(row->type, cls, row->property, i, index);
                }
            }
            instances.push_back(instance);
        }
        classes[cls] = instances;
    }
    const std::string uninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::string uninstall32 = "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    auto app = [](const std::string& name, const std::string& version) {
        return json{{"DisplayName", {{"type", 1}, {"data", name}}},
                    {"DisplayVersion", {{"type", 1}, {"data", version}}},
                    {"Publisher", {{"type", 1}, {"data", "Example Corp."}}},
                    {"InstallDate", {{"type", 1}, {"data", "20240115"}}},
                    {"InstallLocation", {{"type", 2}, {"data", "%ProgramFiles%\\" + name}}}};
    };
    json registry = {
        {uninstall + "Editor", app("Example Editor", "2." + std::to_string(index))},
        {uninstall + "{8E3F6D2A-1B4C-4D5E-9F60-718293A4B5C6}", app("Example Runtime (x64)", "14.38.33130")},
        {uninstall32 + "Viewer", app("Example Viewer", "1.0.3")},
    };
    json files = {
        {"C:\\Windows\\system32\\drivers\\qvdrv.sys", {{"version", "10.0.17763.1"}, {"created", "2019-03-04T05:06:07"}}},
    };
    return json{{"classes", classes}, {"registry", registry}, {"files", files}};
}

json realisticComputer(int index, int programs) {
    json c = exampleComputer(index);
    json& registry = c["registry"];
    json& files = c["files"];
    const std::string current = "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    // An uninstall entry as installers write them: the values the inventory reads, and others.
    auto entry = [&](const std::string& name, int i) {
        json e = {{"DisplayName", {{"type", 1}, {"data", name}}},
                  {"DisplayVersion", {{"type", 1}, {"data", std::to_string(1 + i % 9) + "." + std::to_string(i % 23)}}},
                  {"Publisher", {{"type", 1}, {"data", "Vendor " + std::to_string(i % 17)}}},
                  {"InstallDate", {{"type", 1}, {"data", "2024" + std::string(i % 12 < 9 ? "0" : "") +
                                                             std::to_string(1 + i % 12) + "15"}}},
                  {"UninstallString", {{"type", 2}, {"data", "%ProgramFiles%\\" + name + "\\uninstall.exe"}}},
                  {"EstimatedSize", {{"type", 4}, {"data", 1024 + i}}},
                  {"NoModify", {{"type", 4}, {"data", 1}}}};
        if (i % 3 == 0) e["ProductID"] = {{"type", 1}, {"data", "0000" + std::to_string(i) + "-OEM"}};
        return e;
    };
    for (int i = 0; i < programs; ++i) {
        char guid[48];
        std::snprintf(guid, sizeof guid, "{%08X-1B4C-4D5E-9F60-%012d}", 0x10000000u + static_cast<unsigned>(i), index);
        registry["HKLM\\Software" + current + guid] = entry("Program " + std::to_string(i), i);
        registry["HKLM\\Software\\Wow6432Node" + current + "App" + std::to_string(i)] =
            entry("Program (x86) " + std::to_string(i), i + 7);
    }
    // Updates without a display name: listed, never read further.
    for (int i = 0; i < programs / 10; ++i)
        registry["HKLM\\Software" + current + "KB" + std::to_string(500000 + i)] = {
            {"ParentKeyName", {{"type", 1}, {"data", "OperatingSystem"}}}};
    for (int u = 0; u < 3; ++u) {
        const std::string sid = "S-1-5-21-3623811015-3361044348-30300820-" + std::to_string(1001 + u);
        for (int i = 0; i < 5; ++i)
            registry["HKU\\" + sid + "\\Software" + current + "UserApp" + std::to_string(i)] =
                entry("User " + std::to_string(u) + " Program " + std::to_string(i), i);
        registry["HKU\\" + sid + "_Classes\\Local Settings"] = {{"", {{"type", 1}, {"data", ""}}}};
    }
    registry["HKU\\.DEFAULT\\Software" + current + "System"] = entry("System Account Program", 1);
    for (int i = 0; i < 30; ++i) {
        char clsid[48];
        std::snprintf(clsid, sizeof clsid, "{%08X-0000-0000-C000-000000000046}", 0x20000000u + static_cast<unsigned>(i));
        const std::string progId = "Vendor" + std::to_string(i) + ".Application";
        registry["HKCR\\" + progId + "\\CLSID"] = {{"", {{"type", 1}, {"data", clsid}}}};
        registry["HKCR\\CLSID\\" + std::string(clsid) + "\\ProgID"] = {{"", {{"type", 1}, {"data", progId + ".1"}}}};
        if (i % 5 != 4) {
            const std::string exe = "C:\\Program Files\\Vendor" + std::to_string(i) + "\\app" + std::to_string(i) + ".exe";
            registry["HKCR\\CLSID\\" + std::string(clsid) + "\\LocalServer32"] = {{"", {{"type", 1}, {"data", "\"" + exe + "\" /automation"}}}};
            files[exe] = {{"version", "3." + std::to_string(i) + ".0.1"}, {"created", "2023-05-06T07:08:09"}};
        }
        registry["HKCR\\.ext" + std::to_string(i)] = {{"", {{"type", 1}, {"data", "file"}}}};
    }
    // Services: running kernel and file-system drivers with files, and stopped services.
    json& services = c["classes"]["Win32_BaseService"];
    const json model = services[0];
    services = json::array();
    for (int i = 0; i < 250; ++i) {
        json s = model;
        const bool driver = i % 2 == 0;
        const std::string name = (driver ? "drv" : "svc") + std::to_string(i);
        s["Name"] = name;
        s["Caption"] = (driver ? "Driver " : "Service ") + std::to_string(i);
        s["State"] = i % 3 == 2 ? "Stopped" : "Running";
        s["ServiceType"] = driver ? (i % 4 == 0 ? "Kernel Driver" : "File System Driver") : "Own Process";
        const std::string path = driver ? "C:\\Windows\\system32\\drivers\\" + name + ".sys"
                                        : "C:\\Windows\\system32\\" + name + ".exe";
        s["PathName"] = path;
        if (driver && i % 10 != 0) files[path] = {{"version", "10.0.19041." + std::to_string(i)}, {"created", "2021-02-03T04:05:06"}};
        services.push_back(s);
    }
    return c;
}

}  // namespace qvwsman

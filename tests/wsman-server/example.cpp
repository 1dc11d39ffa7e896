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

}  // namespace qvwsman

// GLPI inventory documents from the inventory tables: each member taken from one column, as data.
#include "qvdb/export/glpi.h"

#include <arpa/inet.h>

#include <cctype>
#include <cmath>
#include <map>
#include <ostream>

#include "qvdb/machine_identity.h"

namespace qv::qvdb::exporting {

using json = nlohmann::ordered_json;

namespace {

constexpr const char* kVersionClient = "Quorvex-qvdb_v3.00.0037";

// How a column's value becomes a member's value.
enum class Conv {
    Text,          // trimmed text
    Integer,       // a whole number; 0 (what a category that found nothing stores) is left out
    Code,          // a code number other than 0, as text
    MegaBytes,     // bytes to whole MB (1,048,576 bytes); 0 left out
    FreeMegaBytes, // bytes to whole MB, 0 kept (a full disk)
    MegaBits,      // bits per second to a text of whole Mbit/s
    Date,          // "YYYY-MM-DD"
    DateTime,      // "YYYY-MM-DD HH:MM:SS"
    Interface,     // a storage interface the format names (SCSI, HDC, IDE, USB, 1394, SATA, SAS, ATAPI)
    Resolution,    // "1024 x 768 x ..." to "1024x768"
    PciVendor,     // "PCI\VEN_8086&DEV_24C2..." to "8086"
    PciDevice,     // ... to "24c2"
    Ipv4,          // a dotted IPv4 address
};

struct Field {
    const char* member;
    const char* column;
    Conv conv = Conv::Text;
};

// One list section filled from one table: each row an item; `constant` members are the same for
// every item of that table (what the table itself says about them).
struct ListSource {
    const char* section;
    const char* table;
    std::vector<Field> fields;
    const char* required = nullptr;  // an item without this member is left out
    std::vector<std::pair<const char*, const char*>> constant = {};
};

const std::vector<ListSource>& listSources() {
    static const std::vector<ListSource> lists = {
        {"cpus", "CPU",
         {{"name", "CPUName"}, {"manufacturer", "CPUManufacturer"}, {"description", "Description"},
          {"familyname", "CPU"}, {"id", "ProcessorId"}, {"speed", "MaxClockSpeed", Conv::Integer}}},
        {"memories", "RAM",
         {{"capacity", "Capacity", Conv::MegaBytes}, {"caption", "BankLabel"}, {"description", "Description"}}},
        {"storages", "HardDisk",
         {{"name", "Model"}, {"model", "Model"}, {"description", "Description"}, {"manufacturer", "Manufacturer"},
          {"interface", "InterfaceType", Conv::Interface}, {"disksize", "Size", Conv::MegaBytes}}},
        {"storages", "CD_DVD",
         {{"name", "Name"}, {"description", "Description"}, {"manufacturer", "Manufacturer"}}},
        {"storages", "TapeDrive",
         {{"name", "Name"}, {"model", "Model"}, {"description", "Description"}, {"manufacturer", "Manufacturer"}}},
        {"drives", "LogicalDrives",
         {{"letter", "Name"}, {"description", "Description"}, {"filesystem", "FileSystem"},
          {"total", "MaxSpace", Conv::MegaBytes}, {"free", "FreeSpace", Conv::FreeMegaBytes}}},
        {"softwares", "RegSoftwarePackages",
         {{"name", "Name"}, {"version", "Version"}, {"publisher", "Publisher"},
          {"install_date", "InstallDate", Conv::Date}},
         "name"},
        {"videos", "VideoAdapter",
         {{"name", "Name"}, {"chipset", "Processor"}, {"memory", "AdapterRAM", Conv::MegaBytes},
          {"resolution", "VideoMode", Conv::Resolution}}},
        {"sounds", "Audio", {{"name", "Name"}, {"manufacturer", "Manufacturer"}}},
        {"printers", "Printers", {{"name", "Name"}, {"driver", "DriverName"}, {"port", "PortName"}}, "name"},
        {"ports", "PortCon",
         {{"name", "ExtRefDesignator"}, {"caption", "IntRefDesignator"}, {"description", "Tag"}, {"type", "PortType"}},
         "type"},
        {"ports", "SerialPorts", {{"name", "PortID"}, {"description", "Description"}}, "type", {{"type", "Serial"}}},
        {"ports", "ParallelPorts", {{"name", "PortID"}}, "type", {{"type", "Parallel"}}},
        {"controllers", "USB",
         {{"name", "Name"}, {"vendorid", "ID", Conv::PciVendor}, {"productid", "ID", Conv::PciDevice}},
         nullptr, {{"type", "USB controller"}}},
        {"controllers", "SCSI",
         {{"name", "Description"}, {"vendorid", "ID", Conv::PciVendor}, {"productid", "ID", Conv::PciDevice}},
         nullptr, {{"type", "SCSI controller"}}},
        {"monitors", "Monitor", {{"name", "Name"}, {"manufacturer", "Manufacturer"}}},
        {"inputs", "Keyboard", {{"caption", "Caption"}, {"description", "Description"}, {"layout", "Layout"}}},
        {"inputs", "PointDevice",
         {{"description", "Description"}, {"manufacturer", "Manufacturer"}, {"interface", "Interface"},
          {"pointingtype", "PointerType"}}},
    };
    return lists;
}

bool digits(const std::string& s, std::size_t at, std::size_t n) {
    if (s.size() < at + n) return false;
    for (std::size_t i = at; i < at + n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return y >= 1900 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= days[m - 1] &&
           !(m == 2 && d == 29 && !((y % 4 == 0 && y % 100 != 0) || y % 400 == 0));
}

// The date and time fields of a date text: management date-times and ISO texts.
bool dateParts(const std::string& t, int p[6], bool& hasTime) {
    for (int i = 0; i < 6; ++i) p[i] = 0;
    hasTime = false;
    auto num = [&](std::size_t at, std::size_t n) { return std::stoi(t.substr(at, n)); };
    if (digits(t, 0, 4) && t.size() >= 10 && t[4] == '-' && digits(t, 5, 2) && t[7] == '-' && digits(t, 8, 2)) {
        p[0] = num(0, 4), p[1] = num(5, 2), p[2] = num(8, 2);
        if (t.size() >= 19 && (t[10] == ' ' || t[10] == 'T') && digits(t, 11, 2) && t[13] == ':' && digits(t, 14, 2) &&
            t[16] == ':' && digits(t, 17, 2)) {
            p[3] = num(11, 2), p[4] = num(14, 2), p[5] = num(17, 2);
            hasTime = true;
        }
    } else if (digits(t, 0, 8)) {
        p[0] = num(0, 4), p[1] = num(4, 2), p[2] = num(6, 2);
        if (digits(t, 8, 6)) {
            p[3] = num(8, 2), p[4] = num(10, 2), p[5] = num(12, 2);
            hasTime = true;
        } else if (t.size() != 8) {
            return false;
        }
    } else {
        return false;
    }
    return validDate(p[0], p[1], p[2]) && p[3] < 24 && p[4] < 60 && p[5] < 60;
}

std::string twoDigits(int v) { return std::string(1, char('0' + v / 10)) + char('0' + v % 10); }

std::string lowerHexAfter(const std::string& id, const char* marker, std::size_t length) {
    std::string upper;
    for (char c : id) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!upper.starts_with("PCI\\")) return {};
    const auto at = upper.find(marker);
    if (at == std::string::npos) return {};
    std::string hex = upper.substr(at + std::char_traits<char>::length(marker), length);
    if (hex.size() != length) return {};
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

// The member's value from the row, or null when the inventory has none that fits.
json convert(const RowView& row, const Field& f) {
    const std::string t = row.text(f.column);
    if (t.empty()) return nullptr;
    switch (f.conv) {
        case Conv::Text:
            return t;
        case Conv::Integer: {
            auto d = numberOf(t);
            if (!d || *d == 0 || std::fabs(*d) > 9e15) return nullptr;
            return static_cast<std::int64_t>(std::llround(*d));
        }
        case Conv::Code: {
            auto d = numberOf(t);
            if (!d || *d == 0 || std::fabs(*d) > 9e15) return nullptr;
            return std::to_string(static_cast<std::int64_t>(std::llround(*d)));
        }
        case Conv::MegaBytes:
        case Conv::FreeMegaBytes: {
            auto d = numberOf(t);
            if (!d || *d < 0 || *d > 9e21 || (*d == 0 && f.conv == Conv::MegaBytes)) return nullptr;
            return static_cast<std::int64_t>(std::floor(*d / 1048576.0));
        }
        case Conv::MegaBits: {
            auto d = numberOf(t);
            if (!d || *d <= 0 || *d > 9e18) return nullptr;
            return std::to_string(static_cast<std::int64_t>(std::llround(*d / 1e6)));
        }
        case Conv::Date: {
            std::string d = isoDateOf(t);
            return d.empty() ? json(nullptr) : json(d);
        }
        case Conv::DateTime: {
            std::string d = isoDateTimeOf(t);
            return d.empty() ? json(nullptr) : json(d);
        }
        case Conv::Interface: {
            std::string u;
            for (char c : t) u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            for (const char* known : {"SCSI", "HDC", "IDE", "USB", "1394", "SATA", "SAS", "ATAPI"})
                if (u == known) return u;
            return nullptr;
        }
        case Conv::Resolution: {
            unsigned w = 0, h = 0;
            char x1 = 0;
            if (std::sscanf(t.c_str(), "%u %c %u", &w, &x1, &h) == 3 && (x1 == 'x' || x1 == 'X') && w && h)
                return std::to_string(w) + "x" + std::to_string(h);
            return nullptr;
        }
        case Conv::PciVendor: {
            std::string h = lowerHexAfter(t, "VEN_", 4);
            return h.empty() ? json(nullptr) : json(h);
        }
        case Conv::PciDevice: {
            std::string h = lowerHexAfter(t, "DEV_", 4);
            return h.empty() ? json(nullptr) : json(h);
        }
        case Conv::Ipv4: {
            in_addr a{};
            if (inet_pton(AF_INET, t.c_str(), &a) != 1) return nullptr;
            return t;
        }
    }
    return nullptr;
}

// Adds the members of `fields` that have a value; true when any text member was added.
bool fill(json& object, const RowView& row, const std::vector<Field>& fields) {
    bool anyText = false;
    for (const Field& f : fields) {
        json v = convert(row, f);
        if (v.is_null() || object.contains(f.member)) continue;
        object[f.member] = v;
        anyText = anyText || v.is_string();
    }
    return anyText;
}

void addNetworks(json& content, const Inventory& inv) {
    // Each IP configuration with the adapter of the same MAC address; then the adapters without one.
    std::map<std::string, RowView> adapters;
    std::vector<RowView> ordered = inv.of("NetworkAdapters");
    for (const RowView& a : ordered)
        if (!a.text("MACAddress").empty()) adapters.emplace(a.text("MACAddress"), a);
    auto adapterFields = [](json& item, const RowView& a) {
        fill(item, a,
             {{"description", "Description"}, {"mac", "MACAddress"}, {"manufacturer", "Manufacturer"},
              {"speed", "Speed", Conv::MegaBits}});
        const std::string type = a.text("AdapterType");
        if (type.starts_with("Ethernet")) item["type"] = "ethernet";
    };
    json list = json::array();
    std::map<std::string, bool> configured;
    for (const RowView& c : inv.of("TCP_IP")) {
        json item = json::object();
        fill(item, c,
             {{"description", "CardName"}, {"ipaddress", "IPAddress", Conv::Ipv4}, {"ipmask", "IPSubnet", Conv::Ipv4},
              {"ipgateway", "DefaultIPGateway", Conv::Ipv4}, {"ipdhcp", "DHCPServer", Conv::Ipv4},
              {"mac", "MACAddress"}});
        const std::string mac = c.text("MACAddress");
        if (auto it = adapters.find(mac); !mac.empty() && it != adapters.end()) {
            adapterFields(item, it->second);
            configured[mac] = true;
        }
        if (item.contains("description") && item.size() > 1) list.push_back(item);
    }
    for (const RowView& a : ordered) {
        const std::string mac = a.text("MACAddress");
        if (!mac.empty() && configured.count(mac)) continue;
        json item = json::object();
        adapterFields(item, a);
        if (item.contains("description")) list.push_back(item);
    }
    if (!list.empty()) content["networks"] = list;
}

void addObject(json& content, const char* section, json object) {
    if (!object.empty()) content[section] = std::move(object);
}

}  // namespace

std::string isoDateOf(const std::string& text) {
    int p[6];
    bool hasTime;
    if (!dateParts(trimmed(text), p, hasTime)) return {};
    return std::to_string(p[0]) + "-" + twoDigits(p[1]) + "-" + twoDigits(p[2]);
}

std::string isoDateTimeOf(const std::string& text) {
    int p[6];
    bool hasTime;
    if (!dateParts(trimmed(text), p, hasTime) || !hasTime) return {};
    return std::to_string(p[0]) + "-" + twoDigits(p[1]) + "-" + twoDigits(p[2]) + " " + twoDigits(p[3]) + ":" +
           twoDigits(p[4]) + ":" + twoDigits(p[5]);
}

std::string safeFileName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) out += (std::isalnum(c) || c == '-' || c == '_' || c == '.') ? char(c) : '_';
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

std::string glpiDeviceId(const InventoryKey& key) {
    const std::string domain = key.domain ? trimmed(*key.domain) : std::string();
    return domain.empty() ? key.name : key.name + "." + domain;
}

json glpiDocument(const Inventory& inv, const std::string& deviceId) {
    json content = json::object();
    content["versionclient"] = kVersionClient;

    json hardware = json::object();
    hardware["name"] = inv.key.name;
    if (inv.key.domain && !trimmed(*inv.key.domain).empty()) hardware["workgroup"] = trimmed(*inv.key.domain);
    if (auto d = inv.first("DeviceID"))
        fill(hardware, *d,
             {{"memory", "TotalRAM(Bytes)", Conv::MegaBytes}, {"uuid", "UUID"}, {"lastloggeduser", "CurrentUser"}});
    if (auto os = inv.first("OSData"))
        fill(hardware, *os,
             {{"description", "Description"}, {"winowner", "RegisteredUser"}, {"wincompany", "Organization"},
              {"winprodid", "SerialNumber"}, {"winlang", "OSLanguage", Conv::Code}});
    addObject(content, "hardware", hardware);

    json bios = json::object();
    if (auto b = inv.first("BIOS"))
        fill(bios, *b,
             {{"bmanufacturer", "Manufacturer"}, {"bversion", "SMBIOSVersion"}, {"bdate", "ReleaseDate", Conv::Date},
              {"biosserial", "SerialNumber"}});
    if (auto d = inv.first("DeviceID"))
        fill(bios, *d, {{"smanufacturer", "Manufacturer"}, {"smodel", "Model"}, {"ssn", "IdentifyingNumber"}});
    if (auto m = inv.first("BaseBoard"))
        fill(bios, *m, {{"mmanufacturer", "Manufacturer"}, {"mmodel", "Product"}, {"msn", "SerialNumber"}});
    if (auto c = inv.first("Chassis")) fill(bios, *c, {{"assettag", "SMBIOSAssetTag"}});
    addObject(content, "bios", bios);

    json os = json::object();
    if (auto o = inv.first("OSData"))
        fill(os, *o,
             {{"full_name", "OSName"}, {"version", "Version"}, {"service_pack", "CSDVersion"},
              {"install_date", "InstallDate", Conv::DateTime}});
    addObject(content, "operatingsystem", os);

    for (const ListSource& src : listSources()) {
        for (const RowView& row : inv.of(src.table)) {
            json item = json::object();
            for (const auto& [member, value] : src.constant) item[member] = value;
            if (!fill(item, row, src.fields)) continue;  // the empty row of a category that found nothing
            if (src.required && !item.contains(src.required)) continue;
            if (!content.contains(src.section)) content[src.section] = json::array();
            content[src.section].push_back(std::move(item));
        }
    }
    addNetworks(content, inv);

    json doc = json::object();
    doc["deviceid"] = deviceId.empty() ? glpiDeviceId(inv.key) : deviceId;
    doc["itemtype"] = "Computer";
    doc["action"] = "inventory";
    doc["content"] = std::move(content);
    return doc;
}

bool exportGlpi(InventorySource& source, StagedFolder& folder, bool all, std::ostream& progress, std::string& error,
                bool terminal) {
    // One machine inventoried under several names is one device: the id of the name it was first
    // inventoried under, and (without --all) one document, of its latest inventory.
    Fleet fleet;
    if (!readFleetInOneView(source, fleet, error)) return false;
    const std::vector<InventoryKey>& keys = fleet.inventories;
    std::vector<std::string> deviceIdOf(keys.size());
    std::vector<bool> machineLatest(keys.size(), false);
    for (const auto& machine : fleet.machines) {
        const std::string id = glpiDeviceId(keys[fleet.computers[machine.front()].first]);
        std::size_t newest = fleet.computers[machine.front()].end - 1;
        for (std::size_t c : machine) {
            for (std::size_t i = fleet.computers[c].first; i < fleet.computers[c].end; ++i) deviceIdOf[i] = id;
            if (keys[fleet.computers[c].end - 1].when >= keys[newest].when) newest = fleet.computers[c].end - 1;
        }
        machineLatest[newest] = true;
    }
    // Several computers of one name in different domains get the domain in their file names.
    std::map<std::string, int> domainsOfName;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (i == 0 || !sameComputer(keys[i], keys[i - 1])) ++domainsOfName[keys[i].name];
    std::size_t written = 0, total = 0;
    // Names that clean to the same file name (PC#1 and PC$1, PC1 and pc1) each get their own.
    FileNames files;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (all || machineLatest[i]) ++total;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!all && !machineLatest[i]) continue;
        // Short views: another program's inventories can be committed between computers.
        if (written % 200 == 0) {
            source.endView();
            if (!source.beginView(error)) return false;
        }
        Inventory inv;
        if (!readInventory(source, keys[i], {}, inv, error)) return false;
        std::string name = keys[i].name;
        if (domainsOfName[name] > 1) name += "." + (keys[i].domain ? *keys[i].domain : std::string());
        if (all) {
            std::string when = keys[i].when;
            for (char& c : when)
                if (c == ' ' || c == ':') c = '-';
            name += "-" + when;
        }
        // Each stage given up once the next is made: a document of huge values is held twice at most.
        std::string text;
        {
            const json document = glpiDocument(inv, deviceIdOf[i]);
            inv = Inventory();
            text = document.dump(2, ' ', false, json::error_handler_t::replace);
        }
        text += '\n';
        if (!folder.writeFile(uniqueFileName(files, name, ".json"), text, error)) return false;
        ++written;
        if (written == total || (terminal && written % 500 == 0))
            progress << "  " << written << " of " << total << " documents" << (terminal ? "\r" : "") << std::flush;
    }
    source.endView();
    progress << "\n";
    return true;
}

}  // namespace qv::qvdb::exporting

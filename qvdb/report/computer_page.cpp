// A computer's page: its sections in the order of its text report, and its history.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <unordered_map>

#include "qvdb/export/glpi.h"

#include "qvdb/report/computer_page.h"
#include "qvdb/report/html.h"

namespace qv::qvdb::report {

using database::Column;
using database::ColumnType;

namespace {

// The sections of the computer report, in its order, each from one table.
struct Section {
    const char* table;
    const char* title;
    const char* group = nullptr;  // a heading before the section ("Hardware Inventory")
};

const std::vector<Section>& sections() {
    static const std::vector<Section> list = {
        {"DeviceID", "Computer System Information"}, {"OSData", "Operating System"},
        {"EnvStrings", "OS Environment Settings"},   {"LogicalDrives", "Logical Disk Drives"},
        {"BIOS", "BIOS", "Hardware Inventory"},      {"CPU", "CPU"},
        {"RAM", "RAM"},                              {"Chassis", "Chassis"},
        {"BaseBoard", "Motherboard"},                {"HardDisk", "Hard Disk Detail"},
        {"CD_DVD", "Optical Drive Detail"},          {"TapeDrive", "Tape Drive Detail"},
        {"PointDevice", "Pointing Device"},          {"Keyboard", "Keyboard"},
        {"PortCon", "Port Connections"},             {"SerialPorts", "Serial Ports"},
        {"ParallelPorts", "Parallel Ports"},         {"USB", "USB"},
        {"SCSI", "SCSI Devices"},                    {"Modem", "Modem Devices"},
        {"Audio", "Audio Devices"},                  {"Monitor", "Video Devices"},
        {"VideoAdapter", "Video Adapter Settings"},  {"NetworkAdapters", "Network Adapters"},
        {"Printers", "Installed Printers"},          {"TCP_IP", "TCP/IP Adapters", "Network Information"},
        {"DNSSearchServers", "DNS Search Servers"},  {"IPX_SPX", "IPX/SPX Adapters"},
        {"SelectServices", "Network Services"},      {"NetworkProtocols", "Protocols"},
        {"SharedRes", "Shared Resources"},           {"Drivers", "Base System Drivers", "Software"},
        {"RegSoftwarePackages", "Software Information"}, {"RegSoftwareAppl", "Registered Applications"},
    };
    return list;
}

// What the history compares: items of a table known by their identity columns, whose detail
// columns may change.
struct Watched {
    const char* title;
    const char* table;
    std::vector<const char*> identity;
    std::vector<const char*> detail;
};

const std::vector<Watched>& watchedItems() {
    static const std::vector<Watched> list = {
        {"Operating system", "OSData", {}, {"OSName", "Version", "CSDVersion"}},
        {"Memory", "DeviceID", {}, {"TotalRAM(Bytes)"}},
        {"Memory module", "RAM", {"BankLabel"}, {"Capacity"}},
        {"Processor", "CPU", {"CPUID"}, {"CPUName", "MaxClockSpeed"}},
        {"Disk", "HardDisk", {"Model"}, {"Size"}},
        {"Logical disk", "LogicalDrives", {"Name"}, {"MaxSpace", "FileSystem"}},
        {"Network adapter", "NetworkAdapters", {"MACAddress", "Description"}, {"Speed"}},
        {"Address", "TCP_IP", {"CardName", "IPAddress"}, {"IPSubnet", "DefaultIPGateway"}},
        {"Software", "RegSoftwarePackages", {"Name"}, {"Version"}},
    };
    return list;
}

// The names people read for the database's columns, table by table, then for any table; the
// column's own name stays as the label's tooltip.
struct Label {
    const char* table;  // nullptr: any table
    const char* column;
    const char* label;
};

const Label kLabels[] = {
    {"DeviceID", "Role", "Domain role"},           {"DeviceID", "CurrentUser", "Current user"},
    {"DeviceID", "IdentifyingNumber", "Serial number"}, {"DeviceID", "UUID", "System UUID"},
    {"DeviceID", "TotalRAM(Bytes)", "Installed memory"}, {"DeviceID", "SystemType", "System type"},
    {"OSData", "OSName", "Name"},                  {"OSData", "CSDVersion", "Service pack"},
    {"OSData", "SerialNumber", "Product ID"},      {"OSData", "InstallDate", "Installed"},
    {"OSData", "RegisteredUser", "Registered user"}, {"OSData", "NumberOfLicUsers", "Licensed users"},
    {"OSData", "OSProductSuite", "Product suite"}, {"OSData", "OSType", "Type"},
    {"OSData", "OSLanguage", "Language"},          {"OSData", "CodeSet", "Code page"},
    {"OSData", "CountryCode", "Country code"},     {"OSData", "LocalDateTime", "Local time"},
    {"OSData", "WindowsDirectory", "Windows folder"}, {"OSData", "SystemDirectory", "System folder"},
    {"OSData", "OSManufacturer", "Manufacturer"},  {"OSData", "SysSvcsCount", "Services"},
    {"OSData", "SysSvcsRunCount", "Services running"}, {"EnvStrings", "Owner", "User"},
    {"EnvStrings", "VarName", "Variable"},         {"EnvStrings", "VarValue", "Value"},
    {"LogicalDrives", "MaxSpace", "Size"},         {"LogicalDrives", "FreeSpace", "Free"},
    {"LogicalDrives", "DriveType", "Type"},        {"BIOS", "SMBIOSVersion", "BIOS version"},
    {"BIOS", "CurrentLanguage", "Language"},       {"CPU", "CPUID", "Device"},
    {"CPU", "CPUName", "Name"},                    {"CPU", "CPU", "Family"},
    {"CPU", "MaxClockSpeed", "Maximum speed (MHz)"}, {"CPU", "CurrentClockSpeed", "Current speed (MHz)"},
    {"CPU", "L2CacheSize", "L2 cache (KB)"},       {"CPU", "CPUManufacturer", "Manufacturer"},
    {"CPU", "ProcessorId", "Processor ID"},        {"RAM", "BankLabel", "Bank"},
    {"Chassis", "SMBIOSAssetTag", "Asset tag"},    {"NetworkAdapters", "AdapterType", "Type"},
    {"NetworkAdapters", "ServiceName", "Driver"},  {"TCP_IP", "CardName", "Adapter"},
    {"TCP_IP", "DefaultIPGateway", "Gateway"},     {"TCP_IP", "DNSSearchCount", "DNS servers"},
    {"TCP_IP", "WINSPrimary", "Primary WINS"},     {"TCP_IP", "WINSSecondary", "Secondary WINS"},
    {"RegSoftwarePackages", "Serial#", "Product ID"}, {"RegSoftwarePackages", "InstallDate", "Installed"},
    {"VideoAdapter", "AdapterRAM", "Memory"},      {"VideoAdapter", "RefreshRate", "Refresh rate (Hz)"},
    {"Monitor", "ScreenHeight", "Height"},         {"Monitor", "ScreenWidth", "Width"},
    {"Printers", "DriverName", "Driver"},          {"Printers", "PortName", "Port"},
    {nullptr, "MACAddress", "MAC address"},        {nullptr, "IPAddress", "IP address"},
    {nullptr, "IPSubnet", "Subnet mask"},          {nullptr, "IPEnabled", "IP enabled"},
    {nullptr, "DHCPEnabled", "DHCP"},              {nullptr, "DHCPServer", "DHCP server"},
    {nullptr, "DHCPLeaseExpires", "Lease expires"}, {nullptr, "DHCPLeaseObtained", "Lease obtained"},
    {nullptr, "DNSHostName", "DNS host name"},     {nullptr, "DNSDomain", "DNS domain"},
    {nullptr, "DNSServer", "DNS server"},          {nullptr, "SearchOrder", "Order"},
    {nullptr, "FileSystem", "File system"},        {nullptr, "MediaType", "Media type"},
    {nullptr, "SerialNumber", "Serial number"},    {nullptr, "ReleaseDate", "Release date"},
    {nullptr, "InterfaceType", "Interface"},       {nullptr, "MaxSpeed", "Maximum speed"},
    {nullptr, "VideoMode", "Video mode"},          {nullptr, "DateCreated", "Created"},
    {nullptr, "ExtRefDesignator", "External connector"}, {nullptr, "IntRefDesignator", "Internal connector"},
    {nullptr, "PortType", "Port type"},            {nullptr, "PortID", "Port"},
    {nullptr, "ProviderType", "Provider"},         {nullptr, "ServiceType", "Service type"},
    {nullptr, "AttachedTo", "Attached to"},        {nullptr, "ProviderName", "Provider"},
    {nullptr, "PointerType", "Pointer type"},      {nullptr, "CardName", "Adapter"},
};

// The readable name of a column: its table's own label, else one for the column in any table.
const char* labelOf(const database::TableDef& t, const Column& c) {
    const char* label = nullptr;
    for (const Label& l : kLabels)
        if ((!l.table || std::strcmp(t.name, l.table) == 0) && std::strcmp(c.name, l.column) == 0 && (l.table || !label)) {
            label = l.label;
            if (l.table) break;
        }
    return label ? label : c.name;
}

// A column's header cell: the readable name, the database's name as its tooltip.
std::string columnHeader(const database::TableDef& t, const Column& c, const char* cell) {
    // Each column of the schema looked up once: every page names most of them.
    static const std::unordered_map<const Column*, const char*> labels = [] {
        std::unordered_map<const Column*, const char*> m;
        for (const auto& table : database::tableList())
            for (const Column& column : table.columns) m[&column] = labelOf(table, column);
        return m;
    }();
    const auto known = labels.find(&c);
    const std::string shown = known != labels.end() ? known->second : labelOf(t, c);
    return std::string("<") + cell + " title=\"" + esc(std::string(t.name) + "." + c.name) + "\">" + esc(shown) + "</" + cell + ">";
}

// Whether a text is a management date-time: yyyymmddHHMMSS.ffffff+zzz.
bool managementDateTime(const std::string& t) {
    if (t.size() != 25 || t[14] != '.' || (t[21] != '+' && t[21] != '-')) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (i != 14 && i != 21 && !std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    return true;
}

bool isSizeColumn(const std::string& name) {
    return name == "TotalRAM(Bytes)" || name == "Capacity" || name == "MaxSpace" || name == "FreeSpace" ||
           name == "Size" || name == "AdapterRAM";
}

const Column* columnOf(const database::TableDef& t, const char* name) {
    for (const Column& c : t.columns)
        if (c.name == std::string(name)) return &c;
    return nullptr;
}

std::string joinedDisplay(const RowView& row, const std::vector<const char*>& columns) {
    std::string s;
    for (const char* c : columns) {
        const Column* col = columnOf(*row.table, c);
        std::string v = col ? displayValue(*col, row[c]) : std::string();
        if (v.empty()) continue;
        s += (s.empty() ? "" : " ") + v;
    }
    return s;
}

// Identity -> the details of the items with it, sorted, for one table of one inventory.
std::map<std::string, std::vector<std::string>> itemsOf(const Inventory& inv, const Watched& a) {
    std::map<std::string, std::vector<std::string>> items;
    for (const RowView& row : inv.of(a.table)) {
        if (emptyRow(*row.row)) continue;
        const std::string id = joinedDisplay(row, a.identity);
        if (!a.identity.empty() && id.empty()) continue;
        items[id].push_back(joinedDisplay(row, a.detail));
    }
    for (auto& [id, details] : items) std::sort(details.begin(), details.end());
    return items;
}

std::string itemText(const std::string& id, const std::string& detail) {
    if (id.empty()) return detail;
    return detail.empty() ? id : id + " " + detail;
}

// A grid of rows; the cells of column `linkColumn` lead where `linkOf` says (when it says).
std::string rowsTable(const database::TableDef& t, const std::vector<const Row*>& rows, const std::string& id,
                      int linkColumn = -1, const std::function<std::string(const std::string&)>& linkOf = {}) {
    std::string s;
    const bool big = rows.size() > 12;
    if (big)
        s += "<input class=\"filter\" type=\"search\" placeholder=\"Filter\" data-filter-for=\"" + id +
             "\"> <span class=\"note\" data-count-for=\"" + id + "\">" + grouped(static_cast<long long>(rows.size())) +
             " rows</span>\n";
    s += "<div class=\"scroll\"><table class=\"sortable\" id=\"" + id + "\"><thead><tr>";
    for (const Column& c : t.columns) s += columnHeader(t, c, "th");
    s += "</tr></thead><tbody>\n";
    for (const Row* r : rows) {
        s += "<tr>";
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            const bool num = c.type != ColumnType::VarWChar && c.type != ColumnType::Date && c.type != ColumnType::Boolean;
            const Value& v = (*r)[i];
            std::string link;
            if (static_cast<int>(i) == linkColumn && v) link = linkOf(trimmed(*v));
            if (num && v)
                s += "<td class=\"num\" data-v=\"" + esc(*v) + "\">" + esc(displayValue(c, v)) + "</td>";
            else if (!link.empty())
                s += "<td><a href=\"" + esc(link) + "\">" + esc(displayValue(c, v)) + "</a></td>";
            else
                s += "<td>" + esc(displayValue(c, v)) + "</td>";
        }
        s += "</tr>\n";
    }
    return s + "</tbody></table></div>\n";
}

std::string keyValueTable(const database::TableDef& t, const Row& r) {
    std::string s = "<table class=\"kv\"><tbody>\n";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const std::string v = displayValue(t.columns[i], r[i]);
        if (v.empty()) continue;
        s += "<tr>" + columnHeader(t, t.columns[i], "th") + "<td>" + esc(v) + "</td></tr>\n";
    }
    return s + "</tbody></table>\n";
}

}  // namespace

bool emptyRow(const Row& row) {
    for (const Value& v : row) {
        if (!v) continue;
        const std::string t = trimmed(*v);
        if (!t.empty() && t != "0" && t != "0.0") return false;
    }
    return true;
}

std::string displayValue(const Column& c, const Value& v) {
    if (!v) return {};
    const std::string t = trimmed(*v);
    switch (c.type) {
        case ColumnType::Boolean:
            return t == "0" ? "False" : t.empty() ? "" : "True";
        case ColumnType::Integer:
        case ColumnType::Single:
        case ColumnType::Double: {
            auto d = numberOf(t);
            if (!d) return t;
            // Codes and counts as stored (OSLanguage 1033); sizes and other measures grouped.
            if (c.type == ColumnType::Integer && !isSizeColumn(c.name)) return t;
            if (std::fabs(*d) >= 9e15) return t;
            *d = std::round(*d * 100) / 100;
            std::string s = grouped(static_cast<long long>(std::trunc(*d)));
            if (std::fabs(*d - std::trunc(*d)) >= 0.005) {
                const std::string fraction = numberText(std::fabs(*d - std::trunc(*d)), 2);  // "0.5"
                if (*d < 0 && s[0] != '-') s = "-" + s;
                s += fraction.substr(1);
            }
            if (isSizeColumn(c.name) && *d >= 1024) s += " (" + bytesText(*d) + ")";
            return s;
        }
        case ColumnType::Date:
            return t;
        default:
            // Management date-times as ISO text with their offset from UTC ("+060" minutes).
            if (managementDateTime(t)) {
                const int minutes = std::stoi(t.substr(22));
                char zone[16];
                std::snprintf(zone, sizeof zone, " %c%02d:%02d", t[21], minutes / 60, minutes % 60);
                const std::string iso = exporting::isoDateTimeOf(t);
                return iso.empty() ? t : iso + zone;
            }
            if (t.size() == 8 && std::string(c.name).find("Date") != std::string::npos && !exporting::isoDateOf(t).empty())
                return exporting::isoDateOf(t);
            return t;
    }
}

const std::vector<const char*>& historyTables() {
    static const std::vector<const char*> tables = [] {
        std::vector<const char*> t;
        for (const Watched& a : watchedItems()) t.push_back(a.table);
        return t;
    }();
    return tables;
}

std::vector<Change> changesBetween(const Inventory& before, const Inventory& after) {
    std::vector<Change> changes;
    for (const Watched& a : watchedItems()) {
        const auto was = itemsOf(before, a), is = itemsOf(after, a);
        for (const auto& [id, details] : is) {
            auto it = was.find(id);
            if (it == was.end()) {
                for (const auto& d : details) changes.push_back({a.title, Change::Added, itemText(id, d), "", ""});
            } else if (it->second != details) {
                auto join = [](const std::vector<std::string>& v) {
                    std::string s;
                    for (const auto& x : v) s += (s.empty() ? "" : ", ") + (x.empty() ? std::string("(none)") : x);
                    return s;
                };
                changes.push_back({a.title, Change::Changed, id, join(it->second), join(details)});
            }
        }
        for (const auto& [id, details] : was)
            if (!is.count(id))
                for (const auto& d : details) changes.push_back({a.title, Change::Removed, itemText(id, d), "", ""});
    }
    return changes;
}

std::string changeText(const Change& c) {
    switch (c.kind) {
        case Change::Added: return c.topic + " added: " + c.what;
        case Change::Removed: return c.topic + " removed: " + c.what;
        case Change::Changed:
            return c.topic + (c.what.empty() ? "" : " " + c.what) + " changed: " + c.before + " \xE2\x86\x92 " + c.after;
    }
    return {};
}

std::string computerPage(const Inventory& latest, const std::vector<HistoryEntry>& history, const std::string& root,
                         const std::function<std::string(const std::string&)>& softwareLink,
                         const std::vector<std::string>& names) {
    const InventoryKey& k = latest.key;
    std::string s = pageStart(k.name, root);
    s += "<p>Domain or workgroup: <b>" + esc(k.domain ? *k.domain : std::string()) + "</b>. Latest inventory: <b id=\"latest\">" +
         esc(k.when) + "</b>. Inventories: <b>" + grouped(static_cast<long long>(history.size())) +
         "</b>. <a href=\"#history\">History</a></p>\n";
    if (names.size() > 1) {
        s += "<p id=\"names\">The same machine was inventoried as: ";
        for (std::size_t i = 0; i < names.size(); ++i) s += (i ? ", " : "") + std::string("<b>") + esc(names[i]) + "</b>";
        s += ".</p>\n";
    }

    s += "<h2 id=\"latest-inventory\">Latest inventory</h2>\n";
    // Sections with nothing to show are named on one line each group, not shown one by one.
    int tableNo = 0;
    std::string group, body, empty;
    auto closeGroup = [&] {
        if (!group.empty() || !body.empty() || !empty.empty()) {
            s += group + body;
            if (!empty.empty()) s += "<p class=\"note not-reported\">Not reported: " + empty + ".</p>\n";
        }
        group.clear(), body.clear(), empty.clear();
    };
    for (const Section& sec : sections()) {
        const int ti = tableIndex(sec.table);
        if (ti < 0) continue;
        const auto& def = database::tableList()[static_cast<std::size_t>(ti)];
        if (sec.group) {
            closeGroup();
            group = "<h2>" + esc(sec.group) + "</h2>\n";
        }
        std::vector<const Row*> rows;
        for (const Row& r : latest.rows[static_cast<std::size_t>(ti)])
            if (!emptyRow(r)) rows.push_back(&r);
        if (rows.empty()) {
            empty += (empty.empty() ? "" : ", ") + esc(sec.title);
            continue;
        }
        body += "<h3 id=\"s-" + std::string(sec.table) + "\">" + esc(sec.title) + "</h3>\n";
        if (rows.size() == 1 && def.columns.size() > 4) {
            body += keyValueTable(def, *rows.front());
        } else if (std::string(sec.table) == "RegSoftwarePackages" && softwareLink) {
            // Each package leads to the computers that have it.
            body += rowsTable(def, rows, "t" + std::to_string(++tableNo), columnIndex(def, "Name"), softwareLink);
        } else {
            body += rowsTable(def, rows, "t" + std::to_string(++tableNo));
        }
    }
    closeGroup();

    s += "<h2 id=\"history\">History</h2>\n<ol class=\"history\" reversed>\n";
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        s += "<li><b>" + esc(it->when) + "</b>";
        if (it->first) {
            s += " <span class=\"note\">first inventory in the database</span>";
        } else if (it->changes.empty()) {
            s += " <span class=\"note\">no change</span>";
        } else {
            s += "<ul>";
            for (const Change& c : it->changes) {
                const char* cls = c.kind == Change::Added ? "added" : c.kind == Change::Removed ? "removed" : "changed";
                s += "<li class=\"" + std::string(cls) + "\">" + esc(changeText(c)) + "</li>";
            }
            s += "</ul>";
        }
        s += "</li>\n";
    }
    s += "</ol>\n";
    return s + pageEnd();
}

}  // namespace qv::qvdb::report

// GLPI inventory documents from the inventory tables: each member taken from one column, as data,
// and each document written to its file as it is made.
#include "qvdb/export/glpi.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include "qvdb/export/json_out.h"
#include "qvdb/machine_identity.h"

namespace qv::qvdb::exporting {

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
// every item of that table (what the table itself says about them). The tables of one section
// stand together in the list: a section is written whole before the next begins.
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

bool digits(std::string_view s, std::size_t at, std::size_t n) {
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

// The date and time fields of a (trimmed) date text: management date-times and ISO texts.
bool dateParts(std::string_view t, int p[6], bool& hasTime) {
    for (int i = 0; i < 6; ++i) p[i] = 0;
    hasTime = false;
    auto num = [&](std::size_t at, std::size_t n) {
        int v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + (t[i] - '0');
        return v;
    };
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

std::string isoDate(std::string_view trimmedText, bool withTime) {
    int p[6];
    bool hasTime;
    if (!dateParts(trimmedText, p, hasTime) || (withTime && !hasTime)) return {};
    std::string out = std::to_string(p[0]) + "-" + twoDigits(p[1]) + "-" + twoDigits(p[2]);
    if (withTime) out += " " + twoDigits(p[3]) + ":" + twoDigits(p[4]) + ":" + twoDigits(p[5]);
    return out;
}

std::string_view trimmedView(std::string_view s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// The `length` hex digits after `marker` (upper case) in a PCI id ("PCI\VEN_8086&DEV_24C2..."),
// letter case aside, in lower case; "" when there are none.
std::string lowerHexAfter(std::string_view id, std::string_view marker, std::size_t length) {
    auto sameAt = [&](std::size_t at, std::string_view what) {
        for (std::size_t k = 0; k < what.size(); ++k)
            if (upper(id[at + k]) != what[k]) return false;
        return true;
    };
    if (id.size() < 4 || !sameAt(0, "PCI\\")) return {};
    std::size_t at = std::string_view::npos;
    for (std::size_t i = 0; i + marker.size() <= id.size(); ++i)
        if (sameAt(i, marker)) {
            at = i;
            break;
        }
    if (at == std::string_view::npos || id.size() - (at + marker.size()) < length) return {};
    std::string hex(id.substr(at + marker.size(), length));
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

// Values longer than this are left out of the rows read and read one at a time when they are
// written: a document's memory is its short values and one long one.
constexpr std::size_t kLongerThan = 64 * 1024;

// One table's rows of the inventory, long values apart.
struct Rows {
    const database::TableDef* table = nullptr;
    std::vector<Row> rows;
    std::vector<LongValue> longs;  // in row, then column order
    const LongValue* longAt(std::size_t row, std::size_t column) const {
        auto it = std::lower_bound(longs.begin(), longs.end(), std::pair{row, column}, [](const LongValue& v, const auto& at) {
            return std::pair{v.row, v.column} < at;
        });
        return it != longs.end() && it->row == row && it->column == column ? &*it : nullptr;
    }
};

// A member's value: a short text, a whole number, or the trimmed part of a long value, read
// again when it is written.
struct Out {
    enum Kind { None, Text, Integer, Long } kind = None;
    std::string text;
    std::int64_t integer = 0;
    const Rows* rows = nullptr;
    LongValue value;
    static Out of(std::string t) {
        Out o;
        o.kind = Text;
        o.text = std::move(t);
        return o;
    }
    static Out number(std::int64_t v) {
        Out o;
        o.kind = Integer;
        o.integer = v;
        return o;
    }
    static Out longText(const Rows& rows, const LongValue& v) {
        Out o;
        o.kind = Long;
        o.rows = &rows;
        o.value = v;
        return o;
    }
    bool isString() const { return kind == Text || kind == Long; }
};
using Object = std::vector<std::pair<std::string, Out>>;

bool has(const Object& o, std::string_view member) {
    return std::any_of(o.begin(), o.end(), [&](const auto& m) { return m.first == member; });
}
void set(Object& o, const std::string& member, Out v) {
    for (auto& m : o)
        if (m.first == member) return void(m.second = std::move(v));
    o.emplace_back(member, std::move(v));
}

// A (trimmed, non-empty) text as the member's value, or None when the inventory has none that fits.
Out convertText(std::string_view t, Conv conv) {
    auto number = [&]() { return numberOf(std::string(t)); };
    switch (conv) {
        case Conv::Text:
            return Out::of(std::string(t));
        case Conv::Integer: {
            auto d = number();
            if (!d || *d == 0 || std::fabs(*d) > 9e15) return {};
            return Out::number(static_cast<std::int64_t>(std::llround(*d)));
        }
        case Conv::Code: {
            auto d = number();
            if (!d || *d == 0 || std::fabs(*d) > 9e15) return {};
            return Out::of(std::to_string(static_cast<std::int64_t>(std::llround(*d))));
        }
        case Conv::MegaBytes:
        case Conv::FreeMegaBytes: {
            auto d = number();
            if (!d || *d < 0 || *d > 9e21 || (*d == 0 && conv == Conv::MegaBytes)) return {};
            return Out::number(static_cast<std::int64_t>(std::floor(*d / 1048576.0)));
        }
        case Conv::MegaBits: {
            auto d = number();
            if (!d || *d <= 0 || *d > 9e18) return {};
            return Out::of(std::to_string(static_cast<std::int64_t>(std::llround(*d / 1e6))));
        }
        case Conv::Date:
        case Conv::DateTime: {
            std::string d = isoDate(t, conv == Conv::DateTime);
            return d.empty() ? Out{} : Out::of(std::move(d));
        }
        case Conv::Interface: {
            std::string u;
            for (char c : t.substr(0, 6)) u += upper(c);
            for (const char* known : {"SCSI", "HDC", "IDE", "USB", "1394", "SATA", "SAS", "ATAPI"})
                if (t.size() == u.size() && u == known) return Out::of(u);
            return {};
        }
        case Conv::Resolution: {
            unsigned w = 0, h = 0;
            char x1 = 0;
            if (std::sscanf(std::string(t).c_str(), "%u %c %u", &w, &x1, &h) == 3 && (x1 == 'x' || x1 == 'X') && w && h)
                return Out::of(std::to_string(w) + "x" + std::to_string(h));
            return {};
        }
        case Conv::PciVendor:
        case Conv::PciDevice: {
            std::string h = lowerHexAfter(t, conv == Conv::PciVendor ? "VEN_" : "DEV_", 4);
            return h.empty() ? Out{} : Out::of(std::move(h));
        }
        case Conv::Ipv4: {
            // No dotted IPv4 address is longer than 15 characters.
            in_addr a{};
            if (t.size() > 15 || inet_pton(AF_INET, std::string(t).c_str(), &a) != 1) return {};
            return Out::of(std::string(t));
        }
    }
    return {};
}

// One document being made: what it reads from, and the first failure.
struct Document {
    InventorySource& source;
    const InventoryKey& key;
    std::string& error;
    bool failed = false;

    Rows read(const char* table) {
        Rows out;
        const int i = tableIndex(table);
        if (i < 0 || failed) return out;
        out.table = &database::tableList()[static_cast<std::size_t>(i)];
        if (!source.rowsApart(*out.table, key, kLongerThan, out.rows, out.longs, error)) failed = true;
        return out;
    }

    // Hands `each` the long value whole, as the database holds it.
    template <class Each>
    void readLong(const Rows& rows, const LongValue& value, Each&& each) {
        if (!failed && !source.readLong(*rows.table, key, value, std::forward<Each>(each), error)) failed = true;
    }

    // Hands `each` the trimmed text of a column of a row ("" for Null or a column the table
    // lacks), a long value read for it.
    template <class Each>
    void withText(const Rows& rows, std::size_t row, const char* column, Each&& each) {
        const int c = columnIndex(*rows.table, column);
        if (c < 0) return each(std::string_view());
        const auto col = static_cast<std::size_t>(c);
        if (const LongValue* v = rows.longAt(row, col)) {
            if (v->from == v->to) return each(std::string_view());
            bool given = false;
            readLong(rows, *v, [&](std::string_view whole) {
                given = true;
                each(whole.substr(v->from, v->to - v->from));
            });
            if (!given) each(std::string_view());
            return;
        }
        const Value& value = rows.rows[row][col];
        each(value ? trimmedView(*value) : std::string_view());
    }

    // The member's value from the row, None when the inventory has none that fits.
    Out convert(const Rows& rows, std::size_t row, const Field& f) {
        const int c = columnIndex(*rows.table, f.column);
        if (c < 0) return {};
        // A long text stays where it is until it is written.
        if (const LongValue* v = rows.longAt(row, static_cast<std::size_t>(c)); v && f.conv == Conv::Text)
            return v->from == v->to ? Out{} : Out::longText(rows, *v);
        Out out;
        withText(rows, row, f.column, [&](std::string_view t) {
            if (!t.empty()) out = convertText(t, f.conv);
        });
        return out;
    }

    // Adds the members of `fields` that have a value; true when any text member was added.
    bool fill(Object& object, const Rows& rows, std::size_t row, const std::vector<Field>& fields) {
        bool anyText = false;
        for (const Field& f : fields) {
            Out v = convert(rows, row, f);
            if (v.kind == Out::None || has(object, f.member)) continue;
            anyText = anyText || v.isString();
            object.emplace_back(f.member, std::move(v));
        }
        return anyText;
    }
    bool fillFirst(Object& object, const Rows& rows, const std::vector<Field>& fields) {
        return !rows.rows.empty() && fill(object, rows, 0, fields);
    }

    void write(JsonOut& out, const Out& v) {
        switch (v.kind) {
            case Out::Text: return out.string(v.text);
            case Out::Integer: return out.number(v.integer);
            case Out::Long:
                return readLong(*v.rows, v.value,
                                [&](std::string_view whole) { out.string(whole.substr(v.value.from, v.value.to - v.value.from)); });
            case Out::None: return;
        }
    }
    void write(JsonOut& out, const Object& object) {
        out.beginObject();
        for (const auto& [member, value] : object) {
            out.key(member);
            write(out, value);
        }
        out.end();
    }

    // A network adapter's MAC address as a key: its trimmed text, or for a text too long to hold,
    // the value itself, compared by reading both when it is met.
    struct Mac {
        std::string text;
        const LongValue* huge = nullptr;
        bool empty() const { return !huge && text.empty(); }
    };
    Mac macOf(const Rows& rows, std::size_t row) {
        Mac mac;
        const int c = columnIndex(*rows.table, "MACAddress");
        if (c < 0) return mac;
        if (const LongValue* v = rows.longAt(row, static_cast<std::size_t>(c)); v && v->to - v->from > kLongerThan)
            mac.huge = v;
        else
            withText(rows, row, "MACAddress", [&](std::string_view t) { mac.text = t; });
        return mac;
    }
    bool same(const Rows& aRows, const Mac& a, const Rows& bRows, const Mac& b) {
        if (!a.huge || !b.huge) return !a.huge && !b.huge && a.text == b.text;
        if (a.huge->to - a.huge->from != b.huge->to - b.huge->from) return false;
        bool equal = false;
        readLong(aRows, *a.huge, [&](std::string_view x) {
            readLong(bRows, *b.huge, [&](std::string_view y) {
                equal = x.substr(a.huge->from, a.huge->to - a.huge->from) == y.substr(b.huge->from, b.huge->to - b.huge->from);
            });
        });
        return equal;
    }

    // Each IP configuration with the adapter of the same MAC address; then the adapters without
    // one. The items' long values stay in `adapters` and `configs`.
    std::vector<Object> networks(const Rows& adapters, const Rows& configs) {
        std::vector<Mac> adapterMacs;
        std::map<std::string, std::size_t> firstOf;  // short MAC -> first adapter with it
        for (std::size_t a = 0; a < adapters.rows.size(); ++a) {
            adapterMacs.push_back(macOf(adapters, a));
            if (!adapterMacs.back().huge && !adapterMacs.back().text.empty()) firstOf.emplace(adapterMacs.back().text, a);
        }
        auto adapterFields = [&](Object& item, std::size_t a) {
            fill(item, adapters, a,
                 {{"description", "Description"}, {"mac", "MACAddress"}, {"manufacturer", "Manufacturer"},
                  {"speed", "Speed", Conv::MegaBits}});
            bool ethernet = false;
            withText(adapters, a, "AdapterType", [&](std::string_view t) { ethernet = t.starts_with("Ethernet"); });
            if (ethernet) set(item, "type", Out::of("ethernet"));
        };
        std::vector<Object> list;
        std::vector<Mac> configured;  // MACs of IP configurations that found their adapter
        std::set<std::string> configuredShort;
        for (std::size_t c = 0; c < configs.rows.size(); ++c) {
            Object item;
            fill(item, configs, c,
                 {{"description", "CardName"}, {"ipaddress", "IPAddress", Conv::Ipv4}, {"ipmask", "IPSubnet", Conv::Ipv4},
                  {"ipgateway", "DefaultIPGateway", Conv::Ipv4}, {"ipdhcp", "DHCPServer", Conv::Ipv4},
                  {"mac", "MACAddress"}});
            const Mac mac = macOf(configs, c);
            std::optional<std::size_t> adapter;
            if (!mac.huge && !mac.text.empty()) {
                if (auto it = firstOf.find(mac.text); it != firstOf.end()) adapter = it->second;
            } else if (mac.huge) {
                for (std::size_t a = 0; a < adapterMacs.size() && !adapter; ++a)
                    if (adapterMacs[a].huge && same(configs, mac, adapters, adapterMacs[a])) adapter = a;
            }
            if (adapter) {
                adapterFields(item, *adapter);
                if (mac.huge) configured.push_back(adapterMacs[*adapter]);
                else configuredShort.insert(mac.text);
            }
            if (has(item, "description") && item.size() > 1) list.push_back(std::move(item));
        }
        for (std::size_t a = 0; a < adapters.rows.size(); ++a) {
            const Mac& mac = adapterMacs[a];
            if (!mac.huge && configuredShort.count(mac.text)) continue;
            if (mac.huge && std::any_of(configured.begin(), configured.end(),
                                        [&](const Mac& m) { return same(adapters, m, adapters, mac); }))
                continue;
            Object item;
            adapterFields(item, a);
            if (has(item, "description")) list.push_back(std::move(item));
        }
        return list;
    }

    // The document, written to `out` as it is made: deviceid, itemtype Computer, action inventory
    // and content with the sections the inventory has values for.
    void write(JsonOut& out, const std::string& deviceId) {
        const Rows device = read("DeviceID"), osData = read("OSData"), biosRows = read("BIOS"),
                   board = read("BaseBoard"), chassis = read("Chassis");
        Object hardware;
        hardware.emplace_back("name", Out::of(key.name));
        if (key.domain && !trimmedView(*key.domain).empty())
            hardware.emplace_back("workgroup", Out::of(std::string(trimmedView(*key.domain))));
        fillFirst(hardware, device,
                  {{"memory", "TotalRAM(Bytes)", Conv::MegaBytes}, {"uuid", "UUID"}, {"lastloggeduser", "CurrentUser"}});
        fillFirst(hardware, osData,
                  {{"description", "Description"}, {"winowner", "RegisteredUser"}, {"wincompany", "Organization"},
                   {"winprodid", "SerialNumber"}, {"winlang", "OSLanguage", Conv::Code}});
        Object bios;
        fillFirst(bios, biosRows,
                  {{"bmanufacturer", "Manufacturer"}, {"bversion", "SMBIOSVersion"}, {"bdate", "ReleaseDate", Conv::Date},
                   {"biosserial", "SerialNumber"}});
        fillFirst(bios, device, {{"smanufacturer", "Manufacturer"}, {"smodel", "Model"}, {"ssn", "IdentifyingNumber"}});
        fillFirst(bios, board, {{"mmanufacturer", "Manufacturer"}, {"mmodel", "Product"}, {"msn", "SerialNumber"}});
        fillFirst(bios, chassis, {{"assettag", "SMBIOSAssetTag"}});
        Object os;
        fillFirst(os, osData,
                  {{"full_name", "OSName"}, {"version", "Version"}, {"service_pack", "CSDVersion"},
                   {"install_date", "InstallDate", Conv::DateTime}});

        out.beginObject();
        out.key("deviceid").string(deviceId.empty() ? glpiDeviceId(key) : deviceId);
        out.key("itemtype").string("Computer");
        out.key("action").string("inventory");
        out.key("content").beginObject();
        out.key("versionclient").string(kVersionClient);
        for (const auto& [section, object] : {std::pair{"hardware", &hardware}, {"bios", &bios}, {"operatingsystem", &os}})
            if (!object->empty()) write(out.key(section), *object);
        const char* open = nullptr;  // the list section being written
        for (const ListSource& src : listSources()) {
            const Rows rows = read(src.table);
            for (std::size_t r = 0; r < rows.rows.size() && !failed; ++r) {
                Object item;
                for (const auto& [member, value] : src.constant) item.emplace_back(member, Out::of(value));
                if (!fill(item, rows, r, src.fields)) continue;  // the empty row of a category that found nothing
                if (src.required && !has(item, src.required)) continue;
                if (!open || std::string_view(open) != src.section) {
                    if (open) out.end();
                    out.key(src.section).beginArray();
                    open = src.section;
                }
                write(out, item);
            }
        }
        if (open) out.end();
        const Rows adapters = read("NetworkAdapters"), configs = read("TCP_IP");
        if (const std::vector<Object> list = networks(adapters, configs); !list.empty()) {
            out.key("networks").beginArray();
            for (const Object& item : list) write(out, item);
            out.end();
        }
        out.end();  // content
        out.end();
    }
};

}  // namespace

std::string isoDateOf(const std::string& text) { return isoDate(trimmedView(text), false); }

std::string isoDateTimeOf(const std::string& text) { return isoDate(trimmedView(text), true); }

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

bool writeGlpiDocument(InventorySource& source, const InventoryKey& key, const std::string& deviceId, FileOut& file,
                       std::string& error) {
    Document document{source, key, error};
    {
        JsonOut out(file);
        document.write(out, deviceId);
    }
    file.write("\n", 1);
    return !document.failed;
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
        std::string name = keys[i].name;
        if (domainsOfName[name] > 1) name += "." + (keys[i].domain ? *keys[i].domain : std::string());
        if (all) {
            std::string when = keys[i].when;
            for (char& c : when)
                if (c == ' ' || c == ':') c = '-';
            name += "-" + when;
        }
        // Each document goes to its file as it is made: its long values are read one at a time.
        FileOut file;
        if (!folder.openFile(uniqueFileName(files, name, ".json"), file, error)) return false;
        const bool made = writeGlpiDocument(source, keys[i], deviceIdOf[i], file, error);
        std::string closeError;
        if (!file.close(closeError) && made) error = closeError;
        if (!made || !closeError.empty()) return false;
        ++written;
        if (written == total || (terminal && written % 500 == 0))
            progress << "  " << written << " of " << total << " documents" << (terminal ? "\r" : "") << std::flush;
    }
    source.endView();
    progress << "\n";
    return true;
}

}  // namespace qv::qvdb::exporting

// Hardware identity of computers, and computers joined into machines by it.
#include "qvdb/machine_identity.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <unordered_map>

#include "qvdb/inventory_data.h"

namespace qv::qvdb {

namespace {

// No identity (UUID, serial number, maker and model, machine-id, MAC address) is longer: a longer
// value is none, as an empty one is.
constexpr std::size_t kLongestFact = 4096;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string hexDigitsOf(const std::string& s, const char* separators) {
    std::string hex;
    for (char c : s) {
        if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (!std::strchr(separators, c)) return {};
    }
    return hex;
}

bool allSame(const std::string& s) { return !s.empty() && s.find_first_not_of(s[0]) == std::string::npos; }

// A UUID as its 32 upper-case hex digits, "" when the text is no UUID.
std::string uuidDigits(const std::string& uuid) {
    const std::string hex = hexDigitsOf(trimmed(uuid), "-{}");
    return hex.size() == 32 ? hex : std::string();
}

std::string macText(const std::string& mac) {
    const std::string hex = hexDigitsOf(trimmed(mac), ":-.");
    if (hex.size() != 12) return {};
    std::string s;
    for (std::size_t i = 0; i < 12; i += 2) s += (i ? ":" : "") + hex.substr(i, 2);
    return s;
}

std::size_t findRoot(std::vector<std::size_t>& parent, std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
}

}  // namespace

bool placeholderUuid(const std::string& uuid) {
    const std::string hex = uuidDigits(uuid);
    // Boards that leave the field unset report these (and their byte-swapped forms).
    return hex.empty() || allSame(hex) || hex == "03000200040005000006000700080009" ||
           hex == "00020003000400050006000700080009" || hex == "00000000000000000000000000000001";
}

bool placeholderSerial(const std::string& serial) {
    std::string s;
    for (char c : trimmed(serial)) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* const known[] = {"to be filled by o.e.m.", "default string", "system serial number",
                                        "not specified", "not applicable", "none", "n/a", "na", "oem", "o.e.m.",
                                        "serial number", "chassis serial number", "123456789", "0123456789",
                                        "1234567890", "invalid", "unknown"};
    if (s.size() < 3 || allSame(s)) return true;
    return std::find(std::begin(known), std::end(known), s) != std::end(known);
}

bool usableMac(const std::string& mac) {
    const std::string m = macText(mac);
    if (m.empty() || allSame(hexDigitsOf(m, ":"))) return false;
    // Multicast addresses and the fixed addresses of dial-up and tunnel adapters are not a machine's.
    if (std::stoi(m.substr(0, 2), nullptr, 16) & 1) return false;
    return m != "20:41:53:59:4E:FF" && m != "50:50:54:50:30:30" && m != "02:00:4C:4F:4F:50" &&
           m != "00:53:45:00:00:00";
}

MachineKey machineKeyOf(const HardwareFacts& f) {
    if (!placeholderUuid(f.uuid)) return {"uuid", uuidDigits(f.uuid)};
    const std::string id = hexDigitsOf(trimmed(f.machineId), "-");
    if (id.size() == 32 && !allSame(id)) return {"machine-id", id};
    if (!placeholderSerial(f.serial)) return {"serial", upper(trimmed(f.serial)) + " / " + upper(trimmed(f.model))};
    std::string macs;
    for (const auto& m : f.macs)
        if (usableMac(m)) macs += (macs.empty() ? "" : " ") + macText(m);
    if (!macs.empty()) return {"mac", macs};
    return {"name", ""};
}

std::vector<std::size_t> machinesOf(const std::vector<HardwareFacts>& computers) {
    const std::size_t n = computers.size();
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto join = [&](std::size_t a, std::size_t b) {
        a = findRoot(parent, a), b = findRoot(parent, b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    };
    std::map<std::string, std::vector<std::size_t>> byKey;
    std::vector<std::set<std::string>> macs(n);
    for (std::size_t i = 0; i < n; ++i) {
        const MachineKey k = machineKeyOf(computers[i]);
        for (const auto& m : computers[i].macs)
            if (usableMac(m)) macs[i].insert(macText(m));
        if (k.by != "name") byKey[k.by + ":" + k.value].push_back(i);
    }
    for (const auto& [key, members] : byKey) {
        // Within one key: joined by a shared adapter; one without adapters joins the first.
        std::unordered_map<std::string, std::size_t> macOwner;
        for (std::size_t i : members) {
            if (macs[i].empty()) join(i, members.front());
            for (const auto& m : macs[i]) {
                auto [it, fresh] = macOwner.emplace(m, i);
                if (!fresh) join(i, it->second);
            }
        }
        if (!macs[members.front()].empty()) continue;
        // The first has no adapters: every member is the same machine as far as can be told.
        for (std::size_t i : members) join(i, members.front());
    }
    std::vector<std::size_t> number(n, n), out(n);
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t r = findRoot(parent, i);
        if (number[r] == n) number[r] = next++;
        out[i] = number[r];
    }
    return out;
}

bool readFleet(InventorySource& source, Fleet& out, std::string& error) {
    out = {};
    if (!source.inventories(out.inventories, error)) return false;
    const auto& keys = out.inventories;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (i == 0 || !sameComputer(keys[i], keys[i - 1])) out.computers.push_back({i, i + 1, 0, {}});
        else out.computers.back().end = i + 1;

    auto keyText = [](const Value& when, const Value& domain, const Value& name) {
        return (when ? *when : "") + '\x1f' + (domain ? "d" + *domain : "n") + '\x1f' + (name ? *name : "");
    };
    std::unordered_map<std::string, std::size_t> latest;
    for (std::size_t c = 0; c < out.computers.size(); ++c) {
        const InventoryKey& k = keys[out.computers[c].end - 1];
        latest[keyText(k.when, k.domain, k.name)] = c;
    }
    std::vector<HardwareFacts> facts(out.computers.size());
    // Each table's rows: the key columns, then the columns the facts are read from; a value longer
    // than any identity is taken as none, so that no huge value is read or held.
    auto scan = [&](const char* table, const std::vector<std::string>& columns,
                    const std::function<void(HardwareFacts&, const RowView&)>& take) {
        const int ti = tableIndex(table);
        const auto& def = database::tableList()[static_cast<std::size_t>(ti)];
        const std::size_t keyCount = database::inventoryKeyColumns().size();
        std::vector<int> at;
        for (const auto& c : columns) at.push_back(columnIndex(def, c));
        Row category(def.columns.size());
        return source.scanShort(
            def, columns, kLongestFact,
            [&](const FieldViews& row) {
                auto own = [](const std::optional<std::string_view>& v) { return v ? Value(std::string(*v)) : Value(); };
                auto it = latest.find(keyText(own(row[0]), own(row[1]), own(row[2])));
                if (it == latest.end()) return true;
                for (std::size_t k = 0; k < at.size(); ++k) category[static_cast<std::size_t>(at[k])] = own(row[keyCount + k]);
                take(facts[it->second], RowView{&def, &category});
                return true;
            },
            error);
    };
    const bool ok =
        scan("DeviceID", {"UUID", "IdentifyingNumber", "Manufacturer", "Model"},
             [](HardwareFacts& f, const RowView& r) {
                 f.uuid = r.text("UUID");
                 f.serial = r.text("IdentifyingNumber");
                 f.model = trimmed(r.text("Manufacturer") + " " + r.text("Model"));
             }) &&
        scan("OSData", {"OSType", "SerialNumber"},
             [](HardwareFacts& f, const RowView& r) {
                 if (r.number("OSType") == 36.0) f.machineId = r.text("SerialNumber");
             }) &&
        scan("NetworkAdapters", {"MACAddress"}, [](HardwareFacts& f, const RowView& r) { f.macs.insert(r.text("MACAddress")); }) &&
        scan("TCP_IP", {"MACAddress"}, [](HardwareFacts& f, const RowView& r) { f.macs.insert(r.text("MACAddress")); });
    if (!ok) return false;

    const auto machine = machinesOf(facts);
    std::size_t count = 0;
    for (std::size_t c = 0; c < out.computers.size(); ++c) {
        out.computers[c].machine = machine[c];
        out.computers[c].key = machineKeyOf(facts[c]);
        count = std::max(count, machine[c] + 1);
    }
    out.machines.assign(count, {});
    for (std::size_t c = 0; c < out.computers.size(); ++c) out.machines[machine[c]].push_back(c);
    for (auto& m : out.machines)
        std::stable_sort(m.begin(), m.end(), [&](std::size_t a, std::size_t b) {
            return keys[out.computers[a].first].when < keys[out.computers[b].first].when;
        });
    return true;
}

std::vector<std::size_t> inventoriesOfMachine(const Fleet& fleet, std::size_t machine) {
    std::vector<std::size_t> all;
    for (std::size_t c : fleet.machines[machine])
        for (std::size_t i = fleet.computers[c].first; i < fleet.computers[c].end; ++i) all.push_back(i);
    std::stable_sort(all.begin(), all.end(),
                     [&](std::size_t a, std::size_t b) { return fleet.inventories[a].when < fleet.inventories[b].when; });
    return all;
}

bool readFleetInOneView(InventorySource& source, Fleet& out, std::string& error) {
    if (!source.beginView(error)) return false;
    const bool read = readFleet(source, out, error);
    source.endView();
    return read;
}

}  // namespace qv::qvdb

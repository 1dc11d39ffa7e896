// CSV files of the inventory tables.
#include "qvdb/export/csv.h"

#include <ostream>

#include "qvdb/export/glpi.h"
#include "qvdb/machine_identity.h"

namespace qv::qvdb::exporting {

namespace {

// Whether a text needs quotes in a field: empty (to tell it from Null), or holding a comma, a
// quote or a control character.
bool needsQuotes(std::string_view s) {
    if (s.empty()) return true;
    for (unsigned char c : s)
        if (c == ',' || c == '"' || c < 0x20 || c == 0x7f) return true;
    return false;
}

// A field written straight to the file, piece by piece: a huge value is never copied.
void writeField(FileOut& file, const std::optional<std::string_view>& v) {
    if (!v) return;
    const std::string_view s = *v;
    if (!needsQuotes(s)) return file.write(s.data(), s.size());
    file.write("\"", 1);
    std::size_t from = 0;
    for (std::size_t at; (at = s.find('"', from)) != std::string_view::npos; from = at + 1) {
        file.write(s.data() + from, at + 1 - from);
        file.write("\"", 1);
    }
    file.write(s.data() + from, s.size() - from);
    file.write("\"", 1);
}

}  // namespace

std::string csvField(const Value& v) {
    if (!v) return {};
    const std::string& s = *v;
    if (!needsQuotes(s)) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

namespace {

// machines.csv: each computer (name and domain or workgroup) with the machine it is, and what the
// machine is known by.
bool writeMachines(InventorySource& source, StagedFolder& folder, std::ostream& progress, std::string& error) {
    Fleet fleet;
    if (!readFleet(source, fleet, error)) return false;
    FileOut file;
    if (!file.open(folder.path() + "/machines.csv", error)) return false;
    file.write("MachineID,DeviceName,DomainWorkGrp,FirstInventory,LatestInventory,IdentifiedBy,Identity\r\n");
    const auto& keys = fleet.inventories;
    for (const auto& machine : fleet.machines) {
        const std::string id = glpiDeviceId(keys[fleet.computers[machine.front()].first]);
        for (std::size_t c : machine) {
            const auto& computer = fleet.computers[c];
            const InventoryKey& k = keys[computer.first];
            file.write(csvField(id) + "," + csvField(k.name) + "," + csvField(k.domain) + "," + csvField(k.when) +
                       "," + csvField(keys[computer.end - 1].when) + "," + csvField(computer.key.by) + "," +
                       csvField(computer.key.value) + "\r\n");
        }
    }
    if (!file.close(error)) return false;
    progress << "  machines.csv: " << fleet.computers.size() << " computers, " << fleet.machines.size()
             << " machines\n" << std::flush;
    return true;
}

}  // namespace

bool exportCsv(InventorySource& source, StagedFolder& folder, std::ostream& progress, std::string& error) {
    if (!source.beginView(error)) return false;
    bool ok = true;
    for (const auto& table : database::tableList()) {
        FileOut file;
        if (!file.open(folder.path() + "/" + table.name + ".csv", error)) {
            ok = false;
            break;
        }
        std::string line;
        for (const auto& name : allColumnNames(table)) line += (line.empty() ? "" : ",") + csvField(name);
        file.write(line + "\r\n");
        long rows = 0;
        ok = source.scanTable(
            table,
            [&](const FieldViews& row) {
                for (std::size_t i = 0; i < row.size(); ++i) {
                    if (i) file.write(",", 1);
                    writeField(file, row[i]);
                }
                file.write("\r\n", 2);
                ++rows;
                return true;
            },
            error);
        if (!file.close(ok ? error : line) || !ok) {
            ok = false;
            break;
        }
        progress << "  " << table.name << ".csv: " << rows << " rows\n" << std::flush;
    }
    if (ok) ok = writeMachines(source, folder, progress, error);
    source.endView();
    return ok;
}

}  // namespace qv::qvdb::exporting

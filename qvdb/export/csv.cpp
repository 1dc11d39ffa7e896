// CSV files of the inventory tables.
#include "qvdb/export/csv.h"

#include <ostream>

namespace qv::qvdb::exporting {

std::string csvField(const Value& v) {
    if (!v) return {};
    const std::string& s = *v;
    bool quote = s.empty();
    for (unsigned char c : s)
        if (c == ',' || c == '"' || c < 0x20 || c == 0x7f) quote = true;
    if (!quote) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

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
            [&](const Row& row) {
                line.clear();
                for (std::size_t i = 0; i < row.size(); ++i) {
                    if (i) line += ',';
                    line += csvField(row[i]);
                }
                line += "\r\n";
                file.write(line);
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
    source.endView();
    return ok;
}

}  // namespace qv::qvdb::exporting

// The 36 inventory tables, taken from their declarations, and the lookups of tables and column widths.
#include "database/schema.h"

#include <stdexcept>

namespace qv::database {

namespace {

constexpr ColumnType T = ColumnType::Date, W = ColumnType::VarWChar;

}  // namespace

std::string dataSourceOf(const std::string& connectionString) {
    const std::string key = "Data Source=";
    std::size_t at = connectionString.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    std::size_t end = connectionString.find(';', at);
    return connectionString.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

const std::vector<Column>& inventoryKeyColumns() {
    static const std::vector<Column> key = {{"InvDateTime", T, 0}, {"DomainWorkGrp", W, 64}, {"DeviceName", W, 16}};
    return key;
}

const std::vector<TableDef>& tableList() {
    static const std::vector<TableDef> tables = [] {
        std::vector<TableDef> list;
        for (const classes::TableDecl& t : classes::tableList())
            list.push_back({t.name, t.parent, t.primaryKey, {t.columns.begin(), t.columns.end()}});
        return list;
    }();
    return tables;
}

const TableDef* findTable(const std::string& name) {
    for (const TableDef& t : tableList())
        if (name == t.name) return &t;
    return nullptr;
}

std::size_t columnWidth(const std::string& table, const std::string& column) {
    if (const TableDef* t = findTable(table))
        for (const Column& c : t->columns)
            if (column == c.name && c.type == ColumnType::VarWChar) return static_cast<std::size_t>(c.size);
    throw std::out_of_range("no text column " + table + "." + column);
}

std::string quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

}  // namespace qv::database

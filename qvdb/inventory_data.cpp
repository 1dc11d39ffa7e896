// One inventory's rows and the readings of their values.
#include "qvdb/inventory_data.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qv::qvdb {

std::string trimmed(const std::string& s) {
    const char* blanks = " \t\r\n";
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::optional<double> numberOf(const std::string& s) {
    const std::string t = trimmed(s);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(d)) return std::nullopt;
    return d;
}

Value RowView::operator[](const char* column) const {
    const int i = columnIndex(*table, column);
    if (i < 0 || static_cast<std::size_t>(i) >= row->size()) return std::nullopt;
    return (*row)[static_cast<std::size_t>(i)];
}

std::string RowView::text(const char* column) const {
    const Value v = (*this)[column];
    return v ? trimmed(*v) : std::string();
}

std::optional<double> RowView::number(const char* column) const {
    const Value v = (*this)[column];
    return v ? numberOf(*v) : std::nullopt;
}

int tableIndex(const char* name) {
    const auto& tables = database::tableList();
    for (std::size_t i = 0; i < tables.size(); ++i)
        if (std::strcmp(tables[i].name, name) == 0) return static_cast<int>(i);
    return -1;
}

std::vector<RowView> Inventory::of(const char* table) const {
    std::vector<RowView> views;
    const int i = tableIndex(table);
    if (i < 0 || static_cast<std::size_t>(i) >= rows.size()) return views;
    const auto& def = database::tableList()[static_cast<std::size_t>(i)];
    for (const Row& r : rows[static_cast<std::size_t>(i)]) views.push_back({&def, &r});
    return views;
}

std::optional<RowView> Inventory::first(const char* table) const {
    auto all = of(table);
    if (all.empty()) return std::nullopt;
    return all.front();
}

bool readInventory(InventorySource& source, const InventoryKey& key, const std::vector<const char*>& tables,
                   Inventory& out, std::string& error) {
    const auto& list = database::tableList();
    out.key = key;
    out.rows.assign(list.size(), {});
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].columns.empty()) continue;
        bool wanted = tables.empty();
        for (const char* t : tables) wanted = wanted || std::strcmp(t, list[i].name) == 0;
        if (wanted && !source.rowsOf(list[i], key, out.rows[i], error)) return false;
    }
    return true;
}

}  // namespace qv::qvdb

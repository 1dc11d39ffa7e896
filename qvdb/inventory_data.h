// One inventory's rows, table by table, and plain readings of its values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qvdb/inventory_source.h"

namespace qv::qvdb {

// A row of one table with its column names at hand.
struct RowView {
    const database::TableDef* table;
    const Row* row;
    // The value of a category column; Null for a column the table lacks.
    Value operator[](const char* column) const;
    // The value with blanks trimmed, "" for Null.
    std::string text(const char* column) const;
    // The value as a number, when it is one.
    std::optional<double> number(const char* column) const;
};

struct Inventory {
    InventoryKey key;
    std::vector<std::vector<Row>> rows;  // by position in database::tableList()
    // The rows of one table (empty for a table not read).
    std::vector<RowView> of(const char* table) const;
    // The first row of a table, when there is one.
    std::optional<RowView> first(const char* table) const;
};

// The position of a table in database::tableList(), or -1.
int tableIndex(const char* name);

// Reads the rows of the named tables (every table when `tables` is empty) of one inventory.
bool readInventory(InventorySource& source, const InventoryKey& key, const std::vector<const char*>& tables,
                   Inventory& out, std::string& error);

// Blanks (space, tab, CR, LF) cut from both ends.
std::string trimmed(const std::string& s);
// A number read from the whole text (blanks around allowed), when it is a finite one.
std::optional<double> numberOf(const std::string& s);

}  // namespace qv::qvdb

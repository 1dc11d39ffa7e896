// The inventory database's tables (name, parent, columns with type and size), from their declarations, and the quoting of their names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "classes/declarations.h"

namespace qv::database {

// The columns as the table declarations give them (classes/declarations.cpp).
using classes::ColumnType;
using classes::Column;

struct TableDef {
    const char* name;
    const char* parent;      // table the foreign key (name + "FKey") refers to; null for DeviceID
    const char* primaryKey;  // own primary key over the inventory key, or null
    std::vector<Column> columns;  // the category columns, after the three key columns
};

// The database file and the connection string it is configured by.
inline constexpr const char* kConnectionString = "Provider='Microsoft.Jet.OLEDB.4.0';Data Source=QV.mdb";
// The "Data Source=" part of a connection string: "QV.mdb".
std::string dataSourceOf(const std::string& connectionString);

// The three columns that begin every table.
const std::vector<Column>& inventoryKeyColumns();
// Every table in creation order: DeviceID, SoftwareKey, HardwareKey, then the category tables, as
// their declarations give them.
const std::vector<TableDef>& tableList();
// The table of that name (exact match), or null.
const TableDef* findTable(const std::string& name);
// The width of a text column, for a collector whose report, log or decision shows the value as
// stored; throws std::out_of_range for a table or column that does not exist or holds no text.
std::size_t columnWidth(const std::string& table, const std::string& column);

// A name quoted for SQL: "TotalRAM(Bytes)".
std::string quoted(const std::string& name);

}  // namespace qv::database

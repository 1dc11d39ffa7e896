// The inventory database's tables as data (name, parent, columns with type and size) and the quoting of their names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv::database {

// The column types, numbered as the data-access catalog numbers them.
enum class ColumnType { VarWChar = 202, Integer = 3, Single = 4, Double = 5, Date = 7, Boolean = 11 };

// A column: its type and width, and the property of the management class (or the registry
// value) its value comes from. `copied` columns hold that property's plain text with blanks
// trimmed (a list's first element), which the writer cuts to the width; the others are made from
// the property (a decode, a number, a date, a marked text) or, without a property, by the
// collector alone (a counter, a count, a constant).
struct Column {
    const char* name;
    ColumnType type;
    int size;                        // characters, for VarWChar only; 0 otherwise
    const char* property = nullptr;  // null for the key columns and the collector's own values
    bool copied = false;
};

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
// Every table in creation order: DeviceID, SoftwareKey, HardwareKey, then the category tables.
const std::vector<TableDef>& tableList();
// The table of that name (exact match), or null.
const TableDef* findTable(const std::string& name);
// The width of a text column, for a collector whose report, log or decision shows the value as
// stored; throws std::out_of_range for a table or column that does not exist or holds no text.
std::size_t columnWidth(const std::string& table, const std::string& column);

// A name quoted for SQL: "TotalRAM(Bytes)".
std::string quoted(const std::string& name);

}  // namespace qv::database

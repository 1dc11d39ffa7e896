// The SQLite form of the inventory tables: each column's storage class with the checks that stand for its type and size.
#include "database/sqlite/sqlite_engine.h"

namespace qv::database::sqlite {

namespace {

// One column definition: storage class, nullability and the check that stands for the column's
// type and size (a text of more characters, a number outside 32 bits, a malformed date fail).
std::string columnSql(const Column& c, bool nullable) {
    const std::string q = quoted(c.name);
    std::string sql = q;
    switch (c.type) {
        case ColumnType::VarWChar:
            sql += " TEXT" + std::string(nullable ? "" : " NOT NULL") + " CHECK (length(" + q +
                   ") <= " + std::to_string(c.size) + ")";
            break;
        case ColumnType::Integer:
            sql += " INTEGER" + std::string(nullable ? "" : " NOT NULL") + " CHECK (" + q +
                   " BETWEEN -2147483648 AND 2147483647)";
            break;
        case ColumnType::Single:
        case ColumnType::Double: sql += " REAL" + std::string(nullable ? "" : " NOT NULL"); break;
        case ColumnType::Date:
            sql += " TEXT" + std::string(nullable ? "" : " NOT NULL") + " CHECK (" + q +
                   " GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')";
            break;
        case ColumnType::Boolean: sql += " INTEGER NOT NULL DEFAULT 0 CHECK (" + q + " IN (0, 1))"; break;
    }
    return sql;
}

std::string keyColumnList() {
    std::string list;
    for (const Column& c : inventoryKeyColumns()) list += (list.empty() ? "" : ", ") + quoted(c.name);
    return list;
}

}  // namespace

std::vector<std::string> createTableSql(const TableDef& table) {
    std::string sql = "CREATE TABLE " + quoted(table.name) + " (\n";
    const auto& key = inventoryKeyColumns();
    // InvDateTime and DeviceName refuse Null; DomainWorkGrp and the category columns allow it,
    // except Booleans, which never hold Null.
    sql += "  " + columnSql(key[0], false) + ",\n";
    sql += "  " + columnSql(key[1], true) + ",\n";
    sql += "  " + columnSql(key[2], false);
    for (const Column& c : table.columns) sql += ",\n  " + columnSql(c, c.type != ColumnType::Boolean);
    const std::string keyList = keyColumnList();
    if (table.primaryKey)
        sql += ",\n  CONSTRAINT " + quoted(table.primaryKey) + " PRIMARY KEY (" + keyList + ")";
    if (table.parent)
        sql += ",\n  CONSTRAINT " + quoted(std::string(table.name) + "FKey") + " FOREIGN KEY (" + keyList +
               ") REFERENCES " + quoted(table.parent) + " (" + keyList + ") ON UPDATE CASCADE ON DELETE CASCADE";
    // A keyed table refuses Null in every key column (WITHOUT ROWID enforces it, while the column
    // itself stays declared nullable); STRICT refuses a value of the wrong storage class.
    sql += "\n)";
    sql += table.primaryKey ? " WITHOUT ROWID, STRICT" : " STRICT";
    std::vector<std::string> statements = {sql};
    // The index that serves the foreign key, so that a cascade finds the child rows directly.
    if (table.parent && !table.primaryKey)
        statements.push_back("CREATE INDEX " + quoted(std::string(table.name) + "FKeyIndex") + " ON " +
                             quoted(table.name) + " (" + keyList + ")");
    return statements;
}

std::string insertSql(const TableDef& table) {
    std::string names = keyColumnList(), params = "?, ?, ?";
    for (const Column& c : table.columns) {
        names += ", " + quoted(c.name);
        params += ", ?";
    }
    return "INSERT INTO " + quoted(table.name) + " (" + names + ") VALUES (" + params + ")";
}

}  // namespace qv::database::sqlite

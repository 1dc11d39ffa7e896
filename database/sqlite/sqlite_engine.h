// The SQLite engine of the inventory database: QV.mdb in the working folder, reached through the file layer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/engine.h"
#include "platform/platform.h"

struct sqlite3;

namespace qv::database::sqlite {

// CREATE TABLE statement with types, size and range checks, nullability and keys; followed by the
// index that serves the foreign key, for category tables.
std::vector<std::string> createTableSql(const TableDef& table);
// INSERT of one full row: the key columns then every category column, each a positional parameter.
std::string insertSql(const TableDef& table);

// Creates `tables` in order in one transaction, each table in its own savepoint: a table that
// fails keeps its error and the next ones are still created. `committed` tells whether the
// transaction itself could be begun and committed.
std::vector<TableCreation> createTables(sqlite3* db, const std::vector<TableDef>& tables, bool& committed);

// Done when the open database holds every one of `tables` with its columns in order; else the
// reason ("it has no table DeviceID", "its table BIOS has other columns", or the
// engine's, such as "file is not a database").
Result<Done> holdsTables(sqlite3* db, const std::vector<TableDef>& tables);

// The engine over the file at `path`; every wait for another program's hold is at most `waitMs`.
std::unique_ptr<Engine> makeEngine(FileSystem& files, const std::string& path, int waitMs);

}  // namespace qv::database::sqlite

// The PostgreSQL engine of the inventory database: the same 36 tables on a server named by a libpq connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/engine.h"

namespace qv::database::postgresql {

// The statements that create one table on the server: the table with its types, keys and
// constraint names, then the index that serves its foreign key.
std::vector<std::string> createTableSql(const TableDef& table);

// The engine for the server `settings` name.
std::unique_ptr<Engine> makeEngine(const ServerSettings& settings);

}  // namespace qv::database::postgresql

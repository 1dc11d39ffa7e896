// The table-building step of the database creation, open to tests with their own table lists.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "database/schema.h"

struct sqlite3;

namespace qv::database {

// SoftwareKey and HardwareKey: the tables that hold only the inventory key under their own
// primary key. Their creation is not logged.
bool isKeyTable(const TableDef& table);

// Creates `tables` in order in one transaction, each table in its own savepoint: a table that
// fails is logged with its error and the next ones are still created. `log` receives each log
// line. False when the transaction itself cannot be begun or committed. `firstError`, when given,
// receives the error of the first table that failed (left as it is when none failed).
bool createTables(sqlite3* db, const std::vector<TableDef>& tables, const std::function<void(const std::string&)>& log,
                  std::string* firstError = nullptr);

}  // namespace qv::database

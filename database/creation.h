// What the database's creation step logs about its tables, whatever engine made them.
#pragma once

#include <string>
#include <vector>

#include "database/engine.h"
#include "database/schema.h"

namespace qv::database {

// SoftwareKey and HardwareKey: the tables that hold only the inventory key under their own
// primary key. Their creation is not logged.
bool isKeyTable(const TableDef& table);

// The log line of each table a creation made or failed to make, in order: "    Table BIOS
// Created", or "    Table Creation Error " + table + label + "-->" + the engine's error + " Error".
// With `errorsOnly`, only the failures.
std::vector<std::string> tableCreationLines(const std::vector<TableCreation>& tables, const std::string& label,
                                            bool errorsOnly = false);

}  // namespace qv::database

// The record writers and the database creation step, as the collectors and the run driver see them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "run/context.h"

namespace qv::database {

// A value handed to a writer. monostate stores Null. A text for a numeric or date column is
// converted with the locale's rules; a value the column cannot take refuses the row.
using Field = std::variant<std::monostate, std::string, double, std::int64_t, bool, DateTime>;
using Fields = std::vector<std::pair<std::string, Field>>;  // column name, value

// Creates QV.mdb with every table when it does not exist (or logs that it exists); with bMDB
// false prints and logs the two warning lines and touches nothing.
void createOrOpenDatabase(RunContext& ctx);

// Appends one row to `table`: the inventory key (RunStartTime, TargetDomain, CurrentTarget) and
// the given columns; columns not given are Null. Nothing happens when bMDB is false. Returns
// false when the row was refused; a refused row changes nothing.
bool appendRow(RunContext& ctx, const std::string& table, const Fields& fields);
// The not-found row of a collector: texts empty, numbers 0, Booleans false, dates Null.
bool appendEmptyRow(RunContext& ctx, const std::string& table);
// DeviceID (with the given columns), SoftwareKey and HardwareKey rows of the current inventory.
bool appendMasterRows(RunContext& ctx, const Fields& deviceIdFields);

// Makes the current computer's rows permanent; called when its inventory ends. Rows appended
// after the last call are lost if the run is killed, never those before it.
void endInventory(RunContext& ctx);

}  // namespace qv::database

// The record writers and the database creation step, as the collectors and the run driver see them.
#pragma once

#include <string>

#include "database/fields.h"
#include "run/context.h"
#include "run/target_context.h"

namespace qv::database {

// The inventory a row belongs to, besides the run's start time.
struct InventoryKey {
    std::string targetDomain;
    std::string currentTarget;
};

// Creates QV.mdb with every table when it does not exist (or logs that it exists); with bMDB
// false prints and logs the two warning lines and touches nothing.
void createOrOpenDatabase(RunContext& ctx);

// Appends one row to `table`: the inventory key (RunStartTime, TargetDomain, CurrentTarget) and
// the given columns; columns not given are Null. Nothing happens when bMDB is false. Returns
// false when the row was refused; a refused row changes nothing.
bool appendRow(RunContext& ctx, const InventoryKey& key, const std::string& table, const Fields& fields);
// The not-found row of a collector: texts empty, numbers 0, Booleans false, dates Null.
bool appendEmptyRow(RunContext& ctx, const InventoryKey& key, const std::string& table);
// DeviceID (with the given columns), SoftwareKey and HardwareKey rows of one inventory.
bool appendMasterRows(RunContext& ctx, const InventoryKey& key, const Fields& deviceIdFields);

// Makes the current computer's rows permanent; called when its inventory ends. Rows appended
// after the last call are lost if the run is killed, never those before it.
void endInventory(RunContext& ctx);

// The same for the computer a worker inventories: the rows go, in order, to the ordered writer,
// which appends them under the computer's key and TargetDomain as it was when each was made.
void appendRow(TargetContext& ctx, const std::string& table, const Fields& fields);
void appendEmptyRow(TargetContext& ctx, const std::string& table);
void appendMasterRows(TargetContext& ctx, const Fields& deviceIdFields);
void endInventory(TargetContext& ctx);

}  // namespace qv::database

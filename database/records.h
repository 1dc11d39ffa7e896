// The record writers and the database creation step, as the collectors and the run driver see them.
#pragma once

#include <set>
#include <string>

#include "database/fields.h"
#include "core/context.h"
#include "core/target_context.h"
#include "platform/result.h"

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
// the given columns; columns not given are Null. Nothing happens when bMDB is false. Gives the
// engine's reason when the row was refused; a refused row changes nothing.
Result<Done> appendRow(RunContext& ctx, const InventoryKey& key, const std::string& table, const Fields& fields);
// The not-found row of a collector: texts empty, numbers 0, Booleans false, dates Null.
Result<Done> appendEmptyRow(RunContext& ctx, const InventoryKey& key, const std::string& table);
// DeviceID (with the given columns), SoftwareKey and HardwareKey rows of one inventory; stops at
// the first that is refused.
Result<Done> appendMasterRows(RunContext& ctx, const InventoryKey& key, const Fields& deviceIdFields);

// Makes the current computer's rows permanent; called when its inventory ends. Rows appended
// after the last call are lost if the run is killed, never those before it. A commit that
// cannot be made (another program holds the file past the wait) gives the rows up, with the
// reason.
Result<Done> endInventory(RunContext& ctx);

// The column and its limit when a key value is longer than its column: cutting it could merge
// two computers.
Result<Done> keyFits(const InventoryKey& key);

// The rows of one computer, as the ordered writer hands them over. A row its table refuses is
// logged once per table; when the key or the master row is refused, or the database fails or
// cannot be had for the computer, none of its rows are kept and its commit says so on the console
// and in the log.
class InventoryRows {
public:
    InventoryRows(RunContext& ctx, const std::string& target) : ctx_(ctx), key_{{}, target} {}
    void write(const OutputItem& item);  // MasterRows, Row or EmptyRow
    // False when the computer's rows were lost to the database (it failed, or could not be had);
    // true when they were committed, when there is no database, and when the key was refused.
    bool commit();
    // True when every row of the computer reached the database: none refused, none lost, and a
    // database there to take them.
    bool allWritten() const { return ctx_.env.bMDB && !skipped_ && loggedTables_.empty(); }

private:
    void skip(const std::string& why, bool lost);
    RunContext& ctx_;
    InventoryKey key_;
    std::set<std::string> loggedTables_;
    bool skipped_ = false;
    bool lost_ = false;
    std::string skippedWhy_;
};

// The same for the computer a worker inventories: the rows go, in order, to the ordered writer,
// which appends them under the computer's key and TargetDomain as it was when each was made.
void appendRow(TargetContext& ctx, const std::string& table, const Fields& fields);
void appendEmptyRow(TargetContext& ctx, const std::string& table);
void appendMasterRows(TargetContext& ctx, const Fields& deviceIdFields);
void endInventory(TargetContext& ctx);

}  // namespace qv::database

// The record writers and the database creation step, as the ordered writer and the run driver see them.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/context.h"
#include "core/reporter.h"
#include "core/target_context.h"
#include "database/engine.h"
#include "database/fields.h"
#include "platform/result.h"

namespace qv::database {

// The inventory a row belongs to, besides the run's start time.
struct InventoryKey {
    std::string targetDomain;
    std::string currentTarget;
};

// What the database needs of the run: where QV.mdb lies or which server holds the rows, how long
// a held database is waited for, the run's start time (the first column of every key) and the
// locale numbers and dates are read with.
struct Settings {
    FileSystem& files;
    const Locale& locale;
    DateTime runStartTime;
    std::string folder;                         // the working folder, where QV.mdb lies
    std::optional<std::string> server;          // a server's connection string or URI; unset or empty: QV.mdb
    ServerEngineMaker serverEngine = nullptr;   // null in a program built without one
    int waitMs = 0;
};

// Creates QV.mdb with every table when it does not exist (or logs that it exists). When the
// database cannot be used, says why with the two warning lines and gives null: the run goes on
// with reports only.
std::unique_ptr<Session, SessionCloser> createOrOpenDatabase(const Settings& settings, Reporter& report);
// The two warning lines of a run whose database requirements are not met.
void warnNoDatabase(Reporter& report);

// Appends one row to `table`: the inventory key (RunStartTime, TargetDomain, CurrentTarget) and
// the given columns; columns not given are Null. Gives the engine's reason when the row was
// refused; a refused row changes nothing.
Result<Done> appendRow(Session& db, const InventoryKey& key, const std::string& table, const Fields& fields);
// The not-found row of a collector: texts empty, numbers 0, Booleans false, dates Null.
Result<Done> appendEmptyRow(Session& db, const InventoryKey& key, const std::string& table);
// DeviceID (with the given columns), SoftwareKey and HardwareKey rows of one inventory; stops at
// the first that is refused.
Result<Done> appendMasterRows(Session& db, const InventoryKey& key, const Fields& deviceIdFields);

// Makes the current computer's rows permanent; called when its inventory ends. Rows appended
// after the last call are lost if the run is killed, never those before it. A commit that
// cannot be made (another program holds the file past the wait) gives the rows up, with the
// reason.
Result<Done> endInventory(Session& db);

// The column and its limit when a key value is longer than its column: cutting it could merge
// two computers.
Result<Done> keyFits(const InventoryKey& key);

// The rows of one computer, as the ordered writer hands them over. A row its table refuses is
// logged once per table; when the key or the master row is refused, or the database fails or
// cannot be had for the computer, none of its rows are kept and its commit says so on the console
// and in the log.
class InventoryRows {
public:
    // `db` null: the run has no database, and nothing is written.
    InventoryRows(Session* db, Reporter& report, const std::string& target) : db_(db), report_(report), key_{{}, target} {}
    void write(const OutputItem& item);  // MasterRows, Row or EmptyRow
    // False when the computer's rows were lost to the database (it failed, or could not be had);
    // true when they were committed, when there is no database, and when the key was refused.
    bool commit();
    // True when every row of the computer reached the database: none refused, none lost, and a
    // database there to take them.
    bool allWritten() const { return db_ && !skipped_ && loggedTables_.empty(); }

private:
    void skip(const std::string& why, bool lost);
    Session* db_;
    Reporter& report_;
    InventoryKey key_;
    std::set<std::string> loggedTables_;
    bool skipped_ = false;
    bool lost_ = false;
    std::string skippedWhy_;
};

}  // namespace qv::database

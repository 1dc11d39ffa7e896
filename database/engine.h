// The database engine interface: what the engine-neutral writer asks of SQLite or a database server.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "database/schema.h"
#include "platform/result.h"

namespace qv {
struct Limits;
}

namespace qv::database {

// A value as it is stored: Null, integer (Booleans 0 and 1), real or text (dates as
// "YYYY-MM-DD HH:MM:SS"). Its column says what it stands for.
using Stored = std::variant<std::monostate, std::int64_t, double, std::string>;

// What became of one row.
enum class RowStatus {
    Stored,     // in the open transaction
    KeyExists,  // a row with the same primary key is already there; the transaction goes on
    Refused,    // the table refused this row alone (the engine's reason); the rows around it stand
    Failed,     // the transaction cannot be trusted any more: its rows are to be given up
};
struct RowOutcome {
    RowStatus status = RowStatus::Stored;
    std::string reason;  // the engine's own words, for the log; empty when stored
};

// What the check of an existing database found.
enum class CheckStatus {
    Usable,   // every table is there as listed and rows can be written
    Missing,  // no database yet, or tables missing that create() may add
};

// What a creation did: the tables it created (or failed to create) in order, each with the
// engine's error, empty when created.
struct TableCreation {
    const TableDef* table = nullptr;
    std::string error;
};
struct Creation {
    enum class Outcome {
        Created,       // this run created the tables listed and the database can be used
        AlreadyThere,  // another run created it first: check it again
        Failed,        // nothing usable was made (the reason)
    } outcome = Outcome::Failed;
    std::vector<TableCreation> tables;
    std::string why;
};

// One engine holding the inventory tables. The writer calls check() once and, when it says
// Missing, create(); then for each computer begin(), insert() per row, and commit() or
// rollback(). Engines write nothing to the console or the log: they say what happened.
class Engine {
public:
    virtual ~Engine() = default;
    // The engine's name in a table-creation error line ("SQLite").
    virtual const char* label() const = 0;
    // Whether the tables are there to be written, or the reason the database cannot be used.
    virtual Result<CheckStatus> check(const std::vector<TableDef>& tables) = 0;
    virtual Creation create(const std::vector<TableDef>& tables) = 0;
    // Opens the transaction of one computer (connecting first when needed), or gives the reason.
    virtual Result<Done> begin() = 0;
    // One row: the three key columns then every category column of `table`, in column order.
    virtual RowOutcome insert(const TableDef& table, const std::vector<Stored>& row) = 0;
    // Makes the open transaction permanent, or gives the reason (the caller then rolls back).
    // Done when no transaction is open.
    virtual Result<Done> commit() = 0;
    // Gives up the open transaction, if any.
    virtual void rollback() = 0;
};

// The settings a database server's engine is made from.
struct ServerSettings {
    std::string connection;  // a connection string or URI
    int waitMs = 0;          // the bound of every connection, statement and lock wait
};

// Makes the engine of a database server; null where the program was built without one.
using ServerEngineMaker = std::unique_ptr<Engine> (*)(const ServerSettings& settings);

}  // namespace qv::database

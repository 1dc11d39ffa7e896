// Reading the inventory database: the small interface the subcommands read through, and its opening.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/schema.h"

namespace qv::qvdb {

// One value as text (numbers as the engine writes them, dates as "YYYY-MM-DD HH:MM:SS"); nullopt
// is Null.
using Value = std::optional<std::string>;
using Row = std::vector<Value>;
// A row's values as the database holds them, valid only during the call they are handed to:
// a table scanned is never copied.
using FieldViews = std::vector<std::optional<std::string_view>>;

// The key of one inventory: one computer in one run.
struct InventoryKey {
    std::string when;     // InvDateTime, "YYYY-MM-DD HH:MM:SS"
    Value domain;         // DomainWorkGrp (nullable)
    std::string name;     // DeviceName
};

// The same computer: name and domain or workgroup.
bool sameComputer(const InventoryKey& a, const InventoryKey& b);

// A value `rowsApart` left out of the rows it read for its length: where it stands and what it
// holds, so that it can be read whole on its own (readLong) when it is needed.
struct LongValue {
    std::size_t row = 0, column = 0;  // its place in the rows read (column: among the category columns)
    std::size_t bytes = 0;            // its whole length
    std::size_t from = 0, to = 0;     // the part left once blanks (space, tab, CR, LF) are trimmed from both ends
};

// What every back-end offers. Calls return false with `error` set on failure; the message names
// the database and what went wrong, ready for the user.
class InventorySource {
public:
    virtual ~InventorySource() = default;
    // Where the data comes from, for messages ("/home/u/Documents/QV.mdb").
    virtual std::string where() const = 0;
    // Every inventory, ordered by computer (name, then domain) and then by time.
    virtual bool inventories(std::vector<InventoryKey>& out, std::string& error) = 0;
    // The category columns of `table` (in schema order) of every row of one inventory, in the
    // order they were written.
    virtual bool rowsOf(const database::TableDef& table, const InventoryKey& key, std::vector<Row>& out,
                        std::string& error) = 0;
    // The rows of `rowsOf` with every text longer than `longer` bytes left out: Null in its row
    // and listed in `longValues` instead, so that a row of huge values is never held whole (SQLite
    // holds one value of it at a time). A back-end whose values are all short reads as rowsOf.
    virtual bool rowsApart(const database::TableDef& table, const InventoryKey& key, std::size_t longer,
                           std::vector<Row>& out, std::vector<LongValue>& longValues, std::string& error);
    // Hands `each` one value `rowsApart` left out, whole as the database holds it (followed by a
    // NUL byte), valid during the call only; the view must be the same one the rows were read in.
    virtual bool readLong(const database::TableDef& table, const InventoryKey& key, const LongValue& value,
                          const std::function<void(std::string_view)>& each, std::string& error);
    // Every row of `table`, key columns then category columns, handed to `each` one at a time
    // (false from `each` stops the scan).
    virtual bool scanTable(const database::TableDef& table, const std::function<bool(const FieldViews&)>& each,
                           std::string& error) = 0;
    // Every row of `table`, the key columns then the named category columns, handed to `each`
    // one at a time as scanTable hands them, save that a text longer than `longer` bytes comes as
    // Null: SQLite then holds one value of a row at a time, and no huge value is handed on.
    virtual bool scanShort(const database::TableDef& table, const std::vector<std::string>& columns, std::size_t longer,
                           const std::function<bool(const FieldViews&)>& each, std::string& error);
    // A consistent view over several calls until `endView` (other programs wait to write meanwhile,
    // so views are kept short or whole-export long).
    virtual bool beginView(std::string& error) = 0;
    virtual void endView() = 0;
    // From the next read on, `rowsOf` gives texts longer than `characters` cut to that many, with
    // "…" and their whole length ("… (157,286,400 characters)"): a page then never holds a huge
    // value whole, and only one at a time is ever read whole. 0 (the start) keeps values whole,
    // as the exports need them.
    virtual void cutLongTexts(std::size_t characters) = 0;
};

// The note a cut text ends with: "… (157,286,400 characters)".
std::string cutNote(long long characters);

// Where the inventory database is: `--database FILE` when given, else the PostgreSQL server
// QV_DATABASE names (as qv writes to it), else QV.mdb in the documents folder.
struct SourceChoice {
    std::string databaseFile;     // from --database, may be empty
    std::string documentsFolder;  // may be empty when unknown
};

// Opens and checks the inventory database: it must exist, be an SQLite file (or the server),
// hold the inventory tables with their columns and at least one inventory. Null with a message
// otherwise.
std::unique_ptr<InventorySource> openInventory(const SourceChoice& choice, std::string& error);

// The SQLite back-end for one file (used by openInventory; `busyMs` bounds the wait for a lock).
std::unique_ptr<InventorySource> openSqliteInventory(const std::string& path, int busyMs, std::string& error);

// The PostgreSQL back-end for the server of a libpq connection string or URI.
std::unique_ptr<InventorySource> openPostgresqlInventory(const std::string& connection, std::string& error);

// Every column of a table, the three key columns first, as its file lists them.
std::vector<std::string> allColumnNames(const database::TableDef& table);

// The index of a category column in rows of `rowsOf`, or -1.
int columnIndex(const database::TableDef& table, const std::string& column);

}  // namespace qv::qvdb

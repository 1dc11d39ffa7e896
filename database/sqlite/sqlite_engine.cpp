// The SQLite engine: the file's check and atomic creation, the pragmas, and the rows of each computer's transaction.
#include "database/sqlite/sqlite_engine.h"

#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <random>

#include "database/sqlite/file_layer.h"

namespace qv::database::sqlite {

namespace {

bool exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A connection to the existing file for writing, not following a link; else the reason.
Result<sqlite3*> openForRows(const FileLayer& layer, const std::string& path, int waitMs) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, layer.name());
    if (rc != SQLITE_OK) {
        CallError failed = CallError::because(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return failed;
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        sqlite3_close_v2(db);
        return CallError::because("the file cannot be written");
    }
    sqlite3_busy_timeout(db, waitMs);
    return db;
}

// The failures with which a table refuses one row: the rows around it stand.
bool refusedByTable(int code) {
    switch (code & 0xff) {
        case SQLITE_CONSTRAINT:
        case SQLITE_MISMATCH:
        case SQLITE_TOOBIG:
        case SQLITE_RANGE: return true;
        default: return false;
    }
}

bool bindStored(sqlite3_stmt* stmt, int index, const Stored& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return sqlite3_bind_int64(stmt, index, *i) == SQLITE_OK;
    if (const auto* d = std::get_if<double>(&v)) return sqlite3_bind_double(stmt, index, *d) == SQLITE_OK;
    if (const auto* s = std::get_if<std::string>(&v))
        return sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return sqlite3_bind_null(stmt, index) == SQLITE_OK;
}

// A suffix no other run uses at the same time.
std::string uniqueSuffix() {
    std::random_device random;
    char text[24];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

// One connection for the whole run. The rows of one computer share a transaction that is
// committed when its inventory ends, so a kill loses at most the unfinished computer; each row
// is one INSERT, which the engine applies whole or not at all, so a refused row leaves the rows
// before it in place.
class SqliteEngine : public Engine {
public:
    SqliteEngine(FileSystem& files, std::string path, int waitMs)
        : files_(files), layer_(files), path_(std::move(path)), waitMs_(waitMs) {}
    ~SqliteEngine() override { closeConnection(); }

    const char* label() const override { return "SQLite"; }

    Result<CheckStatus> check(const std::vector<TableDef>& tables) override {
        std::string why;
        switch (files_.pathKind(path_)) {
            case PathKind::File:
                if (Result<Done> fit = usable(tables); !fit) return fit.error();
                return CheckStatus::Usable;
            case PathKind::Missing: return CheckStatus::Missing;
            case PathKind::Folder: why = "a folder has its name"; break;
            case PathKind::Link: why = "it is a link; only a file in the working folder is used"; break;
            case PathKind::Other: why = "it is not a file"; break;
        }
        return CallError::because(why);
    }

    // The file is built under a name of this run's own and moved into place in one step when
    // complete, so a run stopped half-way never leaves a QV.mdb without its tables and runs
    // started together never remove each other's work.
    Creation create(const std::vector<TableDef>& tables) override {
        Creation result;
        const std::string work = path_ + ".creating-" + uniqueSuffix();
        std::string why;
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(work.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                                 layer_.name());
        bool ok = rc == SQLITE_OK && exec(db, "PRAGMA journal_mode=DELETE");
        if (ok) {
            result.tables = createTables(db, tables, ok);
            // A table that failed is the reason (a full disk fails every one): the transaction
            // around the tables still commits, so the connection's last error would say none.
            for (const TableCreation& t : result.tables)
                if (!t.error.empty()) {
                    why = t.error;
                    ok = false;
                    break;
                }
        }
        if (!ok && why.empty()) why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        InstallResult installed = ok ? files_.installNew(work, path_) : InstallResult::Failed;
        if (installed != InstallResult::Installed) {
            files_.deleteFile(work);
            files_.deleteFile(work + "-journal");
        }
        switch (installed) {
            case InstallResult::Installed: result.outcome = Creation::Outcome::Created; break;
            case InstallResult::Exists:
                // Another run put its database in place first: that one is used.
                result.outcome = Creation::Outcome::AlreadyThere;
                result.tables.clear();
                break;
            case InstallResult::Failed:
                result.outcome = Creation::Outcome::Failed;
                result.why = "it cannot be created in the working folder" + (why.empty() ? "" : ": " + why);
                break;
        }
        return result;
    }

    Result<Done> begin() override {
        if (!db_)
            if (Result<Done> connected = connect(); !connected) return connected.error();
        // Taking the write lock at once means the rows after it never wait for another process.
        if (!sqlite3_get_autocommit(db_) || exec(db_, "BEGIN IMMEDIATE")) return Done{};
        return CallError::because(sqlite3_errmsg(db_));
    }

    RowOutcome insert(const TableDef& table, const std::vector<Stored>& row) override {
        if (!db_) return {RowStatus::Failed, "there is no connection"};
        sqlite3_stmt* stmt = insertStatement(table);
        if (!stmt) return {RowStatus::Failed, sqlite3_errmsg(db_)};
        RowOutcome outcome;
        for (std::size_t i = 0; i < row.size(); ++i)
            if (!bindStored(stmt, static_cast<int>(i) + 1, row[i])) {
                outcome = {RowStatus::Refused, sqlite3_errmsg(db_)};
                break;
            }
        if (outcome.status == RowStatus::Stored && sqlite3_step(stmt) != SQLITE_DONE) {
            const int code = sqlite3_extended_errcode(db_);
            outcome.reason = sqlite3_errmsg(db_);
            // Any other failure may have cost the rows before this one as well: on some the
            // engine rolls the whole transaction back.
            if (!refusedByTable(code) || sqlite3_get_autocommit(db_))
                outcome.status = RowStatus::Failed;
            else if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE)
                outcome.status = RowStatus::KeyExists;
            else
                outcome.status = RowStatus::Refused;
        }
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return outcome;
    }

    Result<Done> commit() override {
        if (!db_ || sqlite3_get_autocommit(db_) || exec(db_, "COMMIT")) return Done{};
        return CallError::because(sqlite3_errmsg(db_));
    }

    void rollback() override {
        if (db_ && !sqlite3_get_autocommit(db_)) exec(db_, "ROLLBACK");
    }

private:
    // The run's connection for rows, opened at the first computer's first row.
    Result<Done> connect() {
        Result<sqlite3*> opened = openForRows(layer_, path_, waitMs_);
        if (!opened) return opened.error();
        sqlite3* db = *opened;
        exec(db, "PRAGMA foreign_keys=ON");
        // Each computer's commit reaches the disk before the next computer starts, so neither a
        // killed process nor a power cut or system crash can damage the file or lose a finished
        // computer (about 3.5 ms per computer). Truncating the journal instead of deleting it
        // spares a file creation per computer.
        exec(db, "PRAGMA synchronous=FULL");
        exec(db, "PRAGMA journal_mode=TRUNCATE");
        db_ = db;
        return Done{};
    }

    void closeConnection() {
        for (auto& [table, stmt] : inserts_) sqlite3_finalize(stmt);
        inserts_.clear();
        if (db_) {
            // Every computer ends with its commit or rollback; anything left open is given up.
            if (!sqlite3_get_autocommit(db_)) exec(db_, "ROLLBACK");
            // The journal is kept (emptied) between computers to spare a file creation each; the
            // run leaves none behind.
            exec(db_, "PRAGMA journal_mode=DELETE");
            sqlite3_close_v2(db_);
        }
        db_ = nullptr;
    }

    sqlite3_stmt* insertStatement(const TableDef& table) {
        auto it = inserts_.find(&table);
        if (it != inserts_.end()) return it->second;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, insertSql(table).c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(stmt);
            return nullptr;
        }
        inserts_[&table] = stmt;
        return stmt;
    }

    // The file holds every table with its columns, and rows can be written to it (waiting for
    // another program's hold at most the database limit); else the reason.
    Result<Done> usable(const std::vector<TableDef>& tables) {
        Result<sqlite3*> opened = openForRows(layer_, path_, waitMs_);
        if (!opened) return opened.error();
        sqlite3* db = *opened;
        Result<Done> held = holdsTables(db, tables);
        bool ok = held.ok();
        std::string why = ok ? std::string() : held.error().why();
        // Taking the write lock once shows that rows can be added (a read-only file system, a
        // file held by another program past the wait).
        if (ok && !exec(db, "BEGIN IMMEDIATE")) {
            why = sqlite3_errmsg(db);
            ok = false;
        }
        if (ok) exec(db, "ROLLBACK");
        else why = withHotJournal(db, why);
        sqlite3_close_v2(db);
        if (!ok) return CallError::because(why);
        return Done{};
    }

    // The reason a failure to read or write the file gives, told more plainly when the journal of
    // a writer that was stopped mid-transaction is beside it: the engine must roll that journal
    // back before the file can be used and could not (the folder or the journal cannot be written
    // by this user), which it says only as "attempt to write a readonly database" or "disk I/O
    // error". A journal of a writer that is still at work makes the engine wait instead (busy).
    std::string withHotJournal(sqlite3* db, const std::string& why) {
        const int code = sqlite3_errcode(db) & 0xff;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) return why;
        const std::string journal = path_ + "-journal";
        std::uint64_t length = 0;
        if (files_.pathKind(journal) != PathKind::File || !files_.fileLength(journal, length) || length == 0) return why;
        const std::string name = journal.substr(journal.find_last_of("/\\") + 1);
        return "the journal of a run that was stopped while writing (" + name +
               ") is beside it and could not be rolled back (" + why +
               "); make the folder and that journal writable for this user and run again, which rolls it back "
               "(deleting the journal would damage the database)";
    }

    FileSystem& files_;
    // Every connection of the run reaches the files through the platform's file layer.
    FileLayer layer_;
    std::string path_;
    int waitMs_;
    sqlite3* db_ = nullptr;
    std::map<const TableDef*, sqlite3_stmt*> inserts_;
};

}  // namespace

Result<Done> holdsTables(sqlite3* db, const std::vector<TableDef>& tables) {
    for (const TableDef& table : tables) {
        std::vector<std::string> expected, found;
        for (const Column& c : inventoryKeyColumns()) expected.push_back(c.name);
        for (const Column& c : table.columns) expected.push_back(c.name);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, ("PRAGMA table_info(" + quoted(table.name) + ")").c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            return CallError::because(sqlite3_errmsg(db));
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) found.push_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        if (sqlite3_finalize(stmt) != SQLITE_OK) return CallError::because(sqlite3_errmsg(db));
        if (found != expected) {
            return CallError::because(found.empty() ? std::string("it has no table ") + table.name
                                : std::string("its table ") + table.name + " has other columns");
        }
        // A view answers to the same name and columns, but its rows may be made up without end.
        if (sqlite3_prepare_v2(db, "SELECT type FROM sqlite_master WHERE name = ?1 COLLATE NOCASE", -1, &stmt, nullptr) !=
            SQLITE_OK) {
            return CallError::because(sqlite3_errmsg(db));
        }
        sqlite3_bind_text(stmt, 1, table.name, -1, SQLITE_STATIC);
        std::string type;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            if (const unsigned char* t = sqlite3_column_text(stmt, 0)) type = reinterpret_cast<const char*>(t);
        sqlite3_finalize(stmt);
        if (type != "table") {
            return CallError::because(std::string("its ") + table.name + " is a " + (type.empty() ? "temporary object" : type) + ", not a table");
        }
    }
    return Done{};
}

std::vector<TableCreation> createTables(sqlite3* db, const std::vector<TableDef>& tables, bool& committed) {
    std::vector<TableCreation> result;
    committed = false;
    if (!exec(db, "BEGIN")) return result;
    for (const TableDef& table : tables) {
        // Each table in its own savepoint: a table that fails leaves no part of itself behind and
        // does not stop the tables after it.
        exec(db, "SAVEPOINT createTable");
        TableCreation made{&table, {}};
        for (const std::string& sql : createTableSql(table)) {
            if (!exec(db, sql)) {
                made.error = sqlite3_errmsg(db);
                break;
            }
        }
        if (made.error.empty()) {
            exec(db, "RELEASE createTable");
        } else {
            exec(db, "ROLLBACK TO createTable");
            exec(db, "RELEASE createTable");
        }
        result.push_back(std::move(made));
    }
    committed = exec(db, "COMMIT");
    return result;
}

std::unique_ptr<Engine> makeEngine(FileSystem& files, const std::string& path, int waitMs) {
    return std::make_unique<SqliteEngine>(files, path, waitMs);
}

}  // namespace qv::database::sqlite

// qvdb import: reads QV.mdb files and writes their inventories through the PostgreSQL engine.
#include "qvdb/import.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "core/limits.h"
#include "database/connection_name.h"
#include "database/engine.h"
#include "database/postgresql/postgresql_engine.h"
#include "database/sqlite/sqlite_engine.h"

namespace qv::qvdb {

namespace {

using database::RowStatus;
using database::Stored;
using database::TableDef;

struct Counts {
    int imported = 0, alreadyThere = 0, failed = 0;
};

// The key of one inventory in a file: InvDateTime, DomainWorkGrp, DeviceName.
using Key = std::vector<Stored>;

Stored storedOf(sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
        case SQLITE_INTEGER: return Stored(static_cast<std::int64_t>(sqlite3_column_int64(st, column)));
        case SQLITE_FLOAT: return Stored(sqlite3_column_double(st, column));
        case SQLITE_NULL: return Stored();
        default:
            return Stored(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, column)),
                                      static_cast<std::size_t>(sqlite3_column_bytes(st, column))));
    }
}

bool bind(sqlite3_stmt* st, int index, const Stored& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return sqlite3_bind_int64(st, index, *i) == SQLITE_OK;
    if (const auto* d = std::get_if<double>(&v)) return sqlite3_bind_double(st, index, *d) == SQLITE_OK;
    if (const auto* s = std::get_if<std::string>(&v))
        return sqlite3_bind_text(st, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return sqlite3_bind_null(st, index) == SQLITE_OK;
}

// Every row of `table` in the file, or of one inventory of it when `key` is given, to `each`;
// false with the reason when the file cannot be read.
template <class Each>
bool forEachRow(sqlite3* db, const TableDef& table, const Key* key, std::string& why, Each each) {
    std::string sql = "SELECT * FROM " + database::quoted(table.name);
    // The rows of a category table in the order they were written (tables with a key of their own hold one per inventory).
    if (key)
        sql += std::string(" WHERE \"InvDateTime\" IS ?1 AND \"DomainWorkGrp\" IS ?2 AND \"DeviceName\" IS ?3") +
               (table.primaryKey ? "" : " ORDER BY rowid");
    else sql += " ORDER BY \"InvDateTime\", \"DeviceName\", \"DomainWorkGrp\"";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        why = sqlite3_errmsg(db);
        sqlite3_finalize(st);
        return false;
    }
    for (int i = 0; key && i < 3; ++i) bind(st, i + 1, (*key)[static_cast<std::size_t>(i)]);
    const int columns = sqlite3_column_count(st);
    int rc;
    bool go = true;
    while (go && (rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<Stored> row;
        for (int i = 0; i < columns; ++i) row.push_back(storedOf(st, i));
        go = each(row);
    }
    const bool ok = !go || rc == SQLITE_DONE;
    if (!ok) why = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    return ok;
}

std::string text(const Stored& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return "";
}

// One inventory in one transaction: its DeviceID row, whose key decides whether it is already
// there, then the rows of every other table under its key.
void importInventory(sqlite3* db, database::Engine& engine, const std::vector<Stored>& deviceRow, const std::string& file,
                     Counts& counts, std::ostream& err) {
    const Key key(deviceRow.begin(), deviceRow.begin() + 3);
    const std::string which = text(key[2]) + " of " + text(key[0]);
    auto fail = [&](const std::string& reason) {
        engine.rollback();
        ++counts.failed;
        err << "qvdb import: " << which << " in " << file << " not imported: " << reason << "\n";
    };
    if (qv::Result<Done> begun = engine.begin(); !begun) return fail(begun.error().why());
    const std::vector<TableDef>& tables = database::tableList();
    database::RowOutcome first = engine.insert(tables.front(), deviceRow);
    if (first.status == RowStatus::KeyExists) {
        engine.rollback();
        ++counts.alreadyThere;
        return;
    }
    if (first.status != RowStatus::Stored) return fail(first.reason);
    for (std::size_t t = 1; t < tables.size(); ++t) {
        std::string refused, why;
        bool read = forEachRow(db, tables[t], &key, why, [&](const std::vector<Stored>& row) {
            database::RowOutcome o = engine.insert(tables[t], row);
            if (o.status != RowStatus::Stored) refused = std::string(tables[t].name) + ": " + o.reason;
            return o.status == RowStatus::Stored;
        });
        if (!refused.empty()) return fail(refused);
        if (!read) return fail(why);
    }
    if (qv::Result<Done> committed = engine.commit(); !committed) return fail(committed.error().why());
    ++counts.imported;
}

// Every inventory of one file; false when it is not an inventory database (said with the reason).
bool importFile(const std::string& file, database::Engine& engine, Counts& counts, std::ostream& err) {
    // Only regular files are read: a FIFO would wait for a writer without end, a device never end.
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        const int e = errno;
        err << "qvdb import: " << file << " is not an inventory database: "
            << (S_ISDIR(info.st_mode) ? std::string("it is a folder")
                : info.st_mode ? std::string("it is not a regular file (a pipe, device or socket)")
                : e == ENOENT  ? std::string("it does not exist")
                               : std::string(std::strerror(e)))
            << "\n";
        return false;
    }
    sqlite3* db = nullptr;
    std::string why;
    bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    if (!ok) why = db ? sqlite3_errmsg(db) : "it cannot be opened";
    // A run writing to the file holds it for one computer's commit at a time.
    if (ok) sqlite3_busy_timeout(db, Limits{}.databaseMs);
    if (ok) {
        qv::Result<Done> held = database::sqlite::holdsTables(db, database::tableList());
        if (!held) why = held.error().why();
        ok = held.ok();
    }
    if (ok) {
        // The keys first, then each inventory on its own: the file is read in one transaction of its own.
        std::vector<std::vector<Stored>> devices;
        ok = forEachRow(db, database::tableList().front(), nullptr, why, [&](const std::vector<Stored>& row) {
            devices.push_back(row);
            return true;
        });
        for (std::size_t i = 0; ok && i < devices.size(); ++i) importInventory(db, engine, devices[i], file, counts, err);
    }
    if (!ok) err << "qvdb import: " << file << " is not an inventory database: " << why << "\n";
    sqlite3_close(db);
    return ok;
}

}  // namespace

int runImport(Invocation& call) {
    if (call.args.empty()) {
        call.err << "usage: qvdb import FILE...\n";
        return 2;
    }
    const char* setting = std::getenv("QV_DATABASE");
    if (!setting || !*setting) {
        call.err << "qvdb import: QV_DATABASE names no database server to import into\n";
        return 2;
    }
    const std::string connection = setting;
    const std::string name = database::maskedConnection(connection);
    std::unique_ptr<database::Engine> engine = database::postgresql::makeEngine({connection, Limits{}.databaseMs});
    // The tables are made when the server has none yet, as a first run makes them.
    qv::Result<database::CheckStatus> status = engine->check(database::tableList());
    if (status && *status == database::CheckStatus::Missing) {
        database::Creation made = engine->create(database::tableList());
        status = made.outcome == database::Creation::Outcome::Failed ? qv::Result<database::CheckStatus>(CallError::because(made.why))
                                                                     : engine->check(database::tableList());
    }
    if (!status || *status != database::CheckStatus::Usable) {
        const std::string why = status ? std::string() : status.error().why();
        call.err << "qvdb import: " << name << " cannot be used: " << database::withoutPasswords(why, connection) << "\n";
        return 1;
    }
    Counts counts;
    bool allFiles = true;
    for (const std::string& file : call.args) allFiles = importFile(file, *engine, counts, call.err) && allFiles;
    call.out << counts.imported << " inventories imported, " << counts.alreadyThere << " already there\n";
    return allFiles && counts.failed == 0 ? 0 : 1;
}

}  // namespace qv::qvdb

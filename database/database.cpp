// The inventory database on SQLite: the creation step, the run's connection and the record writers.
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <random>

#include "console/console.h"
#include "database/creation.h"
#include "database/file_layer.h"
#include "database/records.h"
#include "database/schema.h"
#include "files/run_log.h"
#include "files/text_files.h"
#include "management/connector.h"
#include "platform/text.h"

namespace qv::database {

// One connection for the whole run. The rows of one inventory share a transaction that is
// committed when that inventory ends, so a kill loses at most the unfinished computer; each row
// is one INSERT, which the engine applies whole or not at all, so a refused row leaves the rows
// before it in place.
struct Session {
    explicit Session(FileSystem& files) : layer(files) {}
    // Every connection of the run reaches the files through the platform's file layer.
    FileLayer layer;
    sqlite3* db = nullptr;
    std::map<const TableDef*, sqlite3_stmt*> inserts;
    // The database could not be had for the current inventory (locked, read-only, not a
    // database): its remaining rows are refused at once instead of waiting again for each.
    bool inventoryRefused = false;
    std::string refusedWhy;
};

namespace {

std::string databasePath(RunContext& ctx) {
    return ctx.platform.files.join(ctx.env.sPath, dataSourceOf(kConnectionString));
}

bool exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

void closeConnection(Session& s) {
    for (auto& [table, stmt] : s.inserts) sqlite3_finalize(stmt);
    s.inserts.clear();
    if (s.db) {
        // Every inventory ends with its commit or rollback; anything left open is given up.
        if (!sqlite3_get_autocommit(s.db)) exec(s.db, "ROLLBACK");
        // The journal is kept (emptied) between inventories to spare a file creation each; the
        // run leaves none behind.
        exec(s.db, "PRAGMA journal_mode=DELETE");
        sqlite3_close_v2(s.db);
    }
    s.db = nullptr;
}

// The run's session, made on first use: it holds the file layer every connection uses.
Session& sessionOf(RunContext& ctx) {
    if (!ctx.database) ctx.database.reset(new Session(ctx.platform.files));
    return *ctx.database;
}

// A connection to the existing file for writing, not following a link; null with the reason.
sqlite3* openForRows(const FileLayer& layer, const std::string& path, int waitMs, std::string& why) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, layer.name());
    if (rc != SQLITE_OK) {
        why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        return nullptr;
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        why = "the file cannot be written";
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, waitMs);
    return db;
}

// The run's connection, opened on first use; null when the file cannot be opened for writing.
Session* session(RunContext& ctx) {
    Session* s = &sessionOf(ctx);
    if (s->inventoryRefused) return nullptr;
    if (s->db) return s;
    sqlite3* db = openForRows(s->layer, databasePath(ctx), ctx.platform.management.limits().databaseMs, s->refusedWhy);
    if (!db) {
        s->inventoryRefused = true;
        return nullptr;
    }
    exec(db, "PRAGMA foreign_keys=ON");
    // Each computer's commit reaches the disk before the next computer starts, so neither a killed
    // process nor a power cut or system crash can damage the file or lose a finished computer
    // (about 3.5 ms per computer). Truncating the journal instead of deleting it spares a file
    // creation per computer.
    exec(db, "PRAGMA synchronous=FULL");
    exec(db, "PRAGMA journal_mode=TRUNCATE");
    s->db = db;
    return s;
}

// The current inventory's transaction, begun by its first row. Taking the write lock at once
// means the rows after it never wait for another process.
bool inTransaction(Session& s) {
    if (!sqlite3_get_autocommit(s.db)) return true;
    if (exec(s.db, "BEGIN IMMEDIATE")) return true;
    s.refusedWhy = sqlite3_errmsg(s.db);
    s.inventoryRefused = true;
    return false;
}

// The current inventory cannot be trusted any more (a disk that failed or filled up, a damaged
// file, a transaction the engine rolled back itself): its remaining rows are refused and the
// rows it has are given up when it ends.
void giveUpInventory(Session& s, const std::string& why) {
    s.inventoryRefused = true;
    s.refusedWhy = why;
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

sqlite3_stmt* insertStatement(Session& s, const TableDef& table) {
    auto it = s.inserts.find(&table);
    if (it != s.inserts.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(s.db, insertSql(table).c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    s.inserts[&table] = stmt;
    return stmt;
}

// A value as it is stored: Null, integer, real or text.
using Stored = std::variant<std::monostate, std::int64_t, double, std::string>;

std::string isoDate(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

bool isBlankText(const Field& f) {
    const std::string* s = std::get_if<std::string>(&f);
    return s && text::trimBlanks(*s).empty();
}

// A field as a number for a numeric column: texts read with the locale's grouping and decimal
// point, Booleans -1 and 0 as the scripting layer counts them.
std::optional<double> numberFor(const Field& f, const Locale& locale) {
    if (const auto* d = std::get_if<double>(&f)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&f)) return static_cast<double>(*i);
    if (const auto* b = std::get_if<bool>(&f)) return *b ? -1.0 : 0.0;
    if (const auto* s = std::get_if<std::string>(&f)) {
        double v = 0;
        if (parseLocaleNumber(locale, text::trimBlanks(*s), v)) return v;
    }
    return std::nullopt;
}

// The stored form of `f` in column `c`, or nullopt when the column cannot take it. A blank
// text in a numeric or date column is stored as Null, as an empty value is.
std::optional<Stored> storedValue(const Column& c, const Field& f, const Locale& locale) {
    if (std::holds_alternative<std::monostate>(f)) {
        if (c.type == ColumnType::Boolean) return Stored(std::int64_t{0});
        return Stored();
    }
    switch (c.type) {
        case ColumnType::VarWChar: {
            std::string text;
            if (const auto* s = std::get_if<std::string>(&f)) text = *s;
            else if (const auto* d = std::get_if<double>(&f)) text = text::plainNumber(*d);
            else if (const auto* i = std::get_if<std::int64_t>(&f)) text = std::to_string(*i);
            else if (const auto* b = std::get_if<bool>(&f)) text = *b ? "True" : "False";
            else text = formatGeneralDate(locale, std::get<DateTime>(f));
            // A text longer than its column is cut to the column's width, never refused: a row
            // is not lost for one long value. (Key columns are checked before, never cut.)
            return Stored(text::firstCharacters(text, static_cast<std::size_t>(c.size)));
        }
        case ColumnType::Integer: {
            if (isBlankText(f)) return Stored();
            if (const auto* i = std::get_if<std::int64_t>(&f)) return Stored(*i);  // range checked by the table
            std::optional<double> d = numberFor(f, locale);
            if (!d || !std::isfinite(*d) || std::fabs(*d) > 4e9) return std::nullopt;
            return Stored(static_cast<std::int64_t>(std::nearbyint(*d)));
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            if (isBlankText(f)) return Stored();
            std::optional<double> d = numberFor(f, locale);
            if (!d || !std::isfinite(*d)) return std::nullopt;
            if (c.type == ColumnType::Double) return Stored(*d);
            if (std::fabs(*d) > std::numeric_limits<float>::max()) return std::nullopt;
            return Stored(static_cast<double>(static_cast<float>(*d)));
        }
        case ColumnType::Date: {
            if (isBlankText(f)) return Stored();
            if (const auto* t = std::get_if<DateTime>(&f)) return Stored(isoDate(*t));
            DateTime t;
            if (const auto* s = std::get_if<std::string>(&f); s && parseLocaleDate(locale, text::trimBlanks(*s), t))
                return Stored(isoDate(t));
            return std::nullopt;
        }
        case ColumnType::Boolean: {
            if (const auto* b = std::get_if<bool>(&f)) return Stored(std::int64_t{*b ? 1 : 0});
            if (const auto* s = std::get_if<std::string>(&f)) {
                const std::string t = text::trimBlanks(*s);
                if (text::equalsIgnoringCase(t, "true")) return Stored(std::int64_t{1});
                if (text::equalsIgnoringCase(t, "false")) return Stored(std::int64_t{0});
            }
            if (std::holds_alternative<DateTime>(f)) return std::nullopt;
            std::optional<double> d = numberFor(f, locale);
            if (!d) return std::nullopt;
            return Stored(std::int64_t{*d != 0 ? 1 : 0});
        }
    }
    return std::nullopt;
}

bool bindStored(sqlite3_stmt* stmt, int index, const Stored& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return sqlite3_bind_int64(stmt, index, *i) == SQLITE_OK;
    if (const auto* d = std::get_if<double>(&v)) return sqlite3_bind_double(stmt, index, *d) == SQLITE_OK;
    if (const auto* s = std::get_if<std::string>(&v))
        return sqlite3_bind_text(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return sqlite3_bind_null(stmt, index) == SQLITE_OK;
}

// One INSERT of the inventory key and the given columns; false when the row was refused.
bool insertRow(RunContext& ctx, const InventoryKey& key, Session& s, const TableDef& table, const Fields& fields,
               std::string& why) {
    sqlite3_stmt* stmt = insertStatement(s, table);
    if (!stmt) {
        why = sqlite3_errmsg(s.db);
        giveUpInventory(s, why);
        return false;
    }
    const Locale& locale = ctx.platform.system.locale();
    std::vector<const Field*> byColumn(table.columns.size(), nullptr);
    for (const auto& [name, value] : fields) {
        std::size_t i = 0;
        while (i < table.columns.size() && name != table.columns[i].name) ++i;
        if (i == table.columns.size()) {
            why = "no column " + name;
            return false;
        }
        byColumn[i] = &value;
    }
    static const Field kNull;
    bool ok = bindStored(stmt, 1, Stored(isoDate(ctx.runStartTime))) && bindStored(stmt, 2, Stored(key.targetDomain)) &&
              bindStored(stmt, 3, Stored(key.currentTarget));
    for (std::size_t i = 0; ok && i < table.columns.size(); ++i) {
        std::optional<Stored> v = storedValue(table.columns[i], byColumn[i] ? *byColumn[i] : kNull, locale);
        if (!v) why = std::string("the value of ") + table.columns[i].name + " does not fit its column";
        ok = v && bindStored(stmt, static_cast<int>(i) + 4, *v);
    }
    if (ok && sqlite3_step(stmt) != SQLITE_DONE) {
        why = sqlite3_errmsg(s.db);
        ok = false;
        // Any other failure may have cost the rows before this one as well: on some the engine
        // rolls the whole transaction back.
        if (!refusedByTable(sqlite3_extended_errcode(s.db)) || sqlite3_get_autocommit(s.db)) giveUpInventory(s, why);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return ok;
}

bool append(RunContext& ctx, const InventoryKey& key, const std::string& tableName, const Fields& fields,
            std::string& why) {
    if (!ctx.env.bMDB) {
        why = "there is no database";
        return false;
    }
    const TableDef* table = findTable(tableName);
    if (!table) {
        why = "no table " + tableName;
        return false;
    }
    Session* s = session(ctx);
    if (!s || !inTransaction(*s)) {
        why = ctx.database->refusedWhy;
        return false;
    }
    return insertRow(ctx, key, *s, *table, fields, why);
}

void warnNoDatabase(RunContext& ctx) {
    files::logLine(ctx, "            Warning: Database requirements not met.\r\n"
                        "                     Database will not be created and data not written.");
    console::writeConsoleLine(ctx, "Warning: Database requirements not met.\r\n"
                                   "Database will not be created and data not written.", true);
}

// The file holds every table with its columns, and rows can be written to it (waiting for
// another program's hold at most the database limit); else false with the reason.
bool usable(RunContext& ctx, const std::string& path, std::string& why) {
    sqlite3* db = openForRows(sessionOf(ctx).layer, path, ctx.platform.management.limits().databaseMs, why);
    if (!db) return false;
    bool ok = true;
    for (const TableDef& table : tableList()) {
        std::vector<std::string> expected, found;
        for (const Column& c : inventoryKeyColumns()) expected.push_back(c.name);
        for (const Column& c : table.columns) expected.push_back(c.name);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, ("PRAGMA table_info(" + quoted(table.name) + ")").c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            why = sqlite3_errmsg(db);
            ok = false;
            break;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) found.push_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        int rc = sqlite3_finalize(stmt);
        if (rc != SQLITE_OK) {
            why = sqlite3_errmsg(db);
            ok = false;
            break;
        }
        if (found != expected) {
            why = found.empty() ? std::string("it has no table ") + table.name
                                : std::string("its table ") + table.name + " has other columns";
            ok = false;
            break;
        }
    }
    // Taking the write lock once shows that rows can be added (a read-only file system, a file
    // held by another program past the wait).
    if (ok && !exec(db, "BEGIN IMMEDIATE")) {
        why = sqlite3_errmsg(db);
        ok = false;
    }
    if (ok) exec(db, "ROLLBACK");
    sqlite3_close_v2(db);
    return ok;
}

// The database cannot be used: the reason and the two warning lines on the console and in the
// log, and the run goes on with reports only.
void refuse(RunContext& ctx, const std::string& why) {
    const std::string reason = dataSourceOf(kConnectionString) + " cannot be used: " + why;
    files::logLine(ctx, "  " + reason);
    console::writeConsoleLine(ctx, reason, true);
    warnNoDatabase(ctx);
    ctx.env.bMDB = false;
}

// A suffix no other run uses at the same time.
std::string uniqueSuffix() {
    std::random_device random;
    char text[24];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

}  // namespace

void closeSession(Session* s) {
    if (!s) return;
    closeConnection(*s);
    delete s;
}

bool isKeyTable(const TableDef& table) { return table.primaryKey && table.parent; }

bool createTables(sqlite3* db, const std::vector<TableDef>& tables, const std::function<void(const std::string&)>& log) {
    if (!exec(db, "BEGIN")) return false;
    for (const TableDef& table : tables) {
        // Each table in its own savepoint: a table that fails leaves no part of itself behind and
        // does not stop the tables after it.
        exec(db, "SAVEPOINT createTable");
        std::string error;
        for (const std::string& sql : createTableSql(table)) {
            if (!exec(db, sql)) {
                error = sqlite3_errmsg(db);
                break;
            }
        }
        if (error.empty()) {
            exec(db, "RELEASE createTable");
            if (!isKeyTable(table)) log("    Table " + std::string(table.name) + " Created");
        } else {
            exec(db, "ROLLBACK TO createTable");
            exec(db, "RELEASE createTable");
            log("    Table Creation Error " + std::string(table.name) + "SQLite-->" + error + " Error");
        }
    }
    return exec(db, "COMMIT");
}

void createOrOpenDatabase(RunContext& ctx) {
    if (!ctx.env.bMDB) {
        warnNoDatabase(ctx);
        return;
    }
    const std::string name = dataSourceOf(kConnectionString);
    const std::string path = databasePath(ctx);
    std::string why;
    switch (ctx.platform.files.pathKind(path)) {
        case PathKind::File:
            if (!usable(ctx, path, why)) return refuse(ctx, why);
            files::logLine(ctx, "  " + name + " exists; data to be appended");
            return;
        case PathKind::Missing: break;
        case PathKind::Folder: return refuse(ctx, "a folder has its name");
        case PathKind::Link: return refuse(ctx, "it is a link; only a file in the working folder is used");
        case PathKind::Other: return refuse(ctx, "it is not a file");
    }
    // The file is built under a name of this run's own and moved into place in one step when
    // complete, so a run stopped half-way never leaves a QV.mdb without its tables and runs
    // started together never remove each other's work. Its log lines are held until it is in place.
    const std::string work = path + ".creating-" + uniqueSuffix();
    std::vector<std::string> lines;
    bool tablesFailed = false;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(work.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                             sessionOf(ctx).layer.name());
    bool ok = rc == SQLITE_OK && exec(db, "PRAGMA journal_mode=DELETE");
    if (ok) {
        lines.push_back("  " + name + " Created");
        ok = createTables(db, tableList(), [&](const std::string& line) {
            if (line.rfind("    Table Creation Error ", 0) == 0) tablesFailed = true;
            lines.push_back(line);
        });
        ok = ok && !tablesFailed;
    }
    if (!ok) why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    InstallResult installed = ok ? ctx.platform.files.installNew(work, path) : InstallResult::Failed;
    if (installed != InstallResult::Installed) {
        ctx.platform.files.deleteFile(work);
        ctx.platform.files.deleteFile(work + "-journal");
    }
    switch (installed) {
        case InstallResult::Installed:
            for (const std::string& line : lines) files::logLine(ctx, line);
            return;
        case InstallResult::Exists:
            // Another run put its database in place first: that one is used.
            if (!usable(ctx, path, why)) return refuse(ctx, why);
            files::logLine(ctx, "  " + name + " exists; data to be appended");
            return;
        case InstallResult::Failed:
            for (const std::string& line : lines)
                if (line.rfind("    Table Creation Error ", 0) == 0) files::logLine(ctx, line);
            return refuse(ctx, "it cannot be created in the working folder" + (why.empty() ? "" : ": " + why));
    }
}

bool appendRow(RunContext& ctx, const InventoryKey& key, const std::string& table, const Fields& fields, std::string* why) {
    std::string reason;
    bool ok = append(ctx, key, table, fields, reason);
    if (why) *why = reason;
    return ok;
}

Fields emptyRowFields(const TableDef& def) {
    Fields fields;
    for (const Column& c : def.columns) {
        switch (c.type) {
            case ColumnType::VarWChar: fields.emplace_back(c.name, std::string()); break;
            case ColumnType::Integer: fields.emplace_back(c.name, std::int64_t{0}); break;
            case ColumnType::Single:
            case ColumnType::Double: fields.emplace_back(c.name, 0.0); break;
            case ColumnType::Boolean: fields.emplace_back(c.name, false); break;
            case ColumnType::Date: fields.emplace_back(c.name, std::monostate()); break;
        }
    }
    return fields;
}

bool appendEmptyRow(RunContext& ctx, const InventoryKey& key, const std::string& table, std::string* why) {
    const TableDef* def = findTable(table);
    if (!def) {
        if (why) *why = "no table " + table;
        return false;
    }
    return appendRow(ctx, key, table, emptyRowFields(*def), why);
}

bool appendMasterRows(RunContext& ctx, const InventoryKey& key, const Fields& deviceIdFields, std::string* why) {
    // The key rows the other tables hang from; when the first is refused the others are not tried.
    return appendRow(ctx, key, "DeviceID", deviceIdFields, why) && appendRow(ctx, key, "SoftwareKey", {}, why) &&
           appendRow(ctx, key, "HardwareKey", {}, why);
}

bool endInventory(RunContext& ctx, std::string* why) {
    Session* s = ctx.database.get();
    if (!s) return true;
    bool ok = true;
    if (s->db && !sqlite3_get_autocommit(s->db) && !exec(s->db, "COMMIT")) {
        // Held by another program past the wait, or the disk failed: the computer's rows are
        // given up, and said so.
        if (why) *why = sqlite3_errmsg(s->db);
        exec(s->db, "ROLLBACK");
        ok = false;
    }
    s->inventoryRefused = false;
    return ok;
}

namespace {
// Ends a computer that was given up: what stands in its transaction is rolled back.
void abandonInventory(RunContext& ctx) {
    Session* s = ctx.database.get();
    if (!s) return;
    if (s->db && !sqlite3_get_autocommit(s->db)) exec(s->db, "ROLLBACK");
    s->inventoryRefused = false;
}
}  // namespace

bool keyFits(const InventoryKey& key, std::string& why) {
    for (const Column& c : inventoryKeyColumns()) {
        const std::string name = c.name;
        const std::string* value = name == "DeviceName"      ? &key.currentTarget
                                   : name == "DomainWorkGrp" ? &key.targetDomain
                                                             : nullptr;
        if (value && static_cast<int>(text::characterCount(*value)) > c.size) {
            why = name + " holds at most " + std::to_string(c.size) + " characters";
            return false;
        }
    }
    return true;
}

void InventoryRows::write(const OutputItem& item) {
    if (skipped_) return;
    key_.targetDomain = item.targetDomain;
    std::string why;
    switch (item.kind) {
        case OutputItem::Kind::MasterRows:
            // Without its own master row no row of the computer is written: a refused key (too
            // long, or the same as an inventory already stored) would otherwise hang the rows
            // from another inventory or lose them one by one.
            if (!keyFits(key_, why)) {
                skip(why, false);
            } else if (!appendMasterRows(ctx_, key_, item.fields, &why)) {
                // Two runs in the same second, or one name twice in other case.
                if (why.rfind("UNIQUE constraint failed: DeviceID", 0) == 0)
                    why = "an inventory of " + key_.currentTarget + " with this run's start time is already stored";
                skip(why, ctx_.database && ctx_.database->inventoryRefused);
            }
            break;
        case OutputItem::Kind::Row:
        case OutputItem::Kind::EmptyRow: {
            bool ok = item.kind == OutputItem::Kind::Row ? appendRow(ctx_, key_, item.text, item.fields, &why)
                                                         : appendEmptyRow(ctx_, key_, item.text, &why);
            if (ok || !ctx_.env.bMDB) break;
            if (ctx_.database && ctx_.database->inventoryRefused) {
                skip(why, true);
            } else if (loggedTables_.insert(item.text).second) {
                files::logLine(ctx_, text::shownSafely(key_.currentTarget) + " Row of " + item.text + " not written to QV.mdb: " + why);
            }
            break;
        }
        default: break;
    }
}

bool InventoryRows::commit() {
    std::string why;
    if (!skipped_ && !endInventory(ctx_, &why)) skip(why, true);
    if (skipped_ && ctx_.env.bMDB) {
        const std::string line = text::shownSafely(key_.currentTarget) + " Rows not written to QV.mdb: " + skippedWhy_;
        console::writeConsoleLine(ctx_, line, true);
        files::logLine(ctx_, line);
    }
    // A computer given up part-way keeps none of its rows.
    if (skipped_) abandonInventory(ctx_);
    return !lost_;
}

void InventoryRows::skip(const std::string& why, bool lost) {
    if (skipped_) return;
    skipped_ = true;
    lost_ = lost;
    skippedWhy_ = why;
}

namespace {
void putRow(TargetContext& ctx, OutputItem::Kind kind, const std::string& table, const Fields& fields) {
    ctx.output.put({kind, table, fields, ctx.targetDomain});
}
}  // namespace

void appendRow(TargetContext& ctx, const std::string& table, const Fields& fields) {
    putRow(ctx, OutputItem::Kind::Row, table, fields);
}
void appendEmptyRow(TargetContext& ctx, const std::string& table) { putRow(ctx, OutputItem::Kind::EmptyRow, table, {}); }
void appendMasterRows(TargetContext& ctx, const Fields& deviceIdFields) {
    putRow(ctx, OutputItem::Kind::MasterRows, "", deviceIdFields);
}
void endInventory(TargetContext& ctx) { ctx.output.put({OutputItem::Kind::Commit, {}, {}, {}}); }

}  // namespace qv::database

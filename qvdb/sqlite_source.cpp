// The inventory database read from an SQLite file, and the checks that it is one.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "qvdb/inventory_source.h"

namespace qv::qvdb {

using database::TableDef;

bool sameComputer(const InventoryKey& a, const InventoryKey& b) { return a.name == b.name && a.domain == b.domain; }

std::vector<std::string> allColumnNames(const TableDef& table) {
    std::vector<std::string> names;
    for (const auto& c : database::inventoryKeyColumns()) names.push_back(c.name);
    for (const auto& c : table.columns) names.push_back(c.name);
    return names;
}

int columnIndex(const TableDef& table, const std::string& column) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (column == table.columns[i].name) return static_cast<int>(i);
    return -1;
}

std::string cutNote(long long characters) {
    std::string digits = std::to_string(characters), grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return "\xE2\x80\xA6 (" + grouped + " characters)";
}

bool InventorySource::rowsApart(const TableDef& table, const InventoryKey& key, std::size_t, std::vector<Row>& out,
                                std::vector<LongValue>& longValues, std::string& error) {
    longValues.clear();
    return rowsOf(table, key, out, error);
}

bool InventorySource::readLong(const TableDef&, const InventoryKey&, const LongValue&,
                               const std::function<void(std::string_view)>&, std::string& error) {
    error = where() + ": no value was left out of the rows read";
    return false;
}

bool InventorySource::scanShort(const TableDef& table, const std::vector<std::string>& columns, std::size_t longer,
                                const std::function<bool(const FieldViews&)>& each, std::string& error) {
    const std::size_t keys = database::inventoryKeyColumns().size();
    std::vector<std::size_t> picked;
    for (const auto& c : columns) {
        const int i = columnIndex(table, c);
        picked.push_back(i < 0 ? SIZE_MAX : keys + static_cast<std::size_t>(i));
    }
    FieldViews row(keys + columns.size());
    return scanTable(
        table,
        [&](const FieldViews& all) {
            for (std::size_t k = 0; k < keys; ++k) row[k] = all[k];
            for (std::size_t k = 0; k < picked.size(); ++k) {
                row[keys + k] = picked[k] < all.size() ? all[picked[k]] : std::nullopt;
                if (row[keys + k] && row[keys + k]->size() > longer) row[keys + k].reset();
            }
            return each(row);
        },
        error);
}

namespace {

// The statement's current row into `row` (one view per column): texts as views of SQLite's own
// buffers, valid until the next step; Null, and a blob where `blobsAsNull`, as no value.
void viewRow(sqlite3_stmt* st, FieldViews& row, bool blobsAsNull) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int c = static_cast<int>(i);
        const int type = sqlite3_column_type(st, c);
        if (type == SQLITE_NULL || (blobsAsNull && type == SQLITE_BLOB)) {
            row[i].reset();
            continue;
        }
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        row[i] = std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
    }
}

// qv_part(value): a text or blob longer than the bytes its user data names stands as a blob of
// three numbers, its length and where its text starts and ends once blanks are trimmed; any
// other value as it is (a short blob as text, so that a blob always means a value left out).
void partValue(sqlite3_context* context, int, sqlite3_value** args) {
    const std::size_t limit = *static_cast<const std::size_t*>(sqlite3_user_data(context));
    sqlite3_value* v = args[0];
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB) return sqlite3_result_value(context, v);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const auto bytes = static_cast<std::size_t>(sqlite3_value_bytes(v));
    if (bytes <= limit) {
        if (type == SQLITE_TEXT) return sqlite3_result_value(context, v);
        return sqlite3_result_text(context, text ? text : "", static_cast<int>(bytes), SQLITE_TRANSIENT);
    }
    const std::string_view whole(text, bytes);
    const auto from = whole.find_first_not_of(" \t\r\n");
    std::uint64_t mark[3] = {bytes, from == std::string_view::npos ? bytes : from,
                             from == std::string_view::npos ? bytes : whole.find_last_not_of(" \t\r\n") + 1};
    sqlite3_result_blob(context, mark, sizeof mark, SQLITE_TRANSIENT);
}

// qv_cut(value): a text longer than the characters its user data names, cut to them with the
// note of its whole length; any other value as it is.
void cutValue(sqlite3_context* context, int, sqlite3_value** args) {
    const std::size_t limit = *static_cast<const std::size_t*>(sqlite3_user_data(context));
    sqlite3_value* v = args[0];
    if (sqlite3_value_type(v) != SQLITE_TEXT && sqlite3_value_type(v) != SQLITE_BLOB) return sqlite3_result_value(context, v);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const std::size_t bytes = static_cast<std::size_t>(sqlite3_value_bytes(v));
    long long characters = 0;
    std::size_t end = bytes;  // where the first `limit` characters end
    for (std::size_t i = 0; i < bytes; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (static_cast<std::size_t>(characters) == limit) end = i;
        ++characters;
    }
    if (static_cast<std::size_t>(characters) <= limit) return sqlite3_result_value(context, v);
    const std::string cut = std::string(text, end) + cutNote(characters);
    sqlite3_result_text(context, cut.data(), static_cast<int>(cut.size()), SQLITE_TRANSIENT);
}

Value valueAt(sqlite3_stmt* st, int i) {
    if (sqlite3_column_type(st, i) == SQLITE_NULL) return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
}

// The order rows were written in: tables with their own primary key are kept in key order (they
// have no row numbers), the others in the order of their row numbers.
std::string writtenOrder(const TableDef& t) {
    return t.primaryKey ? " ORDER BY InvDateTime, DomainWorkGrp, DeviceName" : " ORDER BY rowid";
}

std::string selectList(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ", ") + database::quoted(n);
    return s;
}

class SqliteSource : public InventorySource {
public:
    SqliteSource(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    ~SqliteSource() override {
        for (auto* statements : {&byKey_, &apart_})
            for (auto& [name, st] : *statements) sqlite3_finalize(st);
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }

    std::string where() const override { return path_; }

    // The reason of the last failure, worded for the user.
    std::string failure(int rc) const {
        const int primary = rc & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            return path_ + " is locked by another program writing to it; try again once it has finished";
        if (primary == SQLITE_NOTADB) return path_ + " is not an inventory database (not an SQLite file)";
        if (primary == SQLITE_CORRUPT) return path_ + " is damaged: " + sqlite3_errmsg(db_);
        return path_ + ": " + sqlite3_errmsg(db_);
    }

    bool check(std::string& error) {
        // The tables and their columns, as the file holds them.
        std::map<std::string, std::set<std::string>> found;
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db_,
                                    "SELECT m.name, p.name FROM sqlite_master AS m, pragma_table_info(m.name) AS p "
                                    "WHERE m.type = 'table'",
                                    -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                found[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))].insert(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) {
            error = failure(rc);
            return false;
        }
        if (found.empty()) {
            error = path_ + " is empty: it holds no tables (not an inventory database)";
            return false;
        }
        for (const TableDef& t : database::tableList()) {
            auto it = found.find(t.name);
            if (it == found.end()) {
                error = path_ + " is not an inventory database (it has no table " + t.name + ")";
                return false;
            }
            for (const auto& c : allColumnNames(t))
                if (!it->second.count(c)) {
                    error = path_ + " is not an inventory database (table " + t.name + " has no column " + c + ")";
                    return false;
                }
        }
        std::vector<InventoryKey> keys;
        if (!inventoriesLimited(keys, " LIMIT 1", error)) return false;
        if (keys.empty()) {
            error = path_ + " holds no inventory yet (run qv first)";
            return false;
        }
        return true;
    }

    bool inventories(std::vector<InventoryKey>& out, std::string& error) override {
        return inventoriesLimited(out, "", error);
    }

    bool inventoriesLimited(std::vector<InventoryKey>& out, const char* limit, std::string& error) {
        out.clear();
        sqlite3_stmt* st = nullptr;
        std::string sql = "SELECT InvDateTime, DomainWorkGrp, DeviceName FROM DeviceID "
                          "ORDER BY DeviceName, DomainWorkGrp, InvDateTime";
        sql += limit;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                out.push_back({valueAt(st, 0).value_or(""), valueAt(st, 1), valueAt(st, 2).value_or("")});
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) error = failure(rc);
        return rc == SQLITE_OK;
    }

    bool rowsOf(const TableDef& table, const InventoryKey& key, std::vector<Row>& out, std::string& error) override {
        out.clear();
        sqlite3_stmt*& st = byKey_[table.name];
        if (!st) {
            std::vector<std::string> names;
            for (const auto& c : table.columns) names.push_back(c.name);
            std::string list = names.empty() ? std::string("1") : selectList(names);
            if (cutAt_ > 0 && !names.empty()) {
                // Each value through qv_cut, a function of one argument: SQLite then reads the
                // values of a row into one register in turn, so that one huge value at a time is
                // held, and hands on only the start of each.
                list.clear();
                for (const auto& n : names) list += (list.empty() ? "qv_cut(" : ", qv_cut(") + database::quoted(n) + ")";
            }
            const std::string sql = "SELECT " + list + " FROM " +
                                    database::quoted(table.name) +
                                    " WHERE InvDateTime = ?1 AND DomainWorkGrp IS ?2 AND DeviceName = ?3" + writtenOrder(table);
            int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
            if (rc != SQLITE_OK) {
                error = failure(rc);
                return false;
            }
        }
        bindKey(st, key);
        const int n = static_cast<int>(table.columns.size());
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            Row row;
            row.reserve(n);
            for (int i = 0; i < n; ++i) row.push_back(valueAt(st, i));
            out.push_back(std::move(row));
        }
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) {
            error = failure(rc);
            return false;
        }
        return true;
    }

    bool rowsApart(const TableDef& table, const InventoryKey& key, std::size_t longer, std::vector<Row>& out,
                   std::vector<LongValue>& longValues, std::string& error) override {
        longValues.clear();
        if (table.columns.empty()) return rowsOf(table, key, out, error);
        out.clear();
        makePart();
        partAt_ = longer;
        sqlite3_stmt*& st = apart_[table.name];
        if (!st) {
            // Each value through qv_part, a function of one argument: SQLite reads the values of a
            // row into one register in turn, and hands on only the short ones.
            std::string list;
            for (const auto& c : table.columns) list += (list.empty() ? "qv_part(" : ", qv_part(") + database::quoted(c.name) + ")";
            if (!prepare("SELECT " + list + " FROM " + database::quoted(table.name) + kOfOneInventory + writtenOrder(table),
                         st, error))
                return false;
        }
        bindKey(st, key);
        const int n = static_cast<int>(table.columns.size());
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            Row row;
            row.reserve(n);
            for (int i = 0; i < n; ++i) {
                std::uint64_t mark[3];
                if (sqlite3_column_type(st, i) == SQLITE_BLOB && sqlite3_column_bytes(st, i) == sizeof mark) {
                    std::memcpy(mark, sqlite3_column_blob(st, i), sizeof mark);
                    longValues.push_back({out.size(), static_cast<std::size_t>(i), static_cast<std::size_t>(mark[0]),
                                          static_cast<std::size_t>(mark[1]), static_cast<std::size_t>(mark[2])});
                    row.push_back(std::nullopt);
                } else {
                    row.push_back(valueAt(st, i));
                }
            }
            out.push_back(std::move(row));
        }
        // A statement keeps the room of the values it read until it is finalized: one that met a
        // long value is made again next time rather than hold it.
        if (!longValues.empty()) {
            sqlite3_finalize(st);
            st = nullptr;
        } else {
            sqlite3_reset(st);
        }
        if (rc != SQLITE_DONE) {
            error = failure(rc);
            return false;
        }
        return true;
    }

    bool readLong(const TableDef& table, const InventoryKey& key, const LongValue& value,
                  const std::function<void(std::string_view)>& each, std::string& error) override {
        if (value.column >= table.columns.size()) {
            error = path_ + ": no such column in " + table.name;
            return false;
        }
        // The row by its place in the written order: the rows before it are passed over without
        // their values being read. The statement is made for this one value: finalized, it gives
        // up the room the value took.
        sqlite3_stmt* st = nullptr;
        if (!prepare("SELECT " + database::quoted(table.columns[value.column].name) + " FROM " +
                                database::quoted(table.name) + kOfOneInventory + writtenOrder(table) + " LIMIT 1 OFFSET ?4",
                            st, error))
            return false;
        bindKey(st, key);
        sqlite3_bind_int64(st, 4, static_cast<sqlite3_int64>(value.row));
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            each(std::string_view(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(st, 0))));
        }
        sqlite3_finalize(st);
        if (rc == SQLITE_ROW) return true;
        error = rc == SQLITE_DONE ? path_ + ": a row of " + table.name + " went missing while it was read" : failure(rc);
        return false;
    }

    bool scanTable(const TableDef& table, const std::function<bool(const FieldViews&)>& each, std::string& error) override {
        const auto names = allColumnNames(table);
        const std::string sql = "SELECT " + selectList(names) + " FROM " + database::quoted(table.name) + writtenOrder(table);
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            FieldViews row(names.size());
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
                viewRow(st, row, false);
                if (!each(row)) {
                    rc = SQLITE_DONE;
                    break;
                }
            }
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) error = failure(rc);
        return rc == SQLITE_OK;
    }

    bool scanShort(const TableDef& table, const std::vector<std::string>& columns, std::size_t longer,
                   const std::function<bool(const FieldViews&)>& each, std::string& error) override {
        makePart();
        partAt_ = longer;
        std::string list;
        for (const auto& c : database::inventoryKeyColumns()) list += (list.empty() ? "" : ", ") + database::quoted(c.name);
        for (const auto& c : columns) list += ", qv_part(" + database::quoted(c) + ")";
        sqlite3_stmt* st = nullptr;
        if (!prepare("SELECT " + list + " FROM " + database::quoted(table.name) + writtenOrder(table), st, error))
            return false;
        FieldViews row(database::inventoryKeyColumns().size() + columns.size());
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            // A long value's mark (a blob) is handed on as Null, as is Null itself.
            viewRow(st, row, true);
            if (!each(row)) {
                rc = SQLITE_DONE;
                break;
            }
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) {
            error = failure(rc);
            return false;
        }
        return true;
    }

    bool beginView(std::string& error) override {
        if (!sqlite3_get_autocommit(db_)) return true;
        // A read transaction takes its lock at the first read: read once so that a lock held by
        // another program shows here.
        int rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            error = failure(rc);
            endView();
            return false;
        }
        return true;
    }

    void endView() override {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    }

    void cutLongTexts(std::size_t characters) override {
        if (characters == cutAt_) return;
        if (cutAt_ == 0)
            sqlite3_create_function_v2(db_, "qv_cut", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &cutAt_, &cutValue, nullptr,
                                       nullptr, nullptr);
        cutAt_ = characters;
        // The statements made so far read values whole.
        for (auto& [name, st] : byKey_) sqlite3_finalize(st);
        byKey_.clear();
    }

private:
    static constexpr const char* kOfOneInventory = " WHERE InvDateTime = ?1 AND DomainWorkGrp IS ?2 AND DeviceName = ?3";

    bool prepare(const std::string& sql, sqlite3_stmt*& st, std::string& error) {
        const int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        if (rc == SQLITE_OK) return true;
        error = failure(rc);
        return false;
    }

    void makePart() {
        if (partMade_) return;
        sqlite3_create_function_v2(db_, "qv_part", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &partAt_, &partValue, nullptr,
                                   nullptr, nullptr);
        partMade_ = true;
    }

    static void bindKey(sqlite3_stmt* st, const InventoryKey& key) {
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, key.when.data(), static_cast<int>(key.when.size()), SQLITE_STATIC);
        if (key.domain)
            sqlite3_bind_text(st, 2, key.domain->data(), static_cast<int>(key.domain->size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, 2);
        sqlite3_bind_text(st, 3, key.name.data(), static_cast<int>(key.name.size()), SQLITE_STATIC);
    }

    sqlite3* db_;
    std::string path_;
    std::map<std::string, sqlite3_stmt*> byKey_;
    std::map<std::string, sqlite3_stmt*> apart_;  // rowsApart's, by table
    std::size_t cutAt_ = 0;  // 0: values whole
    std::size_t partAt_ = 0;
    bool partMade_ = false;
};

}  // namespace

std::unique_ptr<InventorySource> openSqliteInventory(const std::string& path, int busyMs, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = path + " does not exist (no inventory database there; --database names another file)";
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is not a file";
        return nullptr;
    }
    if (info.st_size == 0) {
        error = path + " is empty (0 bytes): not an inventory database";
        return nullptr;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        error = path + " cannot be opened: " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyMs);
    auto source = std::make_unique<SqliteSource>(db, path);
    if (!source->check(error)) return nullptr;
    return source;
}

std::unique_ptr<InventorySource> openInventory(const SourceChoice& choice, std::string& error) {
    std::string path = choice.databaseFile;
    if (const char* server = std::getenv("QV_DATABASE"); path.empty() && server && *server)
        return openPostgresqlInventory(server, error);
    if (path.empty()) {
        if (choice.documentsFolder.empty()) {
            error = "the documents folder is not known; name the database with --database FILE";
            return nullptr;
        }
        path = choice.documentsFolder + "/" + database::dataSourceOf(database::kConnectionString);
    }
    // Another program may be appending an inventory; its commit takes well under a second.
    return openSqliteInventory(path, 1500, error);
}

}  // namespace qv::qvdb

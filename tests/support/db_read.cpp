// Test support: reading an inventory database back with SQL.
#include "tests/support/db_read.h"

#include <sqlite3.h>

#include <stdexcept>

namespace qvtest {

Rows queryDb(const std::string& path, const std::string& sql, const std::string& nullText) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path);
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::string why = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error(sql + ": " + why);
    }
    Rows rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_NULL) {
                row.push_back(nullText);
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            row.emplace_back(text, static_cast<std::size_t>(sqlite3_column_bytes(st, i)));
        }
        rows.push_back(row);
    }
    std::string why = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rc != SQLITE_DONE) throw std::runtime_error(sql + ": " + why);
    return rows;
}

std::vector<std::string> queryJoined(const std::string& path, const std::string& sql, const std::string& nullText) {
    std::vector<std::string> joined;
    for (const auto& row : queryDb(path, sql, nullText)) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + row[i];
        joined.push_back(line);
    }
    return joined;
}

std::string queryValue(const std::string& path, const std::string& sql) {
    Rows rows = queryDb(path, sql);
    if (rows.size() != 1 || rows[0].size() != 1) throw std::runtime_error(sql + ": not one value");
    return rows[0][0];
}

bool execDb(const std::string& path, const std::string& sql, std::string* error, bool foreignKeys) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok && foreignKeys) ok = sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok && error) *error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return ok;
}

}  // namespace qvtest

// Test support: reads an inventory database back with SQL, each value in a plain text form.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

using Rows = std::vector<std::vector<std::string>>;

// Every row of `sql` on the database file at `path` (opened read-only, foreign keys off); each value
// as text: NULL as `nullText`, numbers and texts as SQLite writes them (NUL characters kept).
// Throws when the query fails.
Rows queryDb(const std::string& path, const std::string& sql, const std::string& nullText = "NULL");
// The same rows, each as its values joined by "|".
std::vector<std::string> queryJoined(const std::string& path, const std::string& sql, const std::string& nullText = "NULL");
// The single value of a one-row, one-column query.
std::string queryValue(const std::string& path, const std::string& sql);
// Runs statements on the database (read-write); false with `error` set when one fails.
bool execDb(const std::string& path, const std::string& sql, std::string* error = nullptr, bool foreignKeys = true);

}  // namespace qvtest

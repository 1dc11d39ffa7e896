// A computer's page: its latest inventory section by section, and its history with what changed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "qvdb/inventory_data.h"

namespace qv::qvdb::report {

// A difference between two consecutive inventories of one computer.
struct Change {
    enum Kind { Added, Removed, Changed };
    std::string topic;  // "Software", "Memory", ...
    Kind kind;
    std::string what;    // "7-Zip 9.20"; for Changed the item, with before and after
    std::string before, after;
};

// The tables whose rows the history compares (read for every inventory, not only the latest).
const std::vector<const char*>& historyTables();

// What changed from `before` to `after` (both read with at least historyTables()).
std::vector<Change> changesBetween(const Inventory& before, const Inventory& after);

// One change as a sentence: "Software added: 7-Zip 9.20".
std::string changeText(const Change& c);

// One inventory of the history: when, and what changed since the one before (none for the first).
struct HistoryEntry {
    std::string when;
    bool first = false;
    std::vector<Change> changes;
};

// The whole page; `root` leads back to the site's top folder ("../"), `softwareLink` names the
// page of a package by its name ("" for none); `names` are those the machine was inventoried
// under, the latest first (listed when more than one).
std::string computerPage(const Inventory& latest, const std::vector<HistoryEntry>& history, const std::string& root,
                         const std::function<std::string(const std::string&)>& softwareLink,
                         const std::vector<std::string>& names = {});

// A value as the report shows it: numbers grouped, sizes with their unit, flags as True/False.
std::string displayValue(const database::Column& column, const Value& v);

// Whether a row holds nothing (the row a category writes when it finds nothing).
bool emptyRow(const Row& row);

}  // namespace qv::qvdb::report

// Test support for the network collectors: a WS01 inventory with given classes, and the pieces
// of its report and run log that the network collectors write.
#pragma once

#include <string>
#include <vector>

#include "tests/support/sim_run.h"

namespace qvtest::net {

// Runs the standard workstation with these WS01 members ("classes", "failingClasses", ...).
inline SimResult runWs01(const std::string& ws01Members) {
    return runSim(standardFixture("\"wmi\": {\"WS01\": {" + ws01Members + "}}"), {});
}

// The report text from `from` (included) up to the first of `to` that follows it (excluded), or
// to the end of the report. Empty when `from` is not in the report.
inline std::string section(const SimResult& r, const std::string& from, const std::vector<std::string>& to) {
    const std::string report = r.file("docs/QVWS01.txt");
    std::size_t begin = report.find(from);
    if (begin == std::string::npos) return {};
    std::size_t end = report.size();
    for (const std::string& marker : to) {
        std::size_t at = report.find(marker, begin + from.size());
        if (at != std::string::npos && at < end) end = at;
    }
    return report.substr(begin, end - begin);
}

// The run-log lines written while WS01 was inventoried (between its connection and completion lines).
inline std::vector<std::string> inventoryLogLines(const SimResult& r) {
    std::vector<std::string> lines = crlfLines(r.file("docs/QV.log")), out;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line == " WS01 Inventory Completed") break;
        if (inside) out.push_back(line);
        if (line == "Connected to WS01") inside = true;
    }
    return out;
}

}  // namespace qvtest::net

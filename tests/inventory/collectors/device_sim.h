// Test support for the device collectors: a fixture computer WS01 and the report text between two headings.
#pragma once

#include <string>

#include "tests/support/sim_run.h"

namespace qvtest {

// The standard fixture whose management service answers for the computers given, e.g.
// "\"WS01\": {\"classes\": {...}}".
inline std::string deviceFixture(const std::string& computers) { return standardFixture("\"wmi\": {" + computers + "}"); }

// The report text from a heading line up to (not including) a later heading line.
inline std::string reportSection(const std::string& report, const std::string& from, const std::string& to) {
    std::size_t b = report.find(from + "\r\n");
    if (b == std::string::npos) return "<no " + from + ">";
    std::size_t e = report.find(to + "\r\n", b);
    if (e == std::string::npos) return "<no " + to + ">";
    return report.substr(b, e - b);
}

}  // namespace qvtest

// Test support for qvdb: running its subcommands in the test's process, and the fleet database
// the tests share.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct Result {
    int status = -1;
    std::string out, err;
};

// qvdb with these arguments (documents folder: none, so every test names its files).
Result qvdb(const std::vector<std::string>& args);

// The database of 200 fleet computers with two inventories each (tests/support/fleet_fixture.h),
// made once per test program; tests copy it before changing it.
const std::string& fleetDatabase();

}  // namespace qvtest

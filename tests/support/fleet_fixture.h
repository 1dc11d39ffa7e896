// Test support: a fleet of simulated computers in two rounds of inventories, and the database
// qv-sim makes of it.
#pragma once

#include <string>

namespace qvtest {

// The fixture of one round (1 or 2) over computers PC0001 to PCnnnn: machines of four makers,
// three systems, memory from 256 MB to 4 GB, disks from nearly full to nearly empty, software.
// Round 2 adds the package "Fleet Monitor" 2.1 everywhere, upgrades "Office Suite" on odd
// computers, removes "Legacy Tool" from every fourth and doubles the memory of every tenth.
// `now` is the run's start ("2026-12-08T09:30:05").
std::string fleetFixture(int computers, int round, const std::string& now, int firstComputer = 1,
                         int lastComputer = 0);

// Builds dir/docs/QV.mdb: round 1 of every computer on 2026-10-01, round 2 of the first three
// quarters on 2026-12-08 and of the rest on 2026-11-02. Returns the database's path; throws
// when a run fails.
std::string buildFleetDatabase(const std::string& dir, int computers);

}  // namespace qvtest

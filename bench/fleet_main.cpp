// Makes the inventory database of a fleet of simulated computers (two rounds each) for the qvdb
// benchmark:  qvdb-fleet DIR COMPUTERS  (writes DIR/docs/QV.mdb through qv-sim).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/support/fleet_fixture.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qvdb-fleet DIR COMPUTERS\n");
        return 2;
    }
    try {
        std::printf("%s\n", qvtest::buildFleetDatabase(argv[1], std::atoi(argv[2])).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

// Test support for qvdb: subcommands run in process, the shared fleet database.
#include "tests/qvdb/qvdb_support.h"

#include <sstream>

#include "qvdb/commands.h"
#include "tests/support/fleet_fixture.h"
#include "tests/support/sim_run.h"

namespace qvtest {

Result qvdb(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Result r;
    r.status = qv::qvdb::runQvdb(args, out, err, "");
    r.out = out.str();
    r.err = err.str();
    return r;
}

const std::string& fleetDatabase() {
    static const std::string path = buildFleetDatabase(makeTempDir(), 200);
    return path;
}

}  // namespace qvtest

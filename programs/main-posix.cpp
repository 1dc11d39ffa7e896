// qv: the inventory program on the real Linux platform.
#include <sys/resource.h>

#include <cstdlib>

#include "database/postgresql/postgresql_engine.h"
#include "programs/posix.h"
#include "run/driver.h"

namespace {

// Every computer in flight holds a socket per connection (up to 32 each over WS-Management), so a
// wide run would run out of descriptors under the usual soft limit of 1024: it is raised to the
// hard limit. Nothing in the program waits with select(), so descriptors above 1024 are safe.
void raiseOpenFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) return;
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace

int main(int argc, char** argv) {
    raiseOpenFileLimit();
    qv::programs::PosixProgram posix;
    int status = 0;
    qv::Platform platform = posix.platform();
    {
        qv::RunContext ctx(platform, posix.connector, posix.limits);
        ctx.conventions = qv::Conventions::Linux;
        if (const char* parallel = std::getenv("QV_PARALLEL")) ctx.parallelSetting = parallel;
        if (const char* database = std::getenv("QV_DATABASE")) ctx.databaseSetting = database;
        ctx.serverEngine = &qv::database::postgresql::makeEngine;
        status = qv::run::runProgram(ctx, qv::run::joinArguments(argc, argv, 1));
        // Ended while the run context, which holds the control-event words the handler writes,
        // still exists: a late control event then has nowhere to write.
        posix.console.end();
    }
    return status;
}

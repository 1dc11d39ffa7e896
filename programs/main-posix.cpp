// qv: the inventory program on the real Linux platform.
#include <cstdlib>

#include "database/postgresql/postgresql_engine.h"
#include "programs/posix.h"
#include "run/driver.h"

int main(int argc, char** argv) {
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

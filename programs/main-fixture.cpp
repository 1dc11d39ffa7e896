// qv-sim: the inventory program on the simulated platform of a JSON fixture.
#include <cstdlib>
#include <iostream>

#include "database/postgresql/postgresql_engine.h"
#include "fixture/platform.h"
#include "run/driver.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: qv-sim FIXTURE.json [ARG ...]\n";
        return 2;
    }
    std::string error;
    auto fixture = qv::fixture::FixturePlatform::load(argv[1], error);
    if (!fixture) {
        std::cerr << "qv-sim: " << error << "\n";
        return 2;
    }
    int status = 0;
    qv::Platform platform = fixture->platform();
    {
        qv::RunContext ctx(platform, fixture->connector(), fixture->limits());
        if (const char* parallel = std::getenv("QV_PARALLEL")) ctx.parallelSetting = parallel;
        if (const char* database = std::getenv("QV_DATABASE")) ctx.databaseSetting = database;
        ctx.serverEngine = &qv::database::postgresql::makeEngine;
        status = qv::run::runProgram(ctx, qv::run::joinArguments(argc, argv, 2));
        // Ended while the run context, which holds the control-event words the handler writes,
        // still exists: a late control event then has nowhere to write.
        platform.console.end();
    }
    return status;
}

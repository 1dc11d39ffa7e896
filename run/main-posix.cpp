// qv: the inventory program on the real Linux platform.
#include "platform/posix/posix-platform.h"
#include "run/driver.h"

int main(int argc, char** argv) {
    qv::posix::PosixPlatform posix;
    qv::Platform platform = posix.platform();
    {
        qv::RunContext ctx(platform);
        qv::run::runProgram(ctx, qv::run::joinArguments(argc, argv, 1));
    }
    posix.console.end();
    return 0;
}

// The WINS source: preconditions (the network shell program and the WINS service).
#include "targets/wins_source.h"

#include "console/console.h"

namespace qv::targets {

void addWinsTargets(RunContext& ctx) {
    if (!ctx.env.bFlagNetsh) {
        console::writeConsoleLine(ctx, "Netsh.exe missing; WINS Names not available", true);
        if (!ctx.env.bFlagWINS) console::writeConsoleLine(ctx, "No WINS service; WINS Names not available", true);
        return;
    }
    if (!ctx.env.bFlagWINS) {
        console::writeConsoleLine(ctx, "No WINS service; WINS Names not available", true);
        return;
    }
}

}  // namespace qv::targets

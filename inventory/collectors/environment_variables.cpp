// The environment-variable collector: one report line and one EnvStrings row per variable.
#include "classes/declarations.h"
#include "database/records.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/collectors/hardware_tables.h"
#include "inventory/report.h"

namespace qv::inventory {

// The listing has no continue-on-error mode: the first variable whose owner, name or value cannot
// be taken as text ends it, and what was listed before stays. A refused row loses that row only,
// so the report stays complete whatever the database does.
void collectEnvironmentVariables(TargetContext& ctx) {
    bool stopped = false;
    runCollector(
        ctx, {"**OS Environment Settings**", true, classes::Win32_Environment.name},
        [&](const Instance& inst) {
            if (stopped) return;
            std::string owner, name, value;
            if (!valueAsText(inst.get("UserName"), owner) || !valueAsText(inst.get("Name"), name) ||
                !valueAsText(inst.get("VariableValue"), value)) {
                stopped = true;
                return;
            }
            report::writeLine(ctx, "     " + name + "=" + value);
            appendRecord(ctx, "EnvStrings",
                         {{"Owner", markedTo255(owner)}, {"VarName", markedTo255(name)}, {"VarValue", markedTo255(value)}});
        },
        [&] { appendEmptyRecord(ctx, "EnvStrings"); });
}

}  // namespace qv::inventory

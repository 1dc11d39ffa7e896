// The inventory driver. A computer that cannot be connected is reported and skipped; otherwise its
// report section is appended and the collectors run phase by phase.
#include "inventory/inventory.h"

#include "console/console.h"
#include "database/records.h"
#include "files/run_log.h"
#include "files/run_reporter.h"
#include "files/text_files.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/report.h"
#include "inventory/rows.h"
#include "management/bounded.h"
#include "management/connector.h"
#include "platform/text.h"

namespace qv::inventory {

namespace {

struct PhaseInfo {
    Phase phase;
    const char* consoleLabel;
    const char* headingAfter;  // report heading written after the phase completes, or null
};
const PhaseInfo kPhases[] = {
    {Phase::OperatingSystem, "     OS part ", "\r\n**Hardware Inventory**"},
    {Phase::Hardware, "     Hardware part ", "**Network Information**"},
    {Phase::Network, "     Network part ", nullptr},
    {Phase::Software, "     Software part ", nullptr},
};

void runPhase(TargetContext& ctx, const PhaseInfo& info) {
    console::writeConsoleLine(ctx, info.consoleLabel, false);
    // The phase's class enumerations go out together where the connection can overlap them; the
    // collectors then read the answers in their own order.
    if (ctx.targetServices && ctx.targetServices->sendsAhead()) {
        std::vector<management::Ask> asks;
        for (const char* className : phaseClasses(info.phase))
            asks.push_back(management::Ask::query(std::string("Select * from ") + className));
        ctx.targetServices->prefetch(asks);
    }
    for (const CollectorEntry& entry : collectorTable()) {
        if (entry.phase != info.phase) continue;
        bool traceFirst = info.phase == Phase::Software;
        if (traceFirst) debugTrace(ctx, entry.trace);
        guarded(ctx, [&] { entry.run(ctx); });
        if (!traceFirst) debugTrace(ctx, entry.trace);
    }
    if (info.phase != Phase::Software) ctx.platform.system.yieldEvents();
    console::writeConsoleLine(ctx, "complete", true);
    if (info.headingAfter) report::writeLine(ctx, info.headingAfter);
}

}  // namespace

void inventoryTarget(TargetContext& ctx) {
    ctx.targetDomain.clear();
    const std::string& target = ctx.currentTarget;
    auto services = ctx.run.connector.connect(target);
    debugTrace(ctx, "InvTarget connecting to " + ctx.shownTarget);
    if (!services) {
        const PlatformError& err = services.error().error;
        // The description may carry the other computer's own text (a fault's reason): shown safely.
        const std::string detail = " Err#" + std::to_string(err.number) + " " + text::shownSafely(err.description);
        console::writeConsoleLine(ctx, "Failed to connect to " + ctx.shownTarget + detail, true);
        files::logLine(ctx, ctx.shownTarget + " Failed WMI Connection" + detail);
        if (!services.error().logNote.empty()) files::logLine(ctx, ctx.shownTarget + " " + services.error().logNote);
        debugTrace(ctx, "  Failed:" + detail);
        return;
    }
    console::writeConsoleLine(ctx, "Connected to " + ctx.shownTarget, true);
    files::logLine(ctx, "Connected to " + ctx.shownTarget);

    // The writer opens the report; when it cannot, it says so and writes nothing more of this
    // computer.
    ctx.output.put({OutputItem::Kind::OpenReport, "QV" + target + ".txt", {}, {}});
    files::TargetReporter reporter(ctx);
    management::BoundedConnection bounded(reporter, ctx.shownTarget, ctx.run.limits.queryMs, **services);
    ctx.targetServices = &bounded;

    const std::string start = formatGeneralDate(ctx.platform.system.locale(), ctx.run.runStartTime);
    report::writeLine(ctx, files::kProductLine);
    report::writeLine(ctx, "Computer Details                              " + start + "\r\n");
    report::writeLine(ctx, "    Target Computer: " + target);

    for (const PhaseInfo& info : kPhases) runPhase(ctx, info);

    // The computer's rows become permanent before its completion is logged.
    endInventory(ctx);
    // Written as the completion only when every line of the report reached the file.
    ctx.output.put({OutputItem::Kind::Completed, " " + ctx.shownTarget + " Inventory Completed", {}, {}});
    ctx.targetServices = nullptr;
    ctx.output.put({OutputItem::Kind::CloseReport, {}, {}, {}});
}

}  // namespace qv::inventory

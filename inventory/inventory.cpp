// The inventory driver. A computer that cannot be connected is reported and skipped; otherwise its
// report section is appended and the collectors run phase by phase.
#include "inventory/inventory.h"

#include "console/console.h"
#include "database/records.h"
#include "files/run_log.h"
#include "files/text_files.h"
#include "inventory/collector.h"
#include "inventory/collectors/collectors.h"
#include "inventory/report.h"

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

// Opens the report for appending, creating it first when it does not exist.
std::unique_ptr<TextWriter> openReport(RunContext& ctx, const std::string& path) {
    std::unique_ptr<TextWriter> stream;
    if (!files::fileExists(ctx, path)) {
        auto created = ctx.platform.files.openForWriting(path, false);
        if (!created) return nullptr;
        created->close();
    }
    return ctx.platform.files.openForWriting(path, true);
}

void runPhase(RunContext& ctx, const PhaseInfo& info) {
    console::writeConsoleLine(ctx, info.consoleLabel, false);
    for (const CollectorEntry& entry : collectorTable()) {
        if (entry.phase != info.phase) continue;
        bool traceFirst = info.phase == Phase::Software;
        if (traceFirst) ctx.platform.system.debugTrace(entry.trace);
        guarded([&] { entry.run(ctx); });
        if (!traceFirst) ctx.platform.system.debugTrace(entry.trace);
    }
    if (info.phase != Phase::Software) ctx.platform.system.yieldEvents();
    console::writeConsoleLine(ctx, "complete", true);
    if (info.headingAfter) report::writeLine(ctx, info.headingAfter);
}

}  // namespace

void inventoryTarget(RunContext& ctx) {
    ctx.targetOrdinal += 1;
    ctx.platform.console.beginTarget(ctx.targetOrdinal);
    ctx.targetDomain.clear();
    const std::string& target = ctx.currentTarget;
    PlatformError err;
    std::unique_ptr<TargetService> services = ctx.platform.management.connect(target, "root\\cimv2", err);
    ctx.platform.system.debugTrace("InvTarget connecting to " + target);
    if (!services) {
        const std::string detail = " Err#" + std::to_string(err.number) + " " + err.description;
        console::writeConsoleLine(ctx, "Failed to connect to " + target + detail, true);
        files::logLine(ctx, target + " Failed WMI Connection" + detail);
        ctx.platform.system.debugTrace("  Failed:" + detail);
        return;
    }
    console::writeConsoleLine(ctx, "Connected to " + target, true);
    files::logLine(ctx, "Connected to " + target);

    const std::string reportName = "QV" + target + ".txt";
    std::unique_ptr<TextWriter> reportStream = openReport(ctx, ctx.platform.files.join(ctx.env.sPath, reportName));
    if (!reportStream) {
        // The report cannot be written (name or folder refused): say so and go on with the next computer.
        console::writeConsoleLine(ctx, "*** File: " + reportName + " cannot be opened for Appending! ***", true);
        files::logLine(ctx, target + " Report file " + reportName + " cannot be opened; computer skipped");
        return;
    }
    ctx.targetServices = services.get();
    ctx.computerReport = reportStream.get();

    const std::string start = formatGeneralDate(ctx.platform.system.locale(), ctx.runStartTime);
    report::writeLine(ctx, files::kProductLine);
    report::writeLine(ctx, "Computer Details                              " + start + "\r\n");
    report::writeLine(ctx, "    Target Computer: " + target);

    for (const PhaseInfo& info : kPhases) runPhase(ctx, info);

    // The computer's rows become permanent before its completion is logged.
    database::endInventory(ctx);
    files::logLine(ctx, " " + target + " Inventory Completed");
    ctx.targetServices = nullptr;
    ctx.computerReport = nullptr;
    reportStream->close();
}

}  // namespace qv::inventory

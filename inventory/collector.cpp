// The shared collector pattern.
#include "inventory/collector.h"

#include <exception>

#include "inventory/report.h"

namespace qv::inventory {

void guarded(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
    } catch (...) {
    }
}

bool runQuery(RunContext& ctx, const std::string& queryText, Instances& out) {
    out.clear();
    if (!ctx.targetServices) return false;
    PlatformError err;
    if (!ctx.targetServices->execQuery(queryText, out, err)) {
        out.clear();
        return false;
    }
    return true;
}

bool countInstances(RunContext& ctx, const std::string& className, std::int64_t& count) {
    count = 0;
    if (!ctx.targetServices) return false;
    PlatformError err;
    return ctx.targetServices->countInstances(className, count, err);
}

void runCollector(RunContext& ctx, const CollectorSpec& spec, const std::function<void(const Instance&)>& eachInstance,
                  const std::function<void()>& writeEmptyRecord) {
    report::writeLine(ctx, spec.emptyLineBefore ? "\r\n" + spec.heading : spec.heading);
    std::int64_t count = 0;
    bool counted = countInstances(ctx, spec.className, count);
    if (counted && count != 0) {
        Instances instances;
        runQuery(ctx, "Select * from " + spec.className, instances);
        for (const Instance& instance : instances) guarded([&] { eachInstance(instance); });
        return;
    }
    guarded(writeEmptyRecord);
    report::writeLine(ctx, spec.notFoundLine + "\r\n");
}

}  // namespace qv::inventory

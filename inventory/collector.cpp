// The shared collector pattern.
#include "inventory/collector.h"

#include <exception>

#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

void guarded(TargetContext& ctx, const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        debugTrace(ctx, kCaughtTracePrefix + std::string(e.what()));
    } catch (...) {
        debugTrace(ctx, kCaughtTracePrefix + std::string("an exception of unknown type"));
    }
}

database::Field fieldOf(const Value& v) {
    switch (v.kind) {
        case Value::Kind::Bool: return v.boolean;
        case Value::Kind::Int: return v.integer;
        case Value::Kind::Double: return v.real;
        case Value::Kind::Text: return v.text;
        case Value::Kind::List: return v.list.empty() ? database::Field() : fieldOf(v.list.front());
        default: return {};
    }
}

bool runQuery(TargetContext& ctx, const std::string& queryText, Instances& out) {
    out.clear();
    if (!ctx.targetServices) return false;
    management::Result<Instances> found = ctx.targetServices->query(queryText);
    if (!found) return false;
    out = std::move(*found);
    return true;
}

bool countInstances(TargetContext& ctx, const std::string& className, std::int64_t& count) {
    count = 0;
    if (!ctx.targetServices) return false;
    management::Result<std::int64_t> counted = ctx.targetServices->count(className);
    if (!counted) return false;
    count = *counted;
    return true;
}

void runCollector(TargetContext& ctx, const CollectorSpec& collector, const std::function<void(const Instance&)>& eachInstance,
                  const std::function<void()>& writeEmptyRecord) {
    report::writeLine(ctx, collector.emptyLineBefore ? "\r\n" + collector.heading : collector.heading);
    std::int64_t count = 0;
    bool counted = countInstances(ctx, collector.className, count);
    if (counted && count != 0) {
        Instances instances;
        runQuery(ctx, "Select * from " + collector.className, instances);
        for (const Instance& instance : instances) guarded(ctx, [&] { eachInstance(instance); });
        return;
    }
    guarded(ctx, writeEmptyRecord);
    report::writeLine(ctx, collector.notFoundLine + "\r\n");
}

}  // namespace qv::inventory

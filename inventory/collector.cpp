// The shared collector pattern.
#include "inventory/collector.h"

#include <cmath>
#include <cstdlib>
#include <exception>

#include "inventory/report.h"
#include "inventory/values.h"

namespace qv::inventory {

void guarded(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
    } catch (...) {
    }
}

bool codeOf(const Value& v, std::int64_t& code) {
    switch (v.kind) {
        case Value::Kind::Int: code = v.integer; return true;
        case Value::Kind::Bool: code = v.boolean ? -1 : 0; return true;
        case Value::Kind::Double:
            if (!std::isfinite(v.real) || v.real != std::floor(v.real) || std::fabs(v.real) > 9e18) return false;
            code = static_cast<std::int64_t>(v.real);
            return true;
        case Value::Kind::Text: {
            std::string t = trimBlanks(v.text);
            if (t.empty()) return false;
            char* end = nullptr;
            long long n = std::strtoll(t.c_str(), &end, 10);
            if (*end != '\0') return false;
            code = n;
            return true;
        }
        case Value::Kind::List: return !v.list.empty() && codeOf(v.list.front(), code);
        default: return false;
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
    PlatformError err;
    if (!ctx.targetServices->execQuery(queryText, out, err)) {
        out.clear();
        return false;
    }
    return true;
}

bool countInstances(TargetContext& ctx, const std::string& className, std::int64_t& count) {
    count = 0;
    if (!ctx.targetServices) return false;
    PlatformError err;
    return ctx.targetServices->countInstances(className, count, err);
}

void runCollector(TargetContext& ctx, const CollectorSpec& collector, const std::function<void(const Instance&)>& eachInstance,
                  const std::function<void()>& writeEmptyRecord) {
    report::writeLine(ctx, collector.emptyLineBefore ? "\r\n" + collector.heading : collector.heading);
    std::int64_t count = 0;
    bool counted = countInstances(ctx, collector.className, count);
    if (counted && count != 0) {
        Instances instances;
        runQuery(ctx, "Select * from " + collector.className, instances);
        for (const Instance& instance : instances) guarded([&] { eachInstance(instance); });
        return;
    }
    guarded(writeEmptyRecord);
    report::writeLine(ctx, collector.notFoundLine + "\r\n");
}

}  // namespace qv::inventory

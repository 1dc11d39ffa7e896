// The collector pattern every category collector follows: heading, count, query, one record per
// instance, or the not-found row and line. Failures inside one instance never stop the collector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/target_context.h"
#include "database/records.h"
#include "management/connection.h"

namespace qv::inventory {

struct CollectorSpec {
    std::string heading;                  // e.g. "**BIOS**"
    bool emptyLineBefore = false;         // heading written as CR LF + heading
    std::string className;                // e.g. "Win32_BIOS"
    std::string notFoundLine = "         Not Reported";  // written with CR LF appended
};

// Heading; InstancesOf count; when non-zero, "Select * from " + class and eachInstance per instance
// in returned order; when zero (or the count cannot be had), writeEmptyRecord then the not-found line.
// An exception escaping eachInstance ends that instance only.
void runCollector(TargetContext& ctx, const CollectorSpec& collector, const std::function<void(const Instance&)>& eachInstance,
                  const std::function<void()>& writeEmptyRecord);

// A query on TargetServices; false (and out empty) when it fails.
bool runQuery(TargetContext& ctx, const std::string& queryText, Instances& out);
// The InstancesOf count; false when it cannot be had.
bool countInstances(TargetContext& ctx, const std::string& className, std::int64_t& count);

// Runs f as one step in continue-on-error mode: an exception it throws ends the step only, and
// what was caught goes to the computer's debug trace.
void guarded(TargetContext& ctx, const std::function<void()>& f);
// The debug trace of an exception caught by guarded.
inline constexpr const char* kCaughtTracePrefix = "Continued after error: ";

// A value as the collector got it, for a column that takes it unchanged: Null and unreadable give
// Null, a list its first element.
database::Field fieldOf(const Value& v);

}  // namespace qv::inventory

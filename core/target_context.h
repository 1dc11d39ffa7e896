// The per-computer context: what one worker needs to inventory one computer, and the output it
// hands to the ordered writer, which writes it in target-list order.
#pragma once

#include <string>

#include "core/fields.h"
#include "platform/text.h"
#include "core/context.h"

namespace qv {

namespace management {
class TargetConnection;
}

// One piece of a computer's output, kept in the order the inventory produced it.
struct OutputItem {
    enum class Kind {
        Console,     // text: bytes for the console
        Log,         // text: one run-log line
        Trace,       // text: one debug trace
        OpenReport,  // text: the report's file name in the working folder
        Report,      // text: one report line
        CloseReport,
        Row,         // text: table; fields: the columns
        EmptyRow,    // text: table
        MasterRows,  // fields: the DeviceID columns
        Commit,      // the computer's rows become permanent
        Completed,   // text: the log line that calls the computer completed
    };
    Kind kind = Kind::Console;
    std::string text;
    Fields fields;
    std::string targetDomain;  // for rows: TargetDomain when the row was made
};

// Where a computer's output goes. The ordered writer's implementation holds it until every
// computer before it in the list is written; a test's may record it.
class TargetOutput {
public:
    virtual ~TargetOutput() = default;
    virtual void put(OutputItem item) = 0;
};

// One computer being inventoried. A worker reads the run-wide values (platform, environment, start
// time) and writes nothing run-wide except through `output`.
struct TargetContext {
    TargetContext(const RunContext& r, std::string target, TargetOutput& out)
        : run(r), platform(r.platform), currentTarget(std::move(target)), shownTarget(text::shownSafely(currentTarget)),
          output(out) {}
    TargetContext(const TargetContext&) = delete;
    TargetContext& operator=(const TargetContext&) = delete;

    const RunContext& run;
    Platform& platform;
    std::string currentTarget;
    std::string shownTarget;  // the name as the console and the log show it
    // The computer's connection (bounded: limits reached are logged once per class) while its
    // inventory runs.
    management::TargetConnection* targetServices = nullptr;
    std::string targetDomain;
    TargetOutput& output;
};

// A debug trace of the computer's inventory, written in list order with its other output.
void debugTrace(TargetContext& ctx, const std::string& text);

}  // namespace qv

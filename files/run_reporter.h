// The run's reporter: the run's console, its log QV.log and the platform's debug trace.
#pragma once

#include "core/context.h"
#include "core/reporter.h"

namespace qv::files {

class RunReporter : public Reporter {
public:
    explicit RunReporter(RunContext& ctx) : ctx_(ctx) {}
    void say(const std::string& text, bool newline = true) override;
    void log(const std::string& text) override;
    void trace(const std::string& text) override;

private:
    RunContext& ctx_;
};

}  // namespace qv::files

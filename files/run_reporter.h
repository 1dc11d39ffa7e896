// The reporters: the run's (its console, its log QV.log, the platform's debug trace) and a
// computer's (the same, written in list order with the computer's other output).
#pragma once

#include "core/context.h"
#include "core/reporter.h"
#include "core/target_context.h"

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

class TargetReporter : public Reporter {
public:
    explicit TargetReporter(TargetContext& ctx) : ctx_(ctx) {}
    void say(const std::string& text, bool newline = true) override;
    void log(const std::string& text) override;
    void trace(const std::string& text) override;

private:
    TargetContext& ctx_;
};

}  // namespace qv::files

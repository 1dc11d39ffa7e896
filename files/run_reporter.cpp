// The run's and a computer's reporters.
#include "files/run_reporter.h"

#include "console/console.h"
#include "files/run_log.h"

namespace qv::files {

void RunReporter::say(const std::string& text, bool newline) { console::writeConsoleLine(ctx_, text, newline); }
void RunReporter::log(const std::string& text) { logLine(ctx_, text); }
void RunReporter::trace(const std::string& text) { ctx_.platform.system.debugTrace(text); }

void TargetReporter::say(const std::string& text, bool newline) { console::writeConsoleLine(ctx_, text, newline); }
void TargetReporter::log(const std::string& text) { logLine(ctx_, text); }
void TargetReporter::trace(const std::string& text) { debugTrace(ctx_, text); }

}  // namespace qv::files

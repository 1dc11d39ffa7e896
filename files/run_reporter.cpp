// The run's reporter.
#include "files/run_reporter.h"

#include "console/console.h"
#include "files/run_log.h"

namespace qv::files {

void RunReporter::say(const std::string& text, bool newline) { console::writeConsoleLine(ctx_, text, newline); }
void RunReporter::log(const std::string& text) { logLine(ctx_, text); }
void RunReporter::trace(const std::string& text) { ctx_.platform.system.debugTrace(text); }

}  // namespace qv::files

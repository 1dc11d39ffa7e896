// The narrow sink through which the environment, the target sources and the database say what
// they did: a console line, a run-log line, a debug trace. They see nothing else of the run.
#pragma once

#include <string>

namespace qv {

class Reporter {
public:
    virtual ~Reporter() = default;
    // The text on the console, followed by CR LF when `newline`.
    virtual void say(const std::string& text, bool newline = true) = 0;
    // One line of the run log.
    virtual void log(const std::string& text) = 0;
    // One debug trace.
    virtual void trace(const std::string& text) = 0;
};

}  // namespace qv

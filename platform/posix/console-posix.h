// The POSIX console: standard output for text, signals as control events, /dev/tty for the pause.
#pragma once

#include <termios.h>

#include <mutex>

#include "platform/platform.h"

namespace qv::posix {

// A closed pipe on standard output (qv | head) fails the write instead of ending the program, so
// the run goes on to its end and its log is complete. Every program on POSIX calls it at console start.
void keepRunningWhenOutputCloses();

class PosixConsole : public Console {
public:
    ~PosixConsole() override;
    void start(ControlEvents& events) override;
    void setTitle(const std::string& title) override;
    std::size_t write(const std::string& text) override;
    bool pauseForKey(const std::string& prompt) override;
    // On standard error when it is a terminal; console text written meanwhile erases it first and
    // draws it again after its line ends, so the two never run into each other.
    void status(const std::string& line) override;
    void end() override;

private:
    void writeError(const std::string& text);
    std::size_t writeOut(const std::string& text);
    std::mutex outputMutex_;  // the run's writer and an urgent stop may both write
    std::string status_;      // the status line shown, empty when none
    bool started_ = false;
    bool ended_ = false;
    bool haveSavedModes_ = false;
    termios savedModes_ {};
};

}  // namespace qv::posix

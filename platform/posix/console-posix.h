// The POSIX console: standard output for text, signals as control events, /dev/tty for the pause.
#pragma once

#include <termios.h>

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
    void end() override;

private:
    bool started_ = false;
    bool ended_ = false;
    bool haveSavedModes_ = false;
    termios savedModes_ {};
};

}  // namespace qv::posix

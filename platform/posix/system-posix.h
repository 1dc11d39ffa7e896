// Clock, environment, sleep, debug trace (syslog), message box (standard error) and locale on POSIX.
#pragma once

#include "platform/platform.h"

namespace qv::posix {

class PosixSystem : public System {
public:
    PosixSystem();
    DateTime now() override;
    bool environmentVariable(const std::string& name, std::string& value) override;
    void sleepMs(int milliseconds) override;
    void debugTrace(const std::string& text) override;
    void messageBox(const std::string& text) override;
    bool startProcess(const std::string& program, const std::string& parameters,
                      const std::string& workingDirectory) override;
    const Locale& locale() override { return locale_; }

private:
    Locale locale_;
};

}  // namespace qv::posix

// Clock, environment, sleep, debug trace, message box, process start and locale on Windows.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

class Win32System : public System {
public:
    Win32System();
    DateTime now() override;
    bool environmentVariable(const std::string& name, std::string& value) override;
    bool expandEnvironmentStrings(const std::string& text, std::string& out) override;
    void sleepMs(int milliseconds) override;
    void debugTrace(const std::string& text) override;
    void messageBox(const std::string& text) override;
    bool startProcess(const std::string& program, const std::string& parameters,
                      const std::string& workingDirectory) override;
    const Locale& locale() override { return locale_; }
    std::string upperCase(const std::string& text) override;

private:
    Locale locale_;
};

}  // namespace qv::win32

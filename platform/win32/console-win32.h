// The Windows console: standard handles, console modes and colours, the control handler, the pause.
#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace qv::win32 {

class Win32Console : public Console {
public:
    ~Win32Console() override;
    void start(ControlEvents& events) override;
    void setTitle(const std::string& title) override;
    std::size_t write(const std::string& text) override;
    bool pauseForKey(const std::string& prompt) override;
    void end() override;

private:
    bool started_ = false;
    bool ended_ = false;
    HANDLE error_ = nullptr, input_ = nullptr, output_ = nullptr;
    DWORD savedInputMode_ = 0, savedOutputMode_ = 0;
    bool haveInputMode_ = false, haveOutputMode_ = false, haveAttributes_ = false;
    WORD savedAttributes_ = 0;
};

}  // namespace qv::win32

// Clock, environment, sleep, debug trace, message box, process start and locale on Windows (being built).
#include "platform/win32/system-win32.h"

#include <windows.h>

namespace qv::win32 {

Win32System::Win32System() {}
DateTime Win32System::now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return DateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}
bool Win32System::environmentVariable(const std::string&, std::string&) { return false; }
bool Win32System::expandEnvironmentStrings(const std::string&, std::string&) { return false; }
void Win32System::sleepMs(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }
void Win32System::debugTrace(const std::string&) {}
void Win32System::messageBox(const std::string&) {}
bool Win32System::startProcess(const std::string&, const std::string&, const std::string&) { return false; }

}  // namespace qv::win32

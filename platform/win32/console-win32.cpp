// The Windows console (being built): writes to standard output; no modes or handler yet.
#include "platform/win32/console-win32.h"

#include "platform/win32/text-win32.h"

namespace qv::win32 {

Win32Console::~Win32Console() { end(); }
void Win32Console::start(ControlEvents&) { output_ = GetStdHandle(STD_OUTPUT_HANDLE); started_ = true; }
void Win32Console::setTitle(const std::string&) {}
std::size_t Win32Console::write(const std::string& text) {
    std::string bytes = toAnsi(text);
    DWORD written = 0;
    if (bytes.empty() || !WriteFile(output_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return 0;
    return written;
}
void Win32Console::pauseForKey(const std::string&) {}
void Win32Console::end() { ended_ = true; }

}  // namespace qv::win32

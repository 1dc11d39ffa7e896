// The error texts of the management service's numbers, and the system's texts for the others.
#include "management/dcom/wbem-errors.h"

#include <windows.h>

#include <cstdio>

#include "management/wbem-texts.h"
#include "platform/win32/text-win32.h"

namespace qv::management::dcom {

namespace {

// The system's message text, its line ends turned into blanks, ending in one blank.
bool systemText(std::uint32_t number, std::string& out) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, number, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (n == 0 || !buffer) return false;
    std::string text = win32::fromWide(buffer, n);
    LocalFree(buffer);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.empty()) return false;
    out = text + " ";
    return true;
}

}  // namespace

std::string errorDescription(std::int32_t number) {
    const auto code = static_cast<std::uint32_t>(number);
    if (const char* own = wbemText(number)) return own;
    std::string text;
    if (systemText(code, text)) return text;
    char fallback[40];
    std::snprintf(fallback, sizeof fallback, "Unknown error 0x%08X ", static_cast<unsigned>(code));
    return fallback;
}

}  // namespace qv::management::dcom

// Clock, environment, sleep, debug trace, message box, process start and locale on Windows.
#include "platform/win32/system-win32.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

// The title of the program's message boxes, the one its console window carries.
const char* const kMessageBoxTitle = "Quorvex Inventory Tool";
// The expansion buffer of the registry reader's expandable strings, in characters.
constexpr DWORD kExpandBufferChars = 260;

// One setting of the user's locale, or "" when the locale does not give it.
std::string userLocaleInfo(LCTYPE type) {
    wchar_t buffer[128];
    int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    if (n <= 1) return {};
    return fromWide(buffer, static_cast<std::size_t>(n - 1));
}

// The order and separator of a short-date picture such as "M/d/yyyy", "dd.MM.yyyy" or "yyyy-MM-dd".
void readShortDate(const std::string& picture, Locale& locale) {
    std::size_t first = picture.find_first_of("dMy");
    if (first == std::string::npos) return;
    switch (picture[first]) {
        case 'd': locale.dateOrder = 'D'; break;
        case 'y': locale.dateOrder = 'Y'; break;
        default: locale.dateOrder = 'M'; break;
    }
    // The separator is what stands between the first field and the second, quotes removed.
    std::size_t end = picture.find_first_not_of(picture[first], first);
    std::size_t next = end == std::string::npos ? std::string::npos : picture.find_first_of("dMy", end);
    if (next == std::string::npos) return;
    std::string separator;
    for (std::size_t i = end; i < next; ++i)
        if (picture[i] != '\'') separator += picture[i];
    if (!separator.empty()) locale.dateSeparator = separator;
}

}  // namespace

Win32System::Win32System() {
    if (std::string s = userLocaleInfo(LOCALE_STHOUSAND); !s.empty()) locale_.groupSeparator = s;
    if (std::string s = userLocaleInfo(LOCALE_SDECIMAL); !s.empty()) locale_.decimalPoint = s;
    const std::string date = userLocaleInfo(LOCALE_SSHORTDATE), time = userLocaleInfo(LOCALE_STIMEFORMAT);
    readShortDate(date, locale_);
    // The long time picture decides the clock: "h" is the 12-hour clock, "H" the 24-hour one.
    if (time.find('H') != std::string::npos) locale_.twelveHour = false;
    else if (time.find('h') != std::string::npos) locale_.twelveHour = true;
    locale_.amDesignator = userLocaleInfo(LOCALE_S1159);
    locale_.pmDesignator = userLocaleInfo(LOCALE_S2359);
    // The pictures themselves carry the leading zeros and designators the user's Windows shows.
    locale_.shortDatePicture = date;
    locale_.longTimePicture = time;
}

DateTime Win32System::now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return DateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

bool Win32System::environmentVariable(const std::string& name, std::string& value) {
    const std::string ansiName = toAnsi(name);
    std::vector<char> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetEnvironmentVariableA(ansiName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            // Zero is both "not set" and "set to the empty text".
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();
            return true;
        }
        if (n < buffer.size()) {
            value = fromAnsi(std::string(buffer.data(), n));
            return true;
        }
        buffer.resize(n);  // n is the size needed, its NUL included
    }
}

bool Win32System::expandEnvironmentStrings(const std::string& text, std::string& out) {
    const std::string source = toAnsi(text);
    std::vector<char> buffer(kExpandBufferChars, '\0');
    DWORD needed = ExpandEnvironmentStringsA(source.c_str(), buffer.data(), kExpandBufferChars);
    if (needed == 0) return false;
    if (needed > kExpandBufferChars) {
        // Too long for the buffer: expand whole, then keep what the buffer holds.
        buffer.assign(needed, '\0');
        if (ExpandEnvironmentStringsA(source.c_str(), buffer.data(), needed) == 0) return false;
        buffer.resize(kExpandBufferChars - 1);
        buffer.push_back('\0');
    }
    out = fromAnsi(std::string(buffer.data()));
    return true;
}

// The system's own upper-casing, on the UTF-16 form so that every letter of the user's code page
// (and beyond) takes the capital Windows gives it.
std::string Win32System::upperCase(const std::string& text) {
    std::wstring wide = toWide(text);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return fromWide(wide);
}

void Win32System::sleepMs(int milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }

void Win32System::debugTrace(const std::string& text) { OutputDebugStringA(toAnsi(text).c_str()); }

void Win32System::messageBox(const std::string& text) {
    MessageBoxA(nullptr, toAnsi(text).c_str(), kMessageBoxTitle, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

bool Win32System::startProcess(const std::string& program, const std::string& parameters,
                               const std::string& workingDirectory) {
    const std::string file = toAnsi(program), args = toAnsi(parameters), dir = toAnsi(workingDirectory);
    HINSTANCE started = ShellExecuteA(nullptr, "open", file.c_str(), args.empty() ? nullptr : args.c_str(),
                                      dir.empty() ? nullptr : dir.c_str(), SW_HIDE);
    // Values above 32 mean the program started; smaller ones are error codes.
    return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace qv::win32

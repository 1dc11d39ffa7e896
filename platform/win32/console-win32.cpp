// The Windows console: standard handles, console modes and colours, the control handler, the pause.
#include "platform/win32/console-win32.h"

#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

constexpr DWORD kRunInputMode = 7;    // processed input, line input, echo input
constexpr DWORD kRunOutputMode = 3;   // processed output, wrap at end of line
constexpr DWORD kPauseInputMode = 0;  // one raw key, no echo; Ctrl-C is a key
constexpr LONG kSystemMenuStyle = 0x80000;

// Where the control handler reports. The platform calls the handler with the event type only,
// so the run's event words are reached through this one pointer; it is set by start and
// cleared by end, after which events are swallowed until the process exits.
std::atomic<ControlEvents*> reportTo{nullptr};

BOOL WINAPI controlHandler(DWORD eventType) {
    if (ControlEvents* events = reportTo.load()) events->raise(static_cast<int>(eventType));
    return TRUE;  // handled: the run stops by itself between two computers
}

BOOL CALLBACK findSystemMenuWindow(HWND window, LPARAM found) {
    if (GetWindowLongA(window, GWL_STYLE) & kSystemMenuStyle) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

bool usable(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return usable(h) && GetConsoleMode(h, &mode);
}

// Text on a console screen goes as UTF-16, so every character shows whatever code page the
// console is set to (ANSI bytes on an OEM-page console turn "é" into "Θ").
void writeToConsole(HANDLE screen, const std::string& text) {
    const std::wstring wide = toWide(text);
    DWORD written = 0;
    WriteConsoleW(screen, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

Win32Console::~Win32Console() { end(); }

void Win32Console::start(ControlEvents& events) {
    if (started_) return;
    started_ = true;
    // The type is reset before the handler is in place, so that a Ctrl-C arriving during the
    // start is kept rather than overwritten.
    if (!events.flag.load()) events.type.store(-1);
    reportTo.store(&events);
    SetConsoleCtrlHandler(controlHandler, TRUE);
    error_ = GetStdHandle(STD_ERROR_HANDLE);
    input_ = GetStdHandle(STD_INPUT_HANDLE);
    output_ = GetStdHandle(STD_OUTPUT_HANDLE);
    haveInputMode_ = GetConsoleMode(input_, &savedInputMode_);
    haveOutputMode_ = GetConsoleMode(output_, &savedOutputMode_);
    SetConsoleMode(input_, kRunInputMode);
    SetConsoleMode(output_, kRunOutputMode);
    CONSOLE_SCREEN_BUFFER_INFO info;
    haveAttributes_ = GetConsoleScreenBufferInfo(output_, &info);
    if (haveAttributes_) savedAttributes_ = info.wAttributes;

    HWND own = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findSystemMenuWindow, reinterpret_cast<LPARAM>(&own));
    if (own) ShowWindow(own, SW_HIDE);
}

void Win32Console::setTitle(const std::string& title) { SetConsoleTitleW(toWide(title).c_str()); }

std::size_t Win32Console::write(const std::string& text) {
    HANDLE out = started_ ? output_ : GetStdHandle(STD_OUTPUT_HANDLE);
    if (text.empty() || !usable(out) || ended_) return 0;
    if (isConsole(out)) {
        const std::wstring wide = toWide(text);
        DWORD written = 0;
        if (!WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) return 0;
        return written == wide.size() ? text.size() : 0;
    }
    // A file or a pipe gets the ANSI code page's bytes, as files the program writes do.
    const std::string bytes = toAnsi(text);
    DWORD written = 0;
    if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return 0;
    return written;
}

bool Win32Console::pauseForKey(const std::string& prompt) {
    // Input from a file, a pipe or no console at all: no key will come.
    if (!started_ || ended_ || !isConsole(input_)) return false;
    FlushConsoleInputBuffer(input_);
    // The prompt belongs on the console window: when standard output goes to a file or a pipe
    // it is written to the console's own screen buffer instead, if the process has a console.
    if (isConsole(output_)) {
        writeToConsole(output_, prompt);
    } else {
        HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (usable(screen)) {
            writeToConsole(screen, prompt);
            CloseHandle(screen);
        }
    }
    DWORD mode = 0;
    const bool haveMode = GetConsoleMode(input_, &mode);
    SetConsoleMode(input_, kPauseInputMode);
    char key = 0;
    DWORD read = 0;
    ReadConsoleA(input_, &key, 1, &read, nullptr);
    if (haveMode) SetConsoleMode(input_, mode);
    return true;
}

void Win32Console::end() {
    if (!started_ || ended_) return;
    ended_ = true;
    reportTo.store(nullptr);
    if (haveAttributes_) SetConsoleTextAttribute(output_, savedAttributes_);
    if (haveInputMode_) SetConsoleMode(input_, savedInputMode_);
    if (haveOutputMode_) SetConsoleMode(output_, savedOutputMode_);
    for (HANDLE h : {error_, input_, output_})
        if (usable(h)) CloseHandle(h);
}

}  // namespace qv::win32

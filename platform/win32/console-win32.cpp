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

void Win32Console::setTitle(const std::string& title) { SetConsoleTitleA(toAnsi(title).c_str()); }

std::size_t Win32Console::write(const std::string& text) {
    const std::string bytes = toAnsi(text);
    HANDLE out = started_ ? output_ : GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (bytes.empty() || !usable(out) || ended_) return 0;
    if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return 0;
    return written;
}

void Win32Console::pauseForKey(const std::string& prompt) {
    if (!started_ || ended_) return;
    FlushConsoleInputBuffer(input_);
    // The prompt belongs on the console window: when standard output goes to a file or a pipe
    // it is written to the console's own screen buffer instead, if the process has a console.
    const std::string text = toAnsi(prompt);
    DWORD written = 0;
    if (isConsole(output_)) {
        WriteConsoleA(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (usable(screen)) {
            WriteConsoleA(screen, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
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

// QV.exe: the inventory program on the real Windows platform.
#include <cstdlib>
#include <windows.h>

#include "platform/win32/text-win32.h"
#include "programs/win32.h"
#include "run/driver.h"

namespace {

// The command line after the program's name, as the user typed it: spaces between the arguments
// keep their meaning for the grammar, so the text is taken whole rather than rebuilt from argv.
std::string argumentText() {
    const wchar_t* p = GetCommandLineW();
    if (!p) return {};
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return qv::win32::fromWide(std::wstring(p));
}

}  // namespace

int main() {
    qv::programs::Win32Program win32;
    int status = 0;
    qv::Platform platform = win32.platform();
    {
        qv::RunContext ctx(platform, win32.connector, win32.limits);
        if (const char* parallel = std::getenv("QV_PARALLEL")) ctx.parallelSetting = parallel;
        status = qv::run::runProgram(ctx, argumentText());
        // Ended while the run context, which holds the control-event words the handler writes,
        // still exists: a late control event then has nowhere to write.
        win32.console.end();
    }
    ExitProcess(static_cast<UINT>(status));
}

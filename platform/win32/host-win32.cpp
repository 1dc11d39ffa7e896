// Recognising Wine by the function its ntdll alone exports.
#include "platform/win32/host-win32.h"

#include <windows.h>

namespace qv::win32 {

bool runningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version");
    }();
    return wine;
}

}  // namespace qv::win32

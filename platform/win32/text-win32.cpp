// Text conversions of the Windows back-end through MultiByteToWideChar and WideCharToMultiByte.
#include "platform/win32/text-win32.h"

#include <windows.h>

namespace qv::win32 {

namespace {
std::wstring decode(unsigned codePage, const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}
std::string encode(unsigned codePage, const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}
}  // namespace

std::wstring toWide(const std::string& utf8) { return decode(CP_UTF8, utf8); }
std::string fromWide(const std::wstring& wide) { return encode(CP_UTF8, wide.data(), wide.size()); }
std::string fromWide(const wchar_t* wide, std::size_t length) { return encode(CP_UTF8, wide, length); }
std::string toAnsi(const std::string& utf8) {
    std::wstring w = toWide(utf8);
    return encode(CP_ACP, w.data(), w.size());
}
std::string fromAnsi(const std::string& ansi) {
    std::wstring w = decode(CP_ACP, ansi);
    return fromWide(w);
}

}  // namespace qv::win32

// Text conversions of the Windows back-end: internal UTF-8 to and from the ANSI code page and UTF-16.
#pragma once

#include <string>

namespace qv::win32 {

std::wstring toWide(const std::string& utf8);
std::string fromWide(const std::wstring& wide);
std::string fromWide(const wchar_t* wide, std::size_t length);
// The ANSI code page (CP_ACP) forms the "A" calls take and give. Characters the code page lacks
// become its default character.
std::string toAnsi(const std::string& utf8);
std::string fromAnsi(const std::string& ansi);

}  // namespace qv::win32

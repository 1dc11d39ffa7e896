// What the Windows back-end needs to know of the system it runs on.
#pragma once

namespace qv::win32 {

// True under Wine, whose in-process replacements of some system components behave otherwise.
bool runningUnderWine();

}  // namespace qv::win32

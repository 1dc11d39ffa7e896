// Reading the settings and credential files every transport takes (the winrm file, the netrc
// file, the SSH configuration) without waiting on or filling memory from what stands in their place.
#pragma once

#include <cstddef>
#include <string>

namespace qv::management {

// A settings or credential file (the winrm file, the netrc file, the SSH configuration) read
// whole, and only when it is a regular file of at most kMaxSettingsBytes: a FIFO, a device or a
// folder in its place, or a huge file, is refused with the reason instead of waiting forever or
// filling memory. The file is opened without waiting (O_NONBLOCK) and what was opened is looked
// at (fstat), so nothing can be put in its place between the look and the read.
inline constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;
enum class FileStatus { Read, Missing, Refused };
struct SettingsFile {
    FileStatus status = FileStatus::Missing;
    std::string text;
    std::string why;    // for a refused file: "PATH is a FIFO, not a regular file; not used"
    unsigned mode = 0;  // the permission bits of the file read
};
SettingsFile readSettingsFile(const std::string& path);

}  // namespace qv::management

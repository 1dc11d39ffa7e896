// The Windows file layer: text streams in the ANSI code page with CR LF, file versions and dates.
#pragma once

#include "platform/platform.h"

namespace qv::win32 {

// Paths are UTF-8 and reach the system through the wide ("W") calls, so a path is never cut
// down to the ANSI code page. File contents are ANSI: each line is converted from and to UTF-8.
class Win32FileSystem : public FileSystem {
public:
    PathKind pathKind(const std::string& path) override;
    InstallResult installNew(const std::string& from, const std::string& to) override;
    bool fileExists(const std::string& path) override;
    std::unique_ptr<TextReader> openForReading(const std::string& path) override;
    std::unique_ptr<TextWriter> openForWriting(const std::string& path, bool append) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool deleteFile(const std::string& path) override;
    bool fileLength(const std::string& path, std::uint64_t& length) override;
    // The fixed version of the file's version resource as "a.b.c.d"; false when it has none.
    bool fileVersion(const std::string& path, std::string& version) override;
    // The creation time in local time.
    bool fileCreated(const std::string& path, DateTime& created) override;
    std::string currentDirectory() override;
    bool setCurrentDirectory(const std::string& path) override;
    std::string join(const std::string& dir, const std::string& name) override;
};

}  // namespace qv::win32

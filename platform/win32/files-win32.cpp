// The Windows file layer (being built).
#include "platform/win32/files-win32.h"

namespace qv::win32 {

bool Win32FileSystem::fileExists(const std::string&) { return false; }
std::unique_ptr<TextReader> Win32FileSystem::openForReading(const std::string&) { return nullptr; }
std::unique_ptr<TextWriter> Win32FileSystem::openForWriting(const std::string&, bool) { return nullptr; }
bool Win32FileSystem::copyFile(const std::string&, const std::string&) { return false; }
bool Win32FileSystem::deleteFile(const std::string&) { return false; }
bool Win32FileSystem::fileLength(const std::string&, std::uint64_t&) { return false; }
bool Win32FileSystem::fileVersion(const std::string&, std::string&) { return false; }
bool Win32FileSystem::fileCreated(const std::string&, DateTime&) { return false; }
std::string Win32FileSystem::currentDirectory() { return {}; }
bool Win32FileSystem::setCurrentDirectory(const std::string&) { return false; }
std::string Win32FileSystem::join(const std::string& dir, const std::string& name) { return dir + "\\" + name; }

}  // namespace qv::win32

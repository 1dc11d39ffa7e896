// The Windows file layer: ANSI text streams on file handles, copy, delete, length, version
// resource, creation time and the current directory, all through the wide calls.
#include "platform/win32/files-win32.h"

#include <windows.h>

#include <vector>

#include "platform/line_reader.h"
#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

// A file handle closed when it goes.
struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit Handle(HANDLE handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    bool open() const { return h != INVALID_HANDLE_VALUE; }
    void close() {
        if (open()) CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
};

bool attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return !path.empty() && GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data);
}

bool isFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return attributes(path, data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Lines of an ANSI file, each turned into UTF-8.
class AnsiReader : public ChunkedLineReader {
public:
    explicit AnsiReader(HANDLE h) : file_(h) {}
    ~AnsiReader() override { close(); }

protected:
    std::size_t readChunk(char* into, std::size_t capacity) override {
        DWORD got = 0;
        if (!file_.open() || !ReadFile(file_.h, into, static_cast<DWORD>(capacity), &got, nullptr)) return 0;
        return got;
    }
    void closeSource() override { file_.close(); }
    std::string toText(std::string bytes) override { return fromAnsi(bytes); }

private:
    Handle file_;
};

// Lines written in the ANSI code page, each followed by CR LF.
class AnsiWriter : public TextWriter {
public:
    explicit AnsiWriter(HANDLE h) : file_(h) {}
    bool writeLine(const std::string& text) override {
        if (!file_.open()) return false;
        std::string line = toAnsi(text) + "\r\n";
        const char* data = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            DWORD wrote = 0;
            if (!WriteFile(file_.h, data, static_cast<DWORD>(left), &wrote, nullptr) || wrote == 0) return false;
            data += wrote;
            left -= wrote;
        }
        return true;
    }
    void close() override { file_.close(); }

private:
    Handle file_;
};

}  // namespace

PathKind Win32FileSystem::pathKind(const std::string& path) {
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::Missing : PathKind::Other;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
    return PathKind::File;
}

InstallResult Win32FileSystem::installNew(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    if (MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return InstallResult::Installed;
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? InstallResult::Exists : InstallResult::Failed;
}

bool Win32FileSystem::fileExists(const std::string& path) { return isFile(path); }

std::unique_ptr<TextReader> Win32FileSystem::openForReading(const std::string& path) {
    if (!isFile(path)) return nullptr;
    HANDLE h = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<AnsiReader>(h);
}

std::unique_ptr<TextWriter> Win32FileSystem::openForWriting(const std::string& path, bool append) {
    if (path.empty()) return nullptr;
    // Appending writes at the end whatever another writer did meanwhile. The file is opened
    // without following a link and only when it is a file on a disk: a link, a folder or a device
    // in its place is refused.
    HANDLE h = CreateFileW(toWide(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info{};
    bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                   !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
    if (!regular || (!append && !SetEndOfFile(h))) {
        CloseHandle(h);
        return nullptr;
    }
    return std::make_unique<AnsiWriter>(h);
}

bool Win32FileSystem::copyFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && CopyFileW(toWide(from).c_str(), toWide(to).c_str(), FALSE);
}

bool Win32FileSystem::deleteFile(const std::string& path) {
    return !path.empty() && DeleteFileW(toWide(path).c_str());
}

bool Win32FileSystem::fileLength(const std::string& path, std::uint64_t& length) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    length = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool Win32FileSystem::fileVersion(const std::string& path, std::string& version) {
    if (path.empty()) return false;
    std::wstring wide = toWide(path);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, info.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    wchar_t root[] = L"\\";
    if (!VerQueryValueW(info.data(), root, reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
              "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
              std::to_string(LOWORD(fixed->dwFileVersionLS));
    return true;
}

bool Win32FileSystem::fileCreated(const std::string& path, DateTime& created) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!attributes(path, data)) return false;
    // The local time of that moment, with the daylight-saving rule of its own date.
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&data.ftCreationTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return false;
    created = DateTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
    return true;
}

std::string Win32FileSystem::currentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return {};
    std::wstring buffer(size, L'\0');
    DWORD used = GetCurrentDirectoryW(size, buffer.data());
    if (used == 0 || used >= size) return {};
    return fromWide(buffer.data(), used);
}

bool Win32FileSystem::setCurrentDirectory(const std::string& path) {
    return !path.empty() && SetCurrentDirectoryW(toWide(path).c_str());
}

std::string Win32FileSystem::join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
    return dir + "\\" + name;
}

}  // namespace qv::win32

// The POSIX file layer.
#include "platform/posix/files-posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/text.h"

namespace qv::posix {

namespace {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string PosixFileSystem::resolve(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) == 0) return path;
    std::string current = path[0] == '/' ? "/" : "";
    std::size_t i = path[0] == '/' ? 1 : 0;
    while (i <= path.size()) {
        std::size_t slash = path.find('/', i);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(i, slash - i);
        i = slash + 1;
        if (part.empty()) continue;
        std::string candidate = current + part;
        if (::lstat(candidate.c_str(), &st) != 0 && part != "." && part != "..") {
            DIR* dir = ::opendir(current.empty() ? "." : current.c_str());
            if (!dir) return path;
            std::string found;
            while (dirent* entry = ::readdir(dir)) {
                if (text::upperLatin(entry->d_name) == text::upperLatin(part)) {  // names arrive upper-cased
                    found = entry->d_name;
                    break;
                }
            }
            ::closedir(dir);
            if (found.empty()) return path;
            candidate = current + found;
        }
        current = candidate + (slash < path.size() ? "/" : "");
    }
    return current;
}

PathKind PosixFileSystem::pathKind(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Other;
    if (S_ISREG(st.st_mode)) return PathKind::File;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    if (S_ISLNK(st.st_mode)) return PathKind::Link;
    return PathKind::Other;
}

InstallResult PosixFileSystem::installNew(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return InstallResult::Installed;
    if (errno == EEXIST) return InstallResult::Exists;
    if (errno != EINVAL && errno != ENOSYS) return InstallResult::Failed;
    // A file system without the no-replace rename: a hard link is made only where nothing stands.
    if (::link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? InstallResult::Exists : InstallResult::Failed;
    ::unlink(from.c_str());
    return InstallResult::Installed;
}

bool PosixFileSystem::fileExists(const std::string& path) { return isRegularFile(resolve(path)); }

std::unique_ptr<TextReader> PosixFileSystem::openForReading(const std::string& path) {
    std::string real = resolve(path);
    if (!isRegularFile(real)) return nullptr;
    int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<FileTextReader>(fd);
}

std::unique_ptr<TextWriter> PosixFileSystem::openForWriting(const std::string& path, bool append) {
    // The program's own files are opened only as regular files: a link (even one pointing nowhere)
    // is not followed, and a FIFO or device is refused without blocking (O_NONBLOCK), so nothing is
    // written outside the folder or waits forever. A file appended to that has no file of exactly
    // its name goes on in the one whose name differs only in letter case (the report of PC1 in an
    // earlier qvpc1.txt), as on Windows; a file written anew keeps the name given.
    const std::string real = append ? resolve(path) : path;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (append ? O_APPEND : 0);
    int fd = ::open(real.c_str(), flags, 0644);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (!append && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, append ? O_APPEND : 0);  // blocking writes again
    return std::make_unique<FileTextWriter>(fd);
}

bool PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
    int in = ::open(resolve(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(resolve(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!writeAll(out, buf, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0) ok = false;
    return ok;
}

bool PosixFileSystem::deleteFile(const std::string& path) { return ::unlink(resolve(path).c_str()) == 0; }

bool PosixFileSystem::fileLength(const std::string& path, std::uint64_t& length) {
    struct stat st {};
    if (::stat(resolve(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    length = static_cast<std::uint64_t>(st.st_size);
    return true;
}

// Linux files carry no version resource (a kernel module's own version is the provider's to read).
bool PosixFileSystem::fileVersion(const std::string&, std::string&) { return false; }

bool PosixFileSystem::fileCreated(const std::string& path, DateTime& created) {
    std::string real = resolve(path);
    struct statx sx {};
    std::time_t when = 0;
    if (::statx(AT_FDCWD, real.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        when = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    } else {
        return false;
    }
    std::tm tm {};
    if (!::localtime_r(&when, &tm)) return false;
    created = DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

std::string PosixFileSystem::currentDirectory() {
    std::vector<char> buf(4096);
    for (;;) {
        if (::getcwd(buf.data(), buf.size())) return buf.data();
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
}

bool PosixFileSystem::setCurrentDirectory(const std::string& path) { return ::chdir(resolve(path).c_str()) == 0; }

std::string PosixFileSystem::join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

FileTextReader::~FileTextReader() { close(); }

std::size_t FileTextReader::readChunk(char* into, std::size_t capacity) {
    if (fd_ < 0) return 0;
    for (;;) {
        ssize_t n = ::read(fd_, into, capacity);
        if (n < 0 && errno == EINTR) continue;
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

void FileTextReader::closeSource() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileTextWriter::~FileTextWriter() { close(); }

bool FileTextWriter::writeLine(const std::string& text) {
    if (fd_ < 0) return false;
    std::string line = text + "\r\n";
    return writeAll(fd_, line.data(), line.size());
}

void FileTextWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace qv::posix

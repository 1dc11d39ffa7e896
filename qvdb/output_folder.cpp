// Output folders written beside their place and moved into it once whole.
#include "qvdb/output_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>
#include <sys/file.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace qv::qvdb {

namespace fs = std::filesystem;

namespace {

// The file that marks a folder as qvdb's output: only such a folder (or an empty one) is ever
// replaced, so that --out naming the documents folder or a home folder cannot remove it.
constexpr const char* kMarker = ".qvdb-output";
// The file in a hidden work folder that names its writer ("PID HOST"): a later run removes the
// folder once that process is gone.
constexpr const char* kWriter = ".qvdb-writer";

// The hidden folders this process is writing, those of earlier outputs on their way out and the
// lock files it holds: removed when a signal ends the run.
std::mutex unfinishedMutex;
std::set<std::string> unfinished;

void track(const std::string& path) {
    std::lock_guard<std::mutex> hold(unfinishedMutex);
    unfinished.insert(path);
}

void untrack(const std::string& path) {
    std::lock_guard<std::mutex> hold(unfinishedMutex);
    unfinished.erase(path);
}

std::string lower(std::string t) {
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "?";
    return name;
}

std::string writerLine() { return std::to_string(::getpid()) + " " + hostName() + "\n"; }

// Whether `dir` may be replaced: it is empty or qvdb wrote it.
bool replaceable(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir / kMarker, ec)) return true;
    return fs::is_empty(dir, ec) && !ec;
}

// The database or log file of qv in `dir`, when there is one (names compared without case, as a
// share may store them).
std::string qvFileIn(const fs::path& dir) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (lower(name) == "qv.mdb" || lower(name) == "qv.log") return name;
    }
    return {};
}

// Why `target` may never be an output folder, or "" when it may.
std::string forbidden(const fs::path& target, const std::string& documents) {
    std::error_code ec;
    if (!documents.empty()) {
        const fs::path docs = fs::weakly_canonical(fs::absolute(documents, ec), ec);
        const fs::path out = fs::weakly_canonical(target, ec);
        if (!ec && docs == out) return "it is the documents folder, where QV.mdb and QV.log are";
        const std::string d = docs.string(), o = out.string();
        if (!ec && d.size() > o.size() && d.compare(0, o.size(), o) == 0 && (o.back() == '/' || d[o.size()] == '/'))
            return "it holds the documents folder " + d;
    }
    if (fs::is_directory(target, ec)) {
        const std::string qvFile = qvFileIn(target);
        if (!qvFile.empty()) return "it holds " + qvFile;
    }
    return {};
}

// Whether the process `pid` runs on this computer.
bool running(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH); }

// The hidden work folders beside `target` that runs of this computer left when they were cut
// short (killed, the power lost): each names its writer, and goes once that process is gone.
void removeLeftovers(const fs::path& target) {
    const std::string part = "." + target.filename().string() + ".part-", old = "." + target.filename().string() + ".old-";
    const std::string host = hostName();
    std::error_code ec;
    std::vector<fs::path> gone;
    for (fs::directory_iterator it(target.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(part) && !name.starts_with(old)) continue;
        std::error_code dirEc;
        if (!it->is_directory(dirEc) || it->is_symlink(dirEc)) continue;
        std::ifstream writer(it->path() / kWriter);
        long pid = 0;
        std::string theirHost;
        if (!(writer >> pid >> theirHost)) {
            // A run cut short before it named itself left its folder empty: nothing to lose.
            ::rmdir(it->path().c_str());
            continue;
        }
        if (theirHost != host || running(pid)) continue;
        gone.push_back(it->path());
    }
    for (const fs::path& p : gone) fs::remove_all(p, ec);
}

}  // namespace

void removeUnfinishedOutput() {
    std::lock_guard<std::mutex> hold(unfinishedMutex);
    for (const std::string& path : unfinished) {
        // The run's own thread may still add a file meanwhile; a few passes take it too.
        std::error_code ec;
        for (int pass = 0; pass < 5 && fs::exists(path, ec); ++pass) fs::remove_all(path, ec);
    }
}

std::string uniqueFileName(FileNames& names, const std::string& wanted, const std::string& extension) {
    std::string stem;
    for (unsigned char c : wanted) stem += (std::isalnum(c) || c == '-' || c == '_' || c == '.') ? char(c) : '_';
    if (stem.empty() || stem[0] == '.') stem.insert(stem.begin(), '_');
    // Windows' device names, alone or with any extension, open the device instead of a file.
    const std::string device = lower(stem.substr(0, stem.find('.')));
    const bool reserved = device == "con" || device == "prn" || device == "aux" || device == "nul" ||
                          (device.size() == 4 && (device.starts_with("com") || device.starts_with("lpt")) &&
                           std::isdigit(static_cast<unsigned char>(device[3])));
    if (reserved) stem.insert(stem.begin(), '_');
    // File systems take 255 bytes a name: room is left for the hash, a number and the extension.
    constexpr std::size_t kLongest = 200;
    if (stem.size() > kLongest) {
        std::uint64_t h = 1469598103934665603ull;  // 64-bit FNV-1a of the whole name
        for (unsigned char c : wanted) h = (h ^ c) * 1099511628211ull;
        char hash[20];
        std::snprintf(hash, sizeof hash, "-%012llx", static_cast<unsigned long long>(h & 0xffffffffffffull));
        stem = stem.substr(0, kLongest) + hash;
    }
    std::string name = stem + extension;
    for (int n = 2; names.taken.count(lower(name)); ++n) name = stem + "-" + std::to_string(n) + extension;
    names.taken.insert(lower(name));
    return name;
}

FileOut::~FileOut() {
    if (file_) std::fclose(file_);
}

bool FileOut::open(const std::string& path, std::string& error, bool onlyNew) {
    path_ = path;
    errno_ = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (onlyNew ? O_EXCL : O_TRUNC), 0644);
    if (fd < 0 || !(file_ = ::fdopen(fd, "wb"))) {
        error = errno == EEXIST && onlyNew ? "cannot write " + path + ": a file of that name was written already"
                                           : "cannot write " + path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    return true;
}

void FileOut::write(const char* data, std::size_t size) {
    if (!file_ || errno_ || size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size) errno_ = errno ? errno : EIO;
}

bool FileOut::close(std::string& error) {
    if (!file_) return errno_ == 0;
    if (std::fclose(file_) != 0 && !errno_) errno_ = errno ? errno : EIO;
    file_ = nullptr;
    if (errno_) {
        error = "cannot write " + path_ + ": " + std::strerror(errno_);
        return false;
    }
    return true;
}

bool writeWholeFile(const std::string& path, const std::string& content, std::string& error, bool onlyNew) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (onlyNew ? O_EXCL : O_TRUNC), 0644);
    if (fd < 0) {
        error = errno == EEXIST && onlyNew ? "cannot write " + path + ": a file of that name was written already"
                                           : "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write " + path + ": " + std::strerror(n < 0 ? errno : ENOSPC);
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

StagedFolder::~StagedFolder() {
    if (!committed_ && !staging_.empty()) {
        std::error_code ec;
        fs::remove_all(staging_, ec);
        untrack(staging_);
    }
    if (lockFd_ >= 0) {
        // The lock file goes while it is still held, so that no other run holds a lock on a file
        // no longer there (each run checks that the file it locked is the one named).
        ::unlink(lockPath_.c_str());
        ::close(lockFd_);
        untrack(lockPath_);
    }
}

bool StagedFolder::begin(std::string& error) {
    std::error_code ec;
    fs::path target = fs::absolute(fs::path(target_), ec);
    if (ec) {
        error = "cannot use output folder " + target_ + ": " + ec.message();
        return false;
    }
    if (!target.has_filename()) target = target.parent_path();
    if (fs::exists(target, ec) && !fs::is_directory(target, ec)) {
        error = "cannot write to " + target_ + ": it exists and is not a folder";
        return false;
    }
    if (const std::string why = forbidden(target, documents_); !why.empty()) {
        error = "will not write into " + target.string() + ": " + why + " (name another folder with --out)";
        return false;
    }
    if (fs::is_directory(target, ec) && !replaceable(target)) {
        error = "will not replace " + target.string() +
                ": it holds files qvdb did not write (name a new or empty folder with --out)";
        return false;
    }
    fs::path parent = target.parent_path();
    fs::create_directories(parent, ec);
    if (ec) {
        error = "cannot create output folder " + parent.string() + ": " + ec.message();
        return false;
    }
    // One run at a time writes a target: a second one is refused at once, naming the first.
    lockPath_ = (parent / ("." + target.filename().string() + ".lock")).string();
    for (;;) {
        lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (lockFd_ < 0) {
            error = "cannot write to " + parent.string() + ": " + std::strerror(errno);
            return false;
        }
        if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
            const int why = errno;
            char holder[64] = {};
            const ssize_t n = ::pread(lockFd_, holder, sizeof holder - 1, 0);
            ::close(lockFd_);
            lockFd_ = -1;
            if (why != EWOULDBLOCK) {
                error = "cannot lock " + lockPath_ + ": " + std::strerror(why);
                return false;
            }
            const long pid = n > 0 ? std::strtol(holder, nullptr, 10) : 0;
            error = "another qvdb run" + (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string()) +
                    " is writing " + target.string() + "; try again once it has finished";
            return false;
        }
        // The file may have been removed by the run that held it just before: lock the one named.
        struct stat held {}, named {};
        if (::fstat(lockFd_, &held) == 0 && ::stat(lockPath_.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev)
            break;
        ::close(lockFd_);
        lockFd_ = -1;
    }
    track(lockPath_);
    const std::string me = writerLine();
    // The pid is only for the message of a run refused meanwhile: not having it written is no
    // reason to stop.
    const bool noted = ::ftruncate(lockFd_, 0) == 0 && ::pwrite(lockFd_, me.data(), me.size(), 0) == ssize_t(me.size());
    (void)noted;
    removeLeftovers(target);
    std::string pattern = (parent / ("." + target.filename().string() + ".part-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        error = "cannot write to " + parent.string() + ": " + std::strerror(errno);
        return false;
    }
    ::chmod(pattern.c_str(), 0755);
    staging_ = pattern;
    track(staging_);
    target_ = target.string();
    return writeWholeFile(staging_ + "/" + kWriter, me, error, true) &&
           writeFile(kMarker, "This folder was written by qvdb; the next run replaces it whole.\n", error);
}

namespace {

// Makes the subfolder `relative` names, when it names one.
bool makeSubfolder(const std::string& staging, const std::string& relative, std::string& error) {
    const auto slash = relative.find('/');
    if (slash == std::string::npos) return true;
    const std::string dir = staging + "/" + relative.substr(0, slash);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot write " + dir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool StagedFolder::writeFile(const std::string& relative, const std::string& content, std::string& error) {
    return makeSubfolder(staging_, relative, error) && writeWholeFile(staging_ + "/" + relative, content, error, true);
}

bool StagedFolder::openFile(const std::string& relative, FileOut& file, std::string& error) {
    return makeSubfolder(staging_, relative, error) && file.open(staging_ + "/" + relative, error, true);
}

bool StagedFolder::commit(std::string& error) {
    std::error_code ec;
    std::string old;
    const bool earlier = fs::exists(target_, ec);
    if (earlier) {
        if (const std::string why = forbidden(target_, documents_); !why.empty()) {
            error = "will not replace " + target_ + ": " + why;
            return false;
        }
        if (!replaceable(target_)) {
            error = "will not replace " + target_ + ": it holds files qvdb did not write";
            return false;
        }
        // The earlier folder steps aside first, so that the target is never half old, half new:
        // into a hidden folder that names this run as its writer, so that it is removed even when
        // this run is cut short.
        old = fs::path(staging_).parent_path() / ("." + fs::path(target_).filename().string() + ".old-XXXXXX");
        if (!::mkdtemp(old.data())) {
            error = "cannot replace " + target_ + ": " + std::strerror(errno);
            return false;
        }
        track(old);
        if (!writeWholeFile(old + "/" + kWriter, writerLine(), error, true)) {
            fs::remove_all(old, ec);
            untrack(old);
            return false;
        }
    }
    {
        // Both moves at once for a signal's clean-up: it finds either the earlier folder in its
        // place or the new one.
        std::lock_guard<std::mutex> hold(unfinishedMutex);
        const std::string aside = old + "/earlier";
        if (earlier && ::rename(target_.c_str(), aside.c_str()) != 0) {
            error = "cannot replace " + target_ + ": " + std::strerror(errno);
        } else if (::rename(staging_.c_str(), target_.c_str()) != 0) {
            error = "cannot move the output into " + target_ + ": " + std::strerror(errno);
            if (earlier) ::rename(aside.c_str(), target_.c_str());
        } else {
            unfinished.erase(staging_);
            committed_ = true;
        }
    }
    if (committed_) ::unlink((target_ + "/" + kWriter).c_str());
    if (!old.empty()) {
        fs::remove_all(old, ec);
        untrack(old);
    }
    return committed_;
}

}  // namespace qv::qvdb

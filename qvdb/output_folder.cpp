// Output folders written beside their place and moved into it once whole.
#include "qvdb/output_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qv::qvdb {

namespace fs = std::filesystem;

namespace {

// The file that marks a folder as qvdb's output: only such a folder (or an empty one) is ever
// replaced, so that --out naming the documents folder or a home folder cannot remove it.
constexpr const char* kMarker = ".qvdb-output";

// Whether `dir` may be replaced: it is empty or qvdb wrote it.
bool replaceable(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir / kMarker, ec)) return true;
    return fs::is_empty(dir, ec) && !ec;
}

}  // namespace

FileOut::~FileOut() {
    if (file_) std::fclose(file_);
}

bool FileOut::open(const std::string& path, std::string& error) {
    path_ = path;
    errno_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot write " + path + ": " + std::strerror(errno);
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

bool writeWholeFile(const std::string& path, const std::string& content, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
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
    std::string pattern = (parent / ("." + target.filename().string() + ".part-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        error = "cannot write to " + parent.string() + ": " + std::strerror(errno);
        return false;
    }
    ::chmod(pattern.c_str(), 0755);
    staging_ = pattern;
    target_ = target.string();
    return writeFile(kMarker, "This folder was written by qvdb; the next run replaces it whole.\n", error);
}

bool StagedFolder::writeFile(const std::string& relative, const std::string& content, std::string& error) {
    const std::string path = staging_ + "/" + relative;
    const auto slash = relative.find('/');
    if (slash != std::string::npos) {
        const std::string dir = staging_ + "/" + relative.substr(0, slash);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            error = "cannot write " + dir + ": " + std::strerror(errno);
            return false;
        }
    }
    return writeWholeFile(path, content, error);
}

bool StagedFolder::commit(std::string& error) {
    std::error_code ec;
    std::string old;
    if (fs::exists(target_, ec)) {
        if (!replaceable(target_)) {
            error = "will not replace " + target_ + ": it holds files qvdb did not write";
            return false;
        }
        // The earlier folder steps aside first, so that the target is never half old, half new.
        old = fs::path(staging_).parent_path() / ("." + fs::path(target_).filename().string() + ".old-XXXXXX");
        if (!::mkdtemp(old.data()) || ::rmdir(old.c_str()) != 0 || ::rename(target_.c_str(), old.c_str()) != 0) {
            error = "cannot replace " + target_ + ": " + std::strerror(errno);
            return false;
        }
    }
    if (::rename(staging_.c_str(), target_.c_str()) != 0) {
        error = "cannot move the output into " + target_ + ": " + std::strerror(errno);
        if (!old.empty()) ::rename(old.c_str(), target_.c_str());
        return false;
    }
    committed_ = true;
    if (!old.empty()) fs::remove_all(old, ec);
    return true;
}

}  // namespace qv::qvdb

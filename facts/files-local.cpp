// This computer's files under a root folder: bounded reads that never open FIFOs or devices.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "facts/files.h"

namespace qv::facts {

namespace {

class LocalFiles : public FileAccess {
public:
    explicit LocalFiles(std::string root) : root_(std::move(root)) {
        while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
        if (root_ == "/") root_.clear();
    }

    std::optional<std::string> read(const std::string& path, std::size_t limit) override {
        int fd = openRegular(path);
        if (fd < 0) return std::nullopt;
        std::string data;
        // Room for the size the file reports (procfs and sysfs report 0 or a page): a large file
        // is not copied again each time its text grows.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size > 65536) data.reserve(std::min(limit, static_cast<std::size_t>(st.st_size) + 1));
        char buf[65536];
        bool failed = false;
        while (data.size() < limit) {
            ssize_t n = ::read(fd, buf, std::min(sizeof buf, limit - data.size()));
            if (n < 0) {
                if (errno == EINTR) continue;
                failed = true;
                break;
            }
            if (n == 0) break;
            data.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        if (failed) return std::nullopt;
        return data;
    }

    std::optional<std::string> readAt(const std::string& path, std::uint64_t offset, std::size_t size) override {
        int fd = openRegular(path);
        if (fd < 0) return std::nullopt;
        std::string data(size, '\0');
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd, data.data() + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        if (done < size) return std::nullopt;
        return data;
    }

    std::vector<std::string> list(const std::string& dir) override {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(host(dir).c_str())) {
            while (dirent* e = ::readdir(d)) {
                if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
                names.emplace_back(e->d_name);
            }
            ::closedir(d);
        }
        return names;
    }

    std::map<std::string, std::time_t> modificationTimes(const std::string& dir, const std::string& suffix) override {
        std::map<std::string, std::time_t> times;
        if (DIR* d = ::opendir(host(dir).c_str())) {
            int fd = ::dirfd(d);
            while (dirent* e = ::readdir(d)) {
                std::string_view name(e->d_name);
                if (name[0] == '.' || name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
                    continue;
                struct stat st {};
                if (::fstatat(fd, e->d_name, &st, 0) == 0) times.emplace(e->d_name, st.st_mtime);
            }
            ::closedir(d);
        }
        return times;
    }

    std::optional<std::string> readLink(const std::string& path) override {
        char buf[PATH_MAX];
        ssize_t n = ::readlink(host(path).c_str(), buf, sizeof buf - 1);
        if (n < 0) return std::nullopt;
        return std::string(buf, static_cast<std::size_t>(n));
    }

    std::optional<std::string> resolve(const std::string& path) override {
        char buf[PATH_MAX];
        if (!::realpath(host(path).c_str(), buf)) return std::nullopt;
        std::string real = buf;
        if (root_.empty()) return real;
        char rootBuf[PATH_MAX];
        std::string root = ::realpath(root_.c_str(), rootBuf) ? rootBuf : root_;
        if (real == root) return std::string("/");
        if (real.compare(0, root.size() + 1, root + "/") != 0) return std::nullopt;
        return real.substr(root.size());
    }

    std::optional<struct stat> status(const std::string& path) override {
        struct stat st {};
        if (::stat(host(path).c_str(), &st) != 0) return std::nullopt;
        return st;
    }

    bool exists(const std::string& path) override {
        struct stat st {};
        return ::lstat(host(path).c_str(), &st) == 0;
    }

    std::optional<FsSpace> space(const std::string& path) override {
        struct statvfs s {};
        if (::statvfs(host(path).c_str(), &s) != 0) return std::nullopt;
        return FsSpace{static_cast<std::uint64_t>(s.f_blocks) * s.f_frsize,
                       static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize};
    }

    std::optional<std::string> localPath(const std::string& path) override { return host(path); }

private:
    std::string host(const std::string& path) const { return root_ + path; }

    // Non-blocking open so that a FIFO or device placed where a file belongs cannot hang the read.
    int openRegular(const std::string& path) {
        int fd = ::open(host(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return -1;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    std::string root_;  // empty for the running system
};

}  // namespace

std::shared_ptr<FileAccess> localFiles(std::string root) { return std::make_shared<LocalFiles>(std::move(root)); }

}  // namespace qv::facts

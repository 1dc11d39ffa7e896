// Reading a settings file on POSIX: opened without waiting, looked at through what was opened.
#include "management/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::management {

namespace {

// What a path that is no regular file holds, as the refusal says it.
std::string notRegular(mode_t mode) {
    if (S_ISDIR(mode)) return "is a folder, not a file";
    if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
    if (S_ISSOCK(mode)) return "is a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
    return "is not a regular file";
}

}  // namespace

SettingsFile readSettingsFile(const std::string& path) {
    SettingsFile file;
    auto refuse = [&](const std::string& why) {
        file.status = FileStatus::Refused;
        file.why = path + " " + why + "; not used";
        return file;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return file;
        return refuse(std::string("cannot be opened (") + std::strerror(errno) + ")");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return refuse(std::string("cannot be examined (") + std::strerror(errno) + ")");
    file.mode = static_cast<unsigned>(st.st_mode & 07777);
    if (!S_ISREG(st.st_mode)) return refuse(notRegular(st.st_mode));
    if (static_cast<unsigned long long>(st.st_size) > kMaxSettingsBytes)
        return refuse("is larger than 1 MiB (" + std::to_string(st.st_size) + " bytes)");
    // A file that grows past the limit while it is read is refused as well.
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return refuse(std::string("cannot be read (") + std::strerror(errno) + ")");
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxSettingsBytes) return refuse("is larger than 1 MiB");
    }
    file.status = FileStatus::Read;
    file.text = std::move(text);
    return file;
}

}  // namespace qv::management

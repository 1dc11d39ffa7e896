// Where the provider's files come from: this computer's file system under a root folder, or
// another computer's read over SFTP. Both give the same answers for the same files.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::facts {

struct FsSpace {
    std::uint64_t size = 0, available = 0;
};

// Sets a caller will ask for soon (folders listed, paths' own statuses, links resolved, links'
// targets, file-system sizes, files read up to their limits), asked for at once by a remote
// back-end.
struct Wanted {
    std::vector<std::string> folders, statuses, resolved, links;
    std::vector<std::string> spaces;  // paths whose file system's size is asked
    std::vector<std::pair<std::string, std::size_t>> files;  // path, limit
};

// Paths are absolute as seen on the inventoried system ("/proc/meminfo"). Every read stops at
// end of file, never at the size the file reports (procfs and sysfs report 0 or 4096).
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // A regular file's contents up to `limit` bytes; absent when missing, unreadable, not a
    // regular file (FIFOs and devices are never opened), or the read failed.
    virtual std::optional<std::string> read(const std::string& path, std::size_t limit) = 0;
    // Several files read as `read` reads each, in the order given; a remote back-end asks for
    // them all before awaiting the answers.
    virtual std::vector<std::optional<std::string>> readMany(const std::vector<std::string>& paths, std::size_t limit) {
        std::vector<std::optional<std::string>> out;
        for (const auto& path : paths) out.push_back(read(path, limit));
        return out;
    }
    // A file a package installs alike on every computer that has it (an id database): read as
    // `read` reads it, but a remote back-end may take this computer's own copy when its size and
    // modification time are those of the remote one (the check rsync makes), sparing the transfer.
    virtual std::optional<std::string> readPackaged(const std::string& path, std::size_t limit) { return read(path, limit); }
    // Exactly `size` bytes at `offset` of a regular file; absent when fewer are there.
    virtual std::optional<std::string> readAt(const std::string& path, std::uint64_t offset, std::size_t size) = 0;
    // Several such pieces, of one file or many, in the order given; a remote back-end asks for
    // them all before awaiting the answers.
    struct Range {
        std::string path;
        std::uint64_t offset = 0;
        std::size_t size = 0;
    };
    virtual std::vector<std::optional<std::string>> readRanges(const std::vector<Range>& ranges) {
        std::vector<std::optional<std::string>> out;
        for (const auto& r : ranges) out.push_back(readAt(r.path, r.offset, r.size));
        return out;
    }
    // Names in a folder without "." and "..", in no particular order; empty when unreadable.
    virtual std::vector<std::string> list(const std::string& dir) = 0;
    // Modification times (links followed) of the entries whose names end in `suffix` and do not
    // start with a dot.
    virtual std::map<std::string, std::time_t> modificationTimes(const std::string& dir, const std::string& suffix) = 0;
    virtual std::optional<std::string> readLink(const std::string& path) = 0;
    virtual std::vector<std::optional<std::string>> readLinks(const std::vector<std::string>& paths) {
        std::vector<std::optional<std::string>> out;
        for (const auto& path : paths) out.push_back(readLink(path));
        return out;
    }
    // The path with every link resolved, as seen on the system; absent when unresolvable.
    virtual std::optional<std::string> resolve(const std::string& path) = 0;
    virtual std::vector<std::optional<std::string>> resolveMany(const std::vector<std::string>& paths) {
        std::vector<std::optional<std::string>> out;
        for (const auto& path : paths) out.push_back(resolve(path));
        return out;
    }
    virtual std::optional<struct stat> status(const std::string& path) = 0;  // follows links
    virtual bool exists(const std::string& path) = 0;                        // the path itself, links not followed
    virtual std::optional<FsSpace> space(const std::string& path) = 0;       // the file system holding path
    // Hints that these folders will be listed, and these paths' statuses asked, soon: a remote
    // back-end asks for them all at once. Answers are the same with or without the hint.
    virtual void prefetchListings(const std::vector<std::string>&) {}
    virtual void prefetchStatuses(const std::vector<std::string>&) {}
    // All of these at once: a remote back-end sends every request before it awaits an answer, and
    // keeps the answers for the calls that follow.
    virtual void prefetch(const Wanted&) {}
    // The path libraries that open files themselves (SQLite) can use; absent for remote files.
    virtual std::optional<std::string> localPath(const std::string& path) = 0;
    // True once the files can no longer be reached (the connection was lost or cut at its time
    // limit): every later call fails at once.
    virtual bool lost() const { return false; }
};

// This computer's files under `root` ("/" for the running system).
std::shared_ptr<FileAccess> localFiles(std::string root);

}  // namespace qv::facts

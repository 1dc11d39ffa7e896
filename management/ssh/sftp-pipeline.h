// Many SFTP requests in flight at once on a channel of their own: files read and statuses asked
// for in batches, so that a batch costs a few round trips instead of a few per file.
#pragma once

#include <libssh/libssh.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::management::ssh {

// SFTP version 3 as OpenSSH speaks it, on a channel of an SSH session: only the requests that
// read (stat, open, read, readdir, readlink, realpath, close, and the statvfs extension). Used by
// the one thread that owns the session. Once a batch fails (connection lost or cut, or the server
// broke the protocol) the pipeline is broken and every later batch fails at once.
class SftpPipeline {
public:
    // Null when the server offers no SFTP channel.
    static std::unique_ptr<SftpPipeline> open(ssh_session ssh);
    ~SftpPipeline();
    SftpPipeline(const SftpPipeline&) = delete;
    SftpPipeline& operator=(const SftpPipeline&) = delete;

    struct Read {
        std::string path;
        std::size_t limit = 0;     // bytes kept at most
        bool statFirst = true;     // asks the type first: only regular files are opened (never a FIFO)
        // The size of a regular file already known (from a listing): an answer shorter than asked
        // that ends there ends the file.
        std::optional<std::uint64_t> size;
        // A first answer shorter than this (and than asked) holds the whole file: files the kernel
        // answers in one piece (sysfs attributes, /proc/sys settings). 0: read on to the end.
        std::size_t wholeBelow = 0;
        std::uint64_t offset = 0;  // where reading starts
    };
    // Each file's contents up to its limit, read to end of file (never to the size it reports);
    // absent when missing, unreadable, not a regular file, or its read failed. False when the
    // batch failed as a whole.
    bool read(const std::vector<Read>& files, std::vector<std::optional<std::string>>& out);
    // Each path's status, links followed (stat) or not (lstat); absent when it cannot be had.
    bool status(const std::vector<std::string>& paths, bool followLinks, std::vector<std::optional<struct stat>>& out);
    // Each link's target; absent when the path is no link or cannot be read.
    bool readLinks(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out);
    // Each path with every link resolved; absent when it does not resolve to something that exists.
    bool realPaths(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out);

    // A folder's entries, "." and ".." included, each with its own status (links not followed),
    // up to maxEntries; empty when the folder cannot be listed. Only the fields a listing is asked
    // for are kept: folders of thousands of entries are common (/var/lib/dpkg/info).
    struct EntryStatus {
        mode_t mode = 0;
        off_t size = 0;
        std::time_t mtime = 0;
    };
    using Entry = std::pair<std::string, EntryStatus>;
    bool list(const std::string& dir, std::size_t maxEntries, std::vector<Entry>& out);
    // Several folders listed as `list` lists each, all read at once.
    bool listMany(const std::vector<std::string>& dirs, std::size_t maxEntries, std::vector<std::vector<Entry>>& outs);

    // The file system holding path (statvfs@openssh.com): its size and the room left to ordinary
    // users; absent when the server lacks the extension or the call fails.
    struct Space {
        std::uint64_t size = 0, available = 0;
    };
    bool space(const std::string& path, std::optional<Space>& out);
    // Several paths' file systems, asked for at once.
    bool spaces(const std::vector<std::string>& paths, std::vector<std::optional<Space>>& out);

    // Sets asked for at once: their requests go out together and share round trips. Each answer
    // is as the call for that set alone gives it.
    struct Together {
        std::vector<std::string> folders;  // listed as listMany lists them
        std::size_t maxEntries = 0;
        std::vector<std::vector<Entry>> listings;
        std::vector<std::string> ownStatuses;  // their statuses, links not followed
        std::vector<std::optional<struct stat>> owned;
        std::vector<std::string> resolve;  // as realPaths
        std::vector<std::optional<std::string>> resolved;
        std::vector<std::string> links;  // as readLinks
        std::vector<std::optional<std::string>> targets;
        std::vector<std::string> spaces;  // as spaces
        std::vector<std::optional<Space>> spaceOf;
        std::vector<Read> reads;  // as read
        std::vector<std::optional<std::string>> contents;
    };
    bool together(Together& t);

    bool broken() const { return broken_; }
    bool channelOpen() const;
    // Round trips waited for: requests in flight together count once.
    std::size_t roundTrips() const { return roundTrips_; }
    std::size_t requests() const { return requests_; }

private:
    explicit SftpPipeline(ssh_channel channel) : channel_(channel) {}
    struct Packet {
        std::uint8_t type = 0;
        std::uint32_t id = 0;
        std::string body;  // after the id
    };
    std::uint32_t send(std::uint8_t type, const std::string& payload);
    void flush();  // sends the gathered requests
    static constexpr std::size_t kGatherLimit = 32 * 1024;
    bool receive(Packet& packet);
    bool receiveBytes(char* dest, std::size_t count);
    // The sets of requests a call drives at once (defined where the pipeline is).
    struct Job;
    struct PathJob;
    struct ListJob;
    struct ReadJob;
    bool drive(std::initializer_list<Job*> jobs);

    ssh_channel channel_;
    std::uint32_t nextId_ = 1;
    bool broken_ = false;
    std::uint32_t roundEnd_ = 0;  // requests from this id on were sent during the current round trip
    std::size_t roundTrips_ = 0;
    std::size_t requests_ = 0;
    std::string outgoing_;  // requests gathered, not yet sent
    bool statvfs_ = false;  // the server offers statvfs@openssh.com
};

}  // namespace qv::management::ssh

// Reading the facts of one Linux system under a root directory, with a per-connection cache.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "facts/files.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qv::facts {

// One address of an interface, as getifaddrs gives it.
struct InterfaceAddress {
    std::string interface;
    bool ipv6 = false;
    std::string address;  // inet_ntop text
    std::string netmask;  // dotted mask (IPv4) or prefix length (IPv6)
    bool up = false;
};

// The facts that no file under the root holds: system calls and the clock. The live set asks the
// running kernel; tests substitute their own. Where a probe is absent (another computer's files),
// the provider takes the fact from files: addresses from procfs, the processor id from
// /proc/cpuinfo, file-system sizes from the file access.
struct Probes {
    std::function<std::vector<InterfaceAddress>()> interfaceAddresses;
    std::function<std::optional<FsSpace>(const std::string& hostPath)> fsSpace;
    std::function<std::optional<std::string>()> processorId;  // CPUID leaf 1, EDX then EAX
    std::function<std::optional<std::time_t>(const std::string& hostPath)> birthTime;
    std::function<std::optional<std::string>(const std::string& name)> environment;
    std::function<std::string()> machine;  // uname machine
    std::function<std::time_t()> now;
};
Probes liveProbes();

struct Options {
    std::string root = "/";
    Probes probes = liveProbes();
    std::shared_ptr<FileAccess> files;  // null: this computer's files under root
    std::size_t maxFileBytes = 8u << 20;      // a larger file is read only this far
    std::size_t maxDatabaseBytes = 128u << 20;  // package databases and id lists may be larger
    // Another computer's files: the first call asks for what every inventory reads at once
    // (warmUp), so that it costs a few round trips rather than a few per file.
    bool warmUp = false;
};

// What a class reads of every item of a kind (device, disk, processor, process), gathered to be
// asked for at once: by the class itself, or ahead of it for another computer (warmUp).
struct Ahead {
    std::vector<std::string> files, folders, resolved;  // read, listed, their links resolved
    std::vector<std::string> statuses;                  // looked at (status, links followed)
    std::vector<std::string> largeFiles;                // read up to the larger limit
    std::vector<std::string> links;                     // their targets read (readlink)
    std::vector<std::string> spaces;                    // their file systems' sizes
};

// Files, directories and links of the inventoried system. Every path given is absolute as seen on
// it ("/proc/meminfo"); locally it is read from root + path. A file that cannot be read
// (missing, no permission, not a regular file, vanished, read error) is absent.
class Source {
public:
    explicit Source(Options options);
    const Options& options() const { return options_; }
    const Probes& probes() const { return options_.probes; }
    FileAccess& files() { return *options_.files; }
    // The path on this computer for the local probes (root + path).
    std::string hostPath(const std::string& path) const;

    // Whole file (up to the size limit), cached for the connection.
    const std::optional<std::string>& file(const std::string& path, bool large = false);
    // A packaged database (an id list), cached as file() caches; see FileAccess::readPackaged.
    const std::optional<std::string>& packagedFile(const std::string& path);
    // Reads the files not yet cached all at once (a remote computer answers them in a few round
    // trips); file() then finds them in the cache.
    void prefetch(const std::vector<std::string>& paths, bool large = false);
    void prefetch(const Ahead& ahead);  // all of it at once
    // First line of a file with blanks trimmed; absent when the file is absent or blank.
    std::optional<std::string> attr(const std::string& path);
    // Names in a directory, sorted, without "." and ".."; empty when unreadable. Cached.
    const std::vector<std::string>& list(const std::string& dir);
    void prefetchListings(const std::vector<std::string>& dirs);  // as prefetch, for list()
    std::optional<std::string> link(const std::string& path);  // readlink target, cached
    void prefetchLinks(const std::vector<std::string>& paths);  // as prefetch, for link()
    // The fully resolved path as seen on the system (root prefix removed); absent when unresolvable.
    // Cached, as is exists.
    std::optional<std::string> resolve(const std::string& path);
    void prefetchResolved(const std::vector<std::string>& paths);  // as prefetch, for resolve()
    std::optional<struct stat> status(const std::string& path);  // stat (follows links)
    bool exists(const std::string& path);
    bool isDir(const std::string& path);
    // Size and space available to ordinary users of the file system holding path.
    std::optional<FsSpace> space(const std::string& path);
    // Modification times of the entries of a directory whose names end in `suffix`, by name
    // (one pass, cached).
    const std::map<std::string, std::time_t>& modificationTimes(const std::string& dir, const std::string& suffix);

    // Per-connection memo for derived data (parsed tables shared between classes).
    template <class T>
    T& memo(const std::string& key, const std::function<T()>& make) {
        auto it = memos_.find(key);
        if (it == memos_.end()) {
            auto holder = std::make_shared<Holder<T>>(make());
            it = memos_.emplace(key, holder).first;
        }
        return static_cast<Holder<T>*>(it->second.get())->value;
    }

private:
    struct HolderBase {
        virtual ~HolderBase() = default;
    };
    template <class T>
    struct Holder : HolderBase {
        explicit Holder(T v) : value(std::move(v)) {}
        T value;
    };
    Options options_;
    std::map<std::string, std::optional<std::string>> files_;
    std::map<std::string, std::vector<std::string>> lists_;
    std::map<std::string, std::optional<std::string>> links_, resolved_;
    std::map<std::string, bool> exists_;
    std::map<std::string, std::map<std::string, std::time_t>> times_;
    std::map<std::string, std::shared_ptr<HolderBase>> memos_;
};

// Asks for the fixed files, folders and statuses every inventory reads, all at once.
void warmUp(Source& s);

// Text helpers: the shared ones, and the file formats the provider reads.
using text::endsWith;
using text::parseUnsigned;
using text::splitLines;
using text::splitWords;
using text::startsWith;
using text::trim;
using text::unquote;
std::string baseName(const std::string& path);
// KEY=VALUE lines (comments and blank lines skipped, values unquoted), in file order.
std::vector<std::pair<std::string, std::string>> keyValues(std::string_view text);
std::optional<std::string> keyValue(std::string_view text, const std::string& key);

// An INI-style file ([section] then key = value), as smb.conf and systemd units are written.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
    std::optional<std::string> get(const std::string& key) const;  // last value, key compared ignoring case and blanks
};
std::vector<IniSection> parseIni(std::string_view text, bool lineContinuations = false);

// WMI date-time text yyyymmddHHMMSS.mmmmmm+UUU for a moment, in local time.
std::string cimDateTime(std::time_t when);
// Date-only form yyyymmdd000000.000000+000.
std::string cimDate(int year, int month, int day);

// Property setting on instances.
Value textOrNull(const std::optional<std::string>& s);
Value uint64Text(std::uint64_t n);  // 64-bit numbers travel as decimal texts
Value intOrNull(const std::optional<std::int64_t>& n);
Value textList(const std::vector<std::string>& items);  // Null when empty

}  // namespace qv::facts

// Another computer's files over SFTP, asked in batches and kept for the connection.
#include "management/ssh/sftp-files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "facts/source.h"
#include "management/ssh/sftp-pipeline.h"

namespace qv::management::ssh {

namespace {

using facts::FsSpace;

constexpr std::size_t kMaxEntries = 1u << 20;  // names read from one folder

// Another computer's files over SFTP, many requests in flight at once. Once the connection is
// gone every call fails at once.
class SftpFiles : public facts::FileAccess {
public:
    explicit SftpFiles(std::shared_ptr<Session> session) : s_(std::move(session)), sftp_(*s_->sftp) {}

    std::optional<std::string> read(const std::string& path, std::size_t limit) override {
        return readMany({path}, limit).front();
    }

    // procfs and sysfs hold no FIFOs: their files are opened without asking their type first,
    // which saves a round trip on most reads (a directory then fails to read). Other files are
    // opened only once their status (asked for, or known from a listing) says they are regular.
    std::vector<std::optional<std::string>> readMany(const std::vector<std::string>& paths, std::size_t limit) override {
        std::vector<std::optional<std::string>> out(paths.size());
        if (!s_->alive()) return out;
        std::vector<SftpPipeline::Read> reads;
        std::vector<std::size_t> index;  // position in paths of each read
        for (std::size_t k = 0; k < paths.size(); ++k) {
            // Read already, with the same limit, in a set asked for at once.
            if (auto it = fetched_.find(paths[k]); it != fetched_.end() && it->second.first == limit) {
                out[k] = std::move(it->second.second);
                fetched_.erase(it);
                continue;
            }
            SftpPipeline::Read read;
            if (!readFor(paths[k], limit, read)) continue;
            reads.push_back(std::move(read));
            index.push_back(k);
        }
        if (reads.empty()) return out;
        std::vector<std::optional<std::string>> contents;
        if (!sftp_.read(reads, contents)) return lose<std::vector<std::optional<std::string>>>(paths.size());
        for (std::size_t k = 0; k < index.size(); ++k) out[index[k]] = std::move(contents[k]);
        return out;
    }

    // One status request, then this computer's copy when it matches; the remote one otherwise.
    std::optional<std::string> readPackaged(const std::string& path, std::size_t limit) override {
        auto remote = status(path);
        if (!remote || !S_ISREG(remote->st_mode)) return std::nullopt;
        struct stat own {};
        if (::stat(path.c_str(), &own) == 0 && S_ISREG(own.st_mode) && own.st_size == remote->st_size &&
            own.st_mtime == remote->st_mtime)
            if (auto copy = facts::localFiles("/")->read(path, limit))
                if (copy->size() == std::min<std::size_t>(static_cast<std::size_t>(own.st_size), limit)) return copy;
        return read(path, limit);
    }

    std::optional<std::string> readAt(const std::string& path, std::uint64_t offset, std::size_t size) override {
        return readRanges({{path, offset, size}}).front();
    }

    // Each piece read as a file of its own (opened, read, closed), all in flight together.
    std::vector<std::optional<std::string>> readRanges(const std::vector<Range>& ranges) override {
        std::vector<std::optional<std::string>> out(ranges.size());
        if (!s_->alive()) return out;
        std::vector<SftpPipeline::Read> reads;
        std::vector<std::size_t> index;
        for (std::size_t k = 0; k < ranges.size(); ++k) {
            SftpPipeline::Read read;
            if (!readFor(ranges[k].path, ranges[k].size, read)) continue;
            read.offset = ranges[k].offset;
            read.wholeBelow = 0;
            reads.push_back(std::move(read));
            index.push_back(k);
        }
        std::vector<std::optional<std::string>> contents;
        if (!reads.empty() && !sftp_.read(reads, contents)) return lose<std::vector<std::optional<std::string>>>(ranges.size());
        for (std::size_t k = 0; k < index.size(); ++k)
            if (contents[k] && contents[k]->size() == ranges[index[k]].size) out[index[k]] = std::move(contents[k]);
        return out;
    }

    std::vector<std::string> list(const std::string& dir) override {
        std::vector<std::string> names;
        for (const auto& [name, st] : entries(dir)) names.push_back(name);
        return names;
    }

    std::map<std::string, std::time_t> modificationTimes(const std::string& dir, const std::string& suffix) override {
        std::map<std::string, std::time_t> times;
        std::vector<std::string> links;
        for (const auto& [name, st] : entries(dir)) {
            if (name.empty() || name[0] == '.' || !name.ends_with(suffix)) continue;
            if (S_ISLNK(st.mode)) links.push_back(dir + "/" + name);  // listings describe the link itself
            else times.emplace(name, st.mtime);
        }
        std::vector<std::optional<struct stat>> targets;
        if (!links.empty() && s_->alive() && !sftp_.status(links, true, targets)) return lose<std::map<std::string, std::time_t>>();
        for (std::size_t k = 0; k < links.size() && k < targets.size(); ++k)
            if (targets[k]) times.emplace(facts::baseName(links[k]), targets[k]->st_mtime);
        return times;
    }

    std::optional<std::string> readLink(const std::string& path) override { return readLinks({path}).front(); }

    // Only paths a listing does not already show to be something other than a link are asked.
    std::vector<std::optional<std::string>> readLinks(const std::vector<std::string>& paths) override {
        return keptOrAsked(paths, targets_, [this](const std::string& path) { return maybeLink(path); },
                           [this](const auto& asked, auto& answers) { return sftp_.readLinks(asked, answers); });
    }

    std::vector<std::optional<std::string>> resolveMany(const std::vector<std::string>& paths) override {
        return keptOrAsked(paths, resolved_, [](const std::string&) { return true; },
                           [this](const auto& asked, auto& answers) { return sftp_.realPaths(asked, answers); });
    }
    std::optional<std::string> resolve(const std::string& path) override { return resolveMany({path}).front(); }

    // Cached: reads, folder checks and time lookups ask for the same paths.
    std::optional<struct stat> status(const std::string& path) override {
        if (!s_->alive()) return std::nullopt;
        if (auto st = known(path)) return *st;
        std::vector<std::optional<struct stat>> st;
        if (!sftp_.status({path}, true, st)) return lose<std::optional<struct stat>>();
        status_.emplace(path, st.front());
        return st.front();
    }

    bool exists(const std::string& path) override {
        if (!s_->alive()) return false;
        if (auto own = ownStatus(path)) return own->has_value();
        std::vector<std::optional<struct stat>> st;
        if (!sftp_.status({path}, false, st)) return lose<bool>();
        lstat_.emplace(path, st.front());
        return st.front().has_value();
    }

    std::optional<FsSpace> space(const std::string& path) override {
        std::optional<SftpPipeline::Space> v;
        if (auto it = spaces_.find(path); it != spaces_.end()) v = it->second;
        else if (!s_->alive()) return std::nullopt;
        else if (!sftp_.space(path, v)) return lose<std::optional<FsSpace>>();
        if (!v) return std::nullopt;
        return FsSpace{v->size, v->available};
    }

    std::optional<std::string> localPath(const std::string&) override { return std::nullopt; }
    bool lost() const override { return lost_ || !s_->alive(); }

    // Folders listed together ahead of the provider's asking.
    void prefetchListings(const std::vector<std::string>& dirs) override {
        std::vector<std::string> missing;
        for (const auto& dir : dirs)
            if (!listings_.count(dir)) missing.push_back(dir);
        if (missing.empty() || !s_->alive()) return;
        std::vector<std::vector<SftpPipeline::Entry>> outs;
        if (!sftp_.listMany(missing, kMaxEntries, outs)) return lose<void>();
        for (std::size_t k = 0; k < missing.size(); ++k) keepListing(missing[k], std::move(outs[k]));
    }
    // Statuses asked together ahead of the provider's asking: each path's own (lstat), then the
    // targets' of those that are links.
    void prefetchStatuses(const std::vector<std::string>& paths) override {
        std::vector<std::string> missing;
        for (const auto& path : paths)
            if (!ownStatus(path)) missing.push_back(path);
        if (missing.empty() || !s_->alive()) return;
        std::vector<std::optional<struct stat>> own;
        if (!sftp_.status(missing, false, own)) return lose<void>();
        keepStatuses(missing, own);
    }

    // Folders, statuses, paths to resolve, link targets, file-system sizes and files asked for in
    // one go: the answers are kept where the calls that follow look first.
    void prefetch(const facts::Wanted& wanted) override {
        if (!s_->alive()) return;
        SftpPipeline::Together t;
        t.maxEntries = kMaxEntries;
        for (const auto& dir : wanted.folders)
            if (!listings_.count(dir)) t.folders.push_back(dir);
        for (const auto& path : wanted.statuses)
            if (!ownStatus(path)) t.ownStatuses.push_back(path);
        for (const auto& path : wanted.resolved)
            if (!resolved_.count(path)) t.resolve.push_back(path);
        for (const auto& path : wanted.links)
            if (!targets_.count(path) && maybeLink(path)) t.links.push_back(path);
        for (const auto& path : wanted.spaces)
            if (!spaces_.count(path)) t.spaces.push_back(path);
        for (const auto& [path, limit] : wanted.files) {
            SftpPipeline::Read read;
            if (!fetched_.count(path) && readFor(path, limit, read)) t.reads.push_back(std::move(read));
        }
        if (t.folders.empty() && t.ownStatuses.empty() && t.resolve.empty() && t.links.empty() && t.spaces.empty() &&
            t.reads.empty())
            return;
        if (!sftp_.together(t)) return lose<void>();
        for (std::size_t k = 0; k < t.folders.size(); ++k) keepListing(t.folders[k], std::move(t.listings[k]));
        for (std::size_t k = 0; k < t.resolve.size(); ++k) resolved_.emplace(t.resolve[k], std::move(t.resolved[k]));
        for (std::size_t k = 0; k < t.links.size(); ++k) targets_.emplace(t.links[k], std::move(t.targets[k]));
        for (std::size_t k = 0; k < t.spaces.size(); ++k) spaces_.emplace(t.spaces[k], t.spaceOf[k]);
        for (std::size_t k = 0; k < t.reads.size(); ++k)
            fetched_.insert_or_assign(t.reads[k].path, std::make_pair(t.reads[k].limit, std::move(t.contents[k])));
        keepStatuses(t.ownStatuses, t.owned);
    }

private:
    // Each path's answer as kept from a set asked for at once, else asked now (those `worth`
    // asking, together).
    template <class Worth, class Ask>
    std::vector<std::optional<std::string>> keptOrAsked(const std::vector<std::string>& paths,
                                                        const std::map<std::string, std::optional<std::string>>& kept,
                                                        Worth worth, Ask ask) {
        std::vector<std::optional<std::string>> out(paths.size());
        std::vector<std::string> asked;
        std::vector<std::size_t> index;
        for (std::size_t k = 0; k < paths.size(); ++k) {
            if (auto it = kept.find(paths[k]); it != kept.end()) out[k] = it->second;
            else if (worth(paths[k])) asked.push_back(paths[k]), index.push_back(k);
        }
        if (asked.empty() || !s_->alive()) return out;
        std::vector<std::optional<std::string>> answers;
        if (!ask(asked, answers)) return lose<std::vector<std::optional<std::string>>>(paths.size());
        for (std::size_t k = 0; k < index.size() && k < answers.size(); ++k) out[index[k]] = std::move(answers[k]);
        return out;
    }

    // Own statuses asked for: kept, and the targets of those that are links asked for next.
    void keepStatuses(const std::vector<std::string>& paths, const std::vector<std::optional<struct stat>>& own) {
        std::vector<std::string> links;
        for (std::size_t k = 0; k < paths.size() && k < own.size(); ++k) {
            lstat_.emplace(paths[k], own[k]);
            if (own[k] && S_ISLNK(own[k]->st_mode)) links.push_back(paths[k]);
        }
        std::vector<std::optional<struct stat>> targets;
        if (links.empty() || !s_->alive()) return;
        if (!sftp_.status(links, true, targets)) return lose<void>();
        for (std::size_t k = 0; k < links.size() && k < targets.size(); ++k) status_.emplace(links[k], targets[k]);
    }

    // How a file is read: false when what is known of it already says there is nothing to read
    // (missing, a folder, a FIFO...). procfs and sysfs listings give sizes (4096) that are not
    // the contents': only the type counts there.
    bool readFor(const std::string& path, std::size_t limit, SftpPipeline::Read& read) {
        read.path = path;
        read.limit = limit;
        read.wholeBelow = wholeAnswerBelow(path);
        if (pseudo(path)) {
            read.statFirst = false;
        } else if (auto st = known(path)) {
            if (!*st || !S_ISREG((*st)->st_mode)) return false;
            read.statFirst = false;
            read.size = static_cast<std::uint64_t>((*st)->st_size);
        }
        return true;
    }

    // The connection failed (lost, cut at its limit, or the server broke the protocol): this and
    // every later call answer with nothing.
    template <class T, class... Args>
    T lose(Args... args) {
        lost_ = true;
        if constexpr (!std::is_void_v<T>) return T(args...);
    }

    static bool pseudo(const std::string& path) { return path.starts_with("/proc/") || path.starts_with("/sys/"); }

    // How short a first answer must be to hold the whole file. sysfs attributes are answered
    // whole, a page at most (binary ones a page at a time); /proc/sys settings and a process's
    // own files are answered whole. Other procfs files are answered a page of records at a time.
    static std::size_t wholeAnswerBelow(const std::string& path) {
        constexpr std::size_t kPage = 4096, kAny = SIZE_MAX;
        if (path.starts_with("/sys/"))
            return path.starts_with("/sys/fs/") || path.starts_with("/sys/kernel/") ? 0 : kPage;
        if (path.starts_with("/proc/sys/")) return kAny;
        if (!path.starts_with("/proc/")) return 0;
        std::size_t slash = path.find('/', 6);
        if (slash == 6 || slash == std::string::npos ||
            path.find_first_not_of("0123456789", 6) != slash)
            return 0;
        std::string_view file = std::string_view(path).substr(slash + 1);
        return file == "cmdline" || file == "comm" || file == "stat" || file == "statm" || file == "status" ? kAny : 0;
    }

    // What is known of a path without asking: its status (links followed), from an earlier
    // status request or from a listing of its folder that showed it as no link. Absent: unknown;
    // holding nothing: the path is missing.
    std::optional<std::optional<struct stat>> known(const std::string& path) {
        if (auto it = status_.find(path); it != status_.end()) return it->second;
        if (auto own = ownStatus(path); own && !(*own && S_ISLNK((*own)->st_mode))) return *own;
        return std::nullopt;
    }
    // False when a listing or an earlier lstat shows the path missing or not a link.
    bool maybeLink(const std::string& path) {
        auto own = ownStatus(path);
        return !own || (*own && S_ISLNK((*own)->st_mode));
    }
    // The path's own status (links not followed) when known without asking: from an lstat asked
    // earlier, or from a whole listing of its folder (holding nothing: the path is missing).
    std::optional<std::optional<struct stat>> ownStatus(const std::string& path) const {
        if (auto it = lstat_.find(path); it != lstat_.end()) return it->second;
        auto slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return std::nullopt;
        auto listing = listings_.find(path.substr(0, slash));
        if (listing == listings_.end() || !listing->second.whole) return std::nullopt;
        const auto& entries = listing->second.byName;
        std::string_view name = std::string_view(path).substr(slash + 1);
        auto it = std::lower_bound(entries.begin(), entries.end(), name,
                                   [](const SftpPipeline::Entry& e, std::string_view n) { return e.first < n; });
        if (it == entries.end() || it->first != name) return std::optional<struct stat>();
        struct stat st {};
        st.st_mode = it->second.mode;
        st.st_size = it->second.size;
        st.st_mtime = it->second.mtime;
        st.st_nlink = 1;
        return st;
    }

    // A folder's entries without "." and "..", each with its own status (links not followed).
    // Cached for the connection, as the provider caches what it lists.
    const std::vector<SftpPipeline::Entry>& entries(const std::string& dir) {
        static const std::vector<SftpPipeline::Entry> none;
        prefetchListings({dir});
        auto it = listings_.find(dir);
        return it == listings_.end() ? none : it->second.byName;
    }

    // What a whole listing shows is remembered for the connection: later reads, links and checks
    // of these entries ask nothing of the server. Listings of procfs and sysfs change as processes
    // and devices come and go, and their sizes are not their contents': they answer no such
    // question.
    void keepListing(const std::string& dir, std::vector<SftpPipeline::Entry> out) {
        std::erase_if(out, [](const auto& e) { return e.first == "." || e.first == ".."; });
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Listing& kept = listings_.insert_or_assign(dir, Listing{std::move(out), false}).first->second;
        kept.whole = !lost() && kept.byName.size() < kMaxEntries && !pseudo(dir + "/") && !dir.empty() && dir.back() != '/';
    }

    std::shared_ptr<Session> s_;
    SftpPipeline& sftp_;
    bool lost_ = false;
    std::map<std::string, std::optional<struct stat>> status_;
    std::map<std::string, std::optional<std::string>> resolved_;  // links resolved (realpath)
    std::map<std::string, std::optional<std::string>> targets_;   // links read (readlink)
    std::map<std::string, std::optional<SftpPipeline::Space>> spaces_;  // file systems' sizes
    // Files read in a set asked for at once, until the provider takes them: limit and contents.
    std::map<std::string, std::pair<std::size_t, std::optional<std::string>>> fetched_;
    // Paths' own statuses (links not followed; empty: missing) asked for one by one.
    std::map<std::string, std::optional<struct stat>> lstat_;
    struct Listing {
        std::vector<SftpPipeline::Entry> byName;  // sorted by name
        bool whole = false;                        // every entry is there, and tells of it
    };
    std::map<std::string, Listing> listings_;
};

}  // namespace

std::shared_ptr<facts::FileAccess> makeSftpFiles(std::shared_ptr<Session> session) {
    return std::make_shared<SftpFiles>(std::move(session));
}

}  // namespace qv::management::ssh

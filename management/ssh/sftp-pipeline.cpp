// Pipelined SFTP reads: requests for many files sent before their answers are awaited.
#include "management/ssh/sftp-pipeline.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>

namespace qv::management::ssh {

namespace {

// Packet types and codes of SFTP version 3.
enum : std::uint8_t {
    kInit = 1,
    kVersion = 2,
    kOpen = 3,
    kClose = 4,
    kRead = 5,
    kLstat = 7,
    kOpendir = 11,
    kReaddir = 12,
    kRealpath = 16,
    kStat = 17,
    kReadlink = 19,
    kStatus = 101,
    kHandle = 102,
    kData = 103,
    kName = 104,
    kAttrs = 105,
    kExtended = 200,
    kExtendedReply = 201,
};
constexpr std::uint32_t kOpenRead = 1;
constexpr std::uint32_t kStatusEof = 1;
constexpr std::uint32_t kAttrSize = 1, kAttrUidGid = 2, kAttrPermissions = 4, kAttrTimes = 8,
                        kAttrExtended = 0x80000000u;

constexpr std::uint32_t kChunk = 65536;       // bytes asked for by one read (OpenSSH answers up to 256 KB)
constexpr std::size_t kMaxPacket = 1u << 20;  // a longer answer breaks the protocol: nothing asks for one
constexpr std::size_t kFilesAtOnce = 128;     // files open at once (bounds handles and memory)
constexpr std::size_t kReadsAtOnce = 16;      // reads in flight for one file of known size
constexpr std::size_t kReadsAhead = 4;        // reads in flight for one file once it proved long
constexpr std::size_t kPathsAtOnce = 1024;    // stat and readlink requests in flight (a few hundred bytes each)

void putU32(std::string& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out += static_cast<char>((v >> shift) & 0xff);
}
void putU64(std::string& out, std::uint64_t v) {
    putU32(out, static_cast<std::uint32_t>(v >> 32));
    putU32(out, static_cast<std::uint32_t>(v));
}
void putText(std::string& out, const std::string& s) {
    putU32(out, static_cast<std::uint32_t>(s.size()));
    out += s;
}

// Reads big-endian fields from an answer; any read past its end marks it malformed.
struct Reader {
    const std::string& s;
    std::size_t at = 0;
    bool bad = false;
    std::uint64_t uint(int bytes) {
        if (s.size() - at < static_cast<std::size_t>(bytes)) {
            bad = true;
            return 0;
        }
        std::uint64_t v = 0;
        for (int k = 0; k < bytes; ++k) v = (v << 8) | static_cast<unsigned char>(s[at++]);
        return v;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(uint(4)); }
    std::uint64_t u64() { return uint(8); }
    std::string text() {
        std::uint32_t n = u32();
        if (bad || s.size() - at < n) {
            bad = true;
            return {};
        }
        std::string out = s.substr(at, n);
        at += n;
        return out;
    }
};

// An open request for reading.
std::string openPayload(const std::string& path) {
    std::string payload;
    putText(payload, path);
    putU32(payload, kOpenRead);
    putU32(payload, 0);  // no attributes
    return payload;
}

// The one name of a readlink or realpath answer.
std::optional<std::string> oneName(std::uint8_t type, Reader& r) {
    if (type != kName || r.u32() != 1) return std::nullopt;
    std::string name = r.text();
    if (r.bad) return std::nullopt;
    return name;
}

std::optional<struct stat> attributes(Reader& r) {
    struct stat st {};
    std::uint32_t flags = r.u32();
    if (flags & kAttrSize) st.st_size = static_cast<off_t>(r.u64());
    if (flags & kAttrUidGid) {
        st.st_uid = r.u32();
        st.st_gid = r.u32();
    }
    if (flags & kAttrPermissions) st.st_mode = static_cast<mode_t>(r.u32());
    if (flags & kAttrTimes) {
        st.st_atime = static_cast<std::time_t>(r.u32());
        st.st_mtime = static_cast<std::time_t>(r.u32());
    }
    if (flags & kAttrExtended)
        for (std::uint32_t n = r.u32(); n > 0 && !r.bad; --n) r.text(), r.text();
    st.st_nlink = 1;
    if (r.bad) return std::nullopt;
    return st;
}

}  // namespace

std::unique_ptr<SftpPipeline> SftpPipeline::open(ssh_session ssh) {
    ssh_channel channel = ssh_channel_new(ssh);
    if (!channel) return nullptr;
    if (ssh_channel_open_session(channel) != SSH_OK || ssh_channel_request_subsystem(channel, "sftp") != SSH_OK) {
        ssh_channel_free(channel);
        return nullptr;
    }
    std::unique_ptr<SftpPipeline> p(new SftpPipeline(channel));
    // INIT carries the version where other requests carry their id.
    std::string init;
    putU32(init, 5);
    init += static_cast<char>(kInit);
    putU32(init, 3);
    Packet version;
    if (ssh_channel_write(channel, init.data(), static_cast<std::uint32_t>(init.size())) != static_cast<int>(init.size()) ||
        !p->receive(version) || version.type != kVersion || version.id < 3)
        return nullptr;
    // The extensions the server offers: name and version pairs.
    for (Reader r{version.body}; r.at < version.body.size() && !r.bad;) {
        std::string name = r.text(), data = r.text();
        if (!r.bad && name == "statvfs@openssh.com" && data == "2") p->statvfs_ = true;
    }
    return p;
}

bool SftpPipeline::channelOpen() const { return ssh_channel_is_open(channel_) && !ssh_channel_is_eof(channel_); }

bool SftpPipeline::space(const std::string& path, std::optional<Space>& out) {
    std::vector<std::optional<Space>> outs;
    bool ok = spaces({path}, outs);
    out = outs.front();
    return ok;
}

SftpPipeline::~SftpPipeline() {
    flush();  // the last closes
    ssh_channel_close(channel_);
    ssh_channel_free(channel_);
}

// Requests are gathered and go out together when an answer is waited for (or the gathering grows
// large): one SSH packet carries many of them, which spares both ends a packet, its encryption
// and a system call per request.
std::uint32_t SftpPipeline::send(std::uint8_t type, const std::string& payload) {
    std::uint32_t id = nextId_++;
    ++requests_;
    putU32(outgoing_, static_cast<std::uint32_t>(payload.size() + 5));
    outgoing_ += static_cast<char>(type);
    putU32(outgoing_, id);
    outgoing_ += payload;
    if (outgoing_.size() >= kGatherLimit) flush();
    return id;
}

void SftpPipeline::flush() {
    if (!broken_ && !outgoing_.empty() &&
        ssh_channel_write(channel_, outgoing_.data(), static_cast<std::uint32_t>(outgoing_.size())) !=
            static_cast<int>(outgoing_.size()))
        broken_ = true;
    outgoing_.clear();
}

bool SftpPipeline::receiveBytes(char* dest, std::size_t count) {
    // Gathered requests wait while the answers already here are read: they go out together only
    // when the next answer must be waited for, so a stream of answers is not met by a stream of
    // one-request packets.
    if (!outgoing_.empty()) {
        int here = ssh_channel_poll(channel_, 0);
        if (here < 0 || static_cast<std::size_t>(here) < count) flush();
    }
    std::size_t done = 0;
    while (done < count && !broken_) {
        // Waits at most the session's time limit; a cut socket ends the wait at once.
        int n = ssh_channel_read(channel_, dest + done, static_cast<std::uint32_t>(count - done), 0);
        if (n < 0 || (n == 0 && (ssh_channel_is_eof(channel_) || !ssh_channel_is_open(channel_) ||
                                 !ssh_is_connected(ssh_channel_get_session(channel_)))))
            broken_ = true;
        else done += static_cast<std::size_t>(n);
    }
    return !broken_;
}

bool SftpPipeline::receive(Packet& packet) {
    // Length, type and request id, then the rest straight into the packet's body.
    std::string head(9, '\0');
    if (!receiveBytes(head.data(), head.size())) return false;
    Reader r{head};
    std::uint32_t length = r.u32();
    packet.type = static_cast<std::uint8_t>(r.uint(1));
    packet.id = r.u32();
    if (length < 5 || length > kMaxPacket) {
        broken_ = true;
        return false;
    }
    // An answer to a request sent after the current round trip began starts the next one: the
    // answers of requests in flight together share one.
    if (packet.id >= roundEnd_) {
        ++roundTrips_;
        roundEnd_ = nextId_;
    }
    packet.body.resize(length - 5);
    if (!receiveBytes(packet.body.data(), packet.body.size())) return false;
    return true;
}

// One set of requests and what their answers make. Several are driven at once over the channel
// (drive), so that independent sets share their round trips.
struct SftpPipeline::Job {
    explicit Job(SftpPipeline& pipe) : pipe(pipe) {}
    virtual ~Job() = default;
    virtual void feed() = 0;             // sends what its window allows now
    virtual bool take(Packet& p) = 0;    // handles the answer when it is to one of its requests
    virtual bool done() const = 0;
    SftpPipeline& pipe;
};

bool SftpPipeline::drive(std::initializer_list<Job*> jobs) {
    Packet p;  // one body for every answer: its room is reused
    while (!broken_) {
        bool busy = false;
        for (Job* job : jobs) {
            job->feed();
            busy = busy || !job->done();
        }
        if (!busy || !receive(p)) break;
        // An answer no set owns is a close's, or a late one of an earlier set: skipped.
        for (Job* job : jobs)
            if (job->take(p)) break;
    }
    return !broken_;
}

// One request per path (of the type typeOf(index) gives), a window of them in flight; `answer`
// reads each one's reply.
struct SftpPipeline::PathJob : Job {
    using Answer = std::function<void(std::size_t, std::uint8_t, Reader&)>;
    PathJob(SftpPipeline& pipe, const std::vector<std::string>& paths, std::function<std::uint8_t(std::size_t)> typeOf,
            Answer answer, std::string prefix = {})
        : Job(pipe), paths(paths), typeOf(std::move(typeOf)), answer(std::move(answer)), prefix(std::move(prefix)) {}
    void feed() override {
        for (; next < paths.size() && pending.size() < kPathsAtOnce; ++next) {
            std::string payload = prefix;
            putText(payload, paths[next]);
            pending.emplace(pipe.send(typeOf(next), payload), next);
        }
    }
    bool take(Packet& p) override {
        auto it = pending.find(p.id);
        if (it == pending.end()) return false;
        Reader r{p.body};
        answer(it->second, p.type, r);
        pending.erase(it);
        return true;
    }
    bool done() const override { return next == paths.size() && pending.empty(); }

    const std::vector<std::string>& paths;
    std::function<std::uint8_t(std::size_t)> typeOf;
    Answer answer;
    std::string prefix;  // what goes before the path in each request (an extension's name)
    std::map<std::uint32_t, std::size_t> pending;  // request id -> path index
    std::size_t next = 0;
};

namespace {

// The file system sizes of a statvfs@openssh.com answer.
auto spacesInto(std::vector<std::optional<SftpPipeline::Space>>& out) {
    return [&out](std::size_t k, std::uint8_t type, Reader& r) {
        if (type != kExtendedReply) return;
        r.u64();  // block size
        std::uint64_t fragment = r.u64(), blocks = r.u64();
        r.u64();  // free blocks
        std::uint64_t available = r.u64();
        if (!r.bad) out[k] = SftpPipeline::Space{blocks * fragment, available * fragment};
    };
}
std::string statvfsPrefix() {
    std::string prefix;
    putText(prefix, "statvfs@openssh.com");
    return prefix;
}

// Each path's status answer as the status out of it.
auto statusesInto(std::vector<std::optional<struct stat>>& out) {
    return [&out](std::size_t k, std::uint8_t type, Reader& r) {
        if (type == kAttrs) out[k] = attributes(r);
    };
}
auto namesInto(std::vector<std::optional<std::string>>& out) {
    return [&out](std::size_t k, std::uint8_t type, Reader& r) { out[k] = oneName(type, r); };
}

// realPaths asks two requests per path, a realpath and a stat (the doubled paths).
std::vector<std::string> doubled(const std::vector<std::string>& paths) {
    std::vector<std::string> twice;
    for (const auto& path : paths) twice.insert(twice.end(), {path, path});
    return twice;
}
auto resolvedInto(std::vector<std::optional<std::string>>& answers) {
    return [&answers](std::size_t k, std::uint8_t type, Reader& r) {
        if (k % 2) answers[k] = type == kAttrs ? std::optional<std::string>(std::string()) : std::nullopt;  // it exists
        else answers[k] = oneName(type, r);
    };
}
// A path resolves when its realpath names something and its stat finds it.
void resolvedPaths(const std::vector<std::optional<std::string>>& answers, std::vector<std::optional<std::string>>& out) {
    out.assign(answers.size() / 2, std::nullopt);
    for (std::size_t k = 0; k < out.size(); ++k)
        if (answers[2 * k] && !answers[2 * k]->empty() && answers[2 * k + 1]) out[k] = answers[2 * k];
}

}  // namespace

bool SftpPipeline::status(const std::vector<std::string>& paths, bool followLinks,
                          std::vector<std::optional<struct stat>>& out) {
    out.assign(paths.size(), std::nullopt);
    std::uint8_t asked = followLinks ? kStat : kLstat;
    PathJob job(*this, paths, [asked](std::size_t) { return asked; }, statusesInto(out));
    return drive({&job});
}

bool SftpPipeline::spaces(const std::vector<std::string>& paths, std::vector<std::optional<Space>>& out) {
    out.assign(paths.size(), std::nullopt);
    if (!statvfs_) return !broken_;
    PathJob job(*this, paths, [](std::size_t) { return kExtended; }, spacesInto(out), statvfsPrefix());
    return drive({&job});
}

bool SftpPipeline::readLinks(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out) {
    out.assign(paths.size(), std::nullopt);
    PathJob job(*this, paths, [](std::size_t) { return kReadlink; }, namesInto(out));
    return drive({&job});
}

// Each path's realpath and its status go out together: OpenSSH resolves a path whose last part
// is missing, which realpath(3) does not, so a path that cannot be stat'ed resolves to nothing.
bool SftpPipeline::realPaths(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out) {
    auto twice = doubled(paths);
    std::vector<std::optional<std::string>> answers(twice.size());
    PathJob job(*this, twice, [](std::size_t k) { return k % 2 ? kStat : kRealpath; }, resolvedInto(answers));
    bool ok = drive({&job});
    resolvedPaths(answers, out);
    return ok;
}

bool SftpPipeline::list(const std::string& dir, std::size_t maxEntries, std::vector<Entry>& out) {
    std::vector<std::vector<Entry>> outs;
    bool ok = listMany({dir}, maxEntries, outs);
    out = std::move(outs.front());
    return ok;
}

// Folders opened and read, several reads of each in flight.
struct SftpPipeline::ListJob : Job {
    ListJob(SftpPipeline& pipe, const std::vector<std::string>& dirs, std::size_t maxEntries,
            std::vector<std::vector<Entry>>& outs)
        : Job(pipe), dirs(dirs), maxEntries(maxEntries), outs(outs), state(dirs.size()) {
        outs.assign(dirs.size(), {});
    }
    struct Folder {
        std::string handle;
        std::size_t readsOut = 0, window = 2;  // reads of the folder in flight, and how many to keep
        bool done = false;
    };
    std::string handleRequest(std::size_t k) const {
        std::string request;
        putText(request, state[k].handle);
        return request;
    }
    void askReads(std::size_t k) {
        for (Folder& f = state[k]; f.readsOut < f.window; ++f.readsOut) reading.emplace(pipe.send(kReaddir, handleRequest(k)), k);
    }
    // Its answers still in flight are skipped later, as is the close's.
    void finish(std::size_t k) {
        if (!state[k].handle.empty()) pipe.send(kClose, handleRequest(k));
        state[k].done = true;
        --active;
    }
    void feed() override {
        for (; next < dirs.size() && active < kFilesAtOnce; ++next, ++active) {
            std::string payload;
            putText(payload, dirs[next]);
            opening.emplace(pipe.send(kOpendir, payload), next);
        }
    }
    bool done() const override { return next == dirs.size() && active == 0; }
    bool take(Packet& p) override {
        Reader r{p.body};
        if (auto it = opening.find(p.id); it != opening.end()) {
            std::size_t k = it->second;
            opening.erase(it);
            state[k].handle = p.type == kHandle ? r.text() : std::string();
            if (state[k].handle.empty() || r.bad) {
                state[k].handle.clear();
                finish(k);
            } else {
                askReads(k);
            }
            return true;
        }
        auto it = reading.find(p.id);
        if (it == reading.end()) return false;
        std::size_t k = it->second;
        reading.erase(it);
        Folder& f = state[k];
        if (f.done) return true;
        --f.readsOut;
        if (p.type != kName) {  // its end, or a failure
            finish(k);
            return true;
        }
        std::uint32_t n = r.u32();
        for (std::uint32_t left = n; left > 0 && !r.bad && outs[k].size() < maxEntries; --left) {
            std::string name = r.text();
            r.text();  // the long form, as ls -l writes it
            auto st = attributes(r);
            if (st && !r.bad) outs[k].push_back({std::move(name), {st->st_mode, st->st_size, st->st_mtime}});
        }
        // A server may list without end: the first maxEntries names are all that is kept.
        if (r.bad || outs[k].size() >= maxEntries) {
            finish(k);
            return true;
        }
        // A full answer means a long folder: more of its reads go out at once.
        if (n >= 64) f.window = kReadsAhead * 2;
        askReads(k);
        return true;
    }

    const std::vector<std::string>& dirs;
    std::size_t maxEntries;
    std::vector<std::vector<Entry>>& outs;
    std::vector<Folder> state;
    std::map<std::uint32_t, std::size_t> opening, reading;  // request id -> folder
    std::size_t next = 0, active = 0;
};

bool SftpPipeline::listMany(const std::vector<std::string>& dirs, std::size_t maxEntries,
                            std::vector<std::vector<Entry>>& outs) {
    ListJob job(*this, dirs, maxEntries, outs);
    return drive({&job});
}

// Files opened (after a stat where asked), read to their end and closed.
struct SftpPipeline::ReadJob : Job {
    ReadJob(SftpPipeline& pipe, const std::vector<Read>& files, std::vector<std::optional<std::string>>& out)
        : Job(pipe), files(files), out(out), state(files.size()) {
        out.assign(files.size(), std::nullopt);
        for (std::size_t k = 0; k < files.size(); ++k) {
            state[k].size = files[k].size;
            state[k].start = state[k].asked = files[k].offset;
        }
    }
    struct File {
        std::string handle, data;
        std::uint64_t start = 0;   // offset of the data's first byte
        std::uint64_t asked = 0;   // end of the reads asked for so far
        unsigned generation = 0;   // reads of an older generation follow a short answer: dropped
        std::size_t readsOut = 0;  // reads of this generation in flight
        std::optional<std::uint64_t> size;  // as its status or a listing gave it
        bool done = false;
    };
    enum class Kind { Stat, Open, Read };
    struct Request {
        Kind kind;
        std::size_t file;
        std::uint64_t offset = 0;
        unsigned generation = 0;
    };

    void openFile(std::size_t k) { pending.emplace(pipe.send(kOpen, openPayload(files[k].path)), Request{Kind::Open, k}); }
    void askReads(std::size_t k, std::size_t upTo) {
        File& f = state[k];
        const std::uint64_t end = f.start + files[k].limit;  // reading stops there
        while (f.readsOut < upTo && f.asked < end) {
            auto len = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, end - f.asked));
            std::string payload;
            putText(payload, f.handle);
            putU64(payload, f.asked);
            putU32(payload, len);
            pending.emplace(pipe.send(kRead, payload), Request{Kind::Read, k, f.asked, f.generation});
            f.asked += len;
            ++f.readsOut;
        }
    }
    // The file's answer is settled: its handle is closed without waiting for the close's answer.
    void finish(std::size_t k, bool ok) {
        File& f = state[k];
        if (ok) out[k] = std::move(f.data);
        if (!f.handle.empty()) {
            std::string payload;
            putText(payload, f.handle);
            pipe.send(kClose, payload);
        }
        f.done = true;
        --active;
    }
    void feed() override {
        for (; next < files.size() && active < kFilesAtOnce; ++next, ++active) {
            if (files[next].statFirst) {
                std::string payload;
                putText(payload, files[next].path);
                pending.emplace(pipe.send(kStat, payload), Request{Kind::Stat, next});
            } else {
                openFile(next);
            }
        }
    }
    bool done() const override { return next == files.size() && active == 0; }
    bool take(Packet& p) override {
        auto it = pending.find(p.id);
        if (it == pending.end()) return false;
        Request req = it->second;
        pending.erase(it);
        File& f = state[req.file];
        if (f.done) return true;  // a read asked for before the file's end was known
        Reader r{p.body};
        switch (req.kind) {
            case Kind::Stat: {
                auto st = p.type == kAttrs ? attributes(r) : std::nullopt;
                if (st && S_ISREG(st->st_mode)) f.size = static_cast<std::uint64_t>(st->st_size);
                if (st && S_ISREG(st->st_mode)) openFile(req.file);
                else finish(req.file, false);
                break;
            }
            case Kind::Open:
                if (p.type != kHandle || (f.handle = r.text(), r.bad)) {
                    f.handle.clear();
                    finish(req.file, false);
                } else if (files[req.file].limit == 0) {
                    finish(req.file, true);
                } else {
                    // A file of known size gets room for all of it (its pieces are copied once)
                    // and reads for all of it at once, up to a window.
                    std::size_t reads = 1;
                    if (f.size) {
                        auto whole = std::min<std::uint64_t>(*f.size, files[req.file].limit);
                        f.data.reserve(static_cast<std::size_t>(whole));
                        reads = static_cast<std::size_t>(std::min<std::uint64_t>(whole / kChunk + 1, kReadsAtOnce));
                    }
                    askReads(req.file, reads);
                }
                break;
            case Kind::Read:
                readAnswer(req, p, r);
                break;
        }
        return true;
    }
    void readAnswer(const Request& req, Packet& p, Reader& r) {
        File& f = state[req.file];
        if (req.generation != f.generation) return;
        --f.readsOut;
        // Answers come in the order asked: the first of this generation is where the data ends.
        if (req.offset != f.start + f.data.size() || (p.type != kStatus && p.type != kData)) {
            finish(req.file, false);
        } else if (p.type == kStatus) {
            // End of file where the data ends; any other failure fails the read.
            finish(req.file, r.u32() == kStatusEof && !r.bad);
        } else {
            // The data is appended from the answer in place: no copy of it on the way.
            std::size_t length = r.u32();
            auto asked = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, files[req.file].limit - f.data.size()));
            if (r.bad || p.body.size() - r.at < length) {
                finish(req.file, false);
                return;
            }
            f.data.append(p.body, r.at, std::min(length, asked));
            // An empty answer ends the file as a read of 0 bytes does. A short one ends a
            // regular file where its size says (a file that grew or shrank since is read
            // on), and a file the kernel answers in one piece.
            bool whole = length < asked && ((f.size && f.start + f.data.size() == *f.size) ||
                                            (req.offset == 0 && length < files[req.file].wholeBelow));
            if (length == 0 || whole || f.data.size() >= files[req.file].limit) {
                finish(req.file, true);
            } else if (length < asked) {
                // A short answer (procfs gives a page or a record at a time): what was asked
                // after it starts at the wrong place, so reading goes on from where it ends.
                ++f.generation;
                f.readsOut = 0;
                f.asked = f.start + f.data.size();
                askReads(req.file, 1);
            } else {
                askReads(req.file, kReadsAhead);
            }
        }
    }

    const std::vector<Read>& files;
    std::vector<std::optional<std::string>>& out;
    std::vector<File> state;
    std::map<std::uint32_t, Request> pending;
    std::size_t next = 0, active = 0;
};

bool SftpPipeline::read(const std::vector<Read>& files, std::vector<std::optional<std::string>>& out) {
    ReadJob job(*this, files, out);
    return drive({&job});
}

bool SftpPipeline::together(Together& t) {
    ListJob list(*this, t.folders, t.maxEntries, t.listings);
    t.owned.assign(t.ownStatuses.size(), std::nullopt);
    PathJob owned(*this, t.ownStatuses, [](std::size_t) { return kLstat; }, statusesInto(t.owned));
    auto twice = doubled(t.resolve);
    std::vector<std::optional<std::string>> answers(twice.size());
    PathJob resolve(*this, twice, [](std::size_t k) { return k % 2 ? kStat : kRealpath; }, resolvedInto(answers));
    t.targets.assign(t.links.size(), std::nullopt);
    PathJob links(*this, t.links, [](std::size_t) { return kReadlink; }, namesInto(t.targets));
    t.spaceOf.assign(t.spaces.size(), std::nullopt);
    static const std::vector<std::string> none;
    PathJob spaces(*this, statvfs_ ? t.spaces : none, [](std::size_t) { return kExtended; }, spacesInto(t.spaceOf),
                   statvfsPrefix());
    ReadJob read(*this, t.reads, t.contents);
    bool ok = drive({&list, &owned, &resolve, &links, &spaces, &read});
    resolvedPaths(answers, t.resolved);
    return ok;
}

}  // namespace qv::management::ssh

// Pipelined SFTP reads: requests for many files sent before their answers are awaited.
#include "platform/posix/sftp-pipeline.h"

#include <algorithm>
#include <ctime>
#include <map>

namespace qv::posix {

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

bool SftpPipeline::call(std::uint8_t type, const std::string& payload, Packet& answer) {
    std::uint32_t id = send(type, payload);
    while (receive(answer))
        if (answer.id == id) return true;
    return false;
}

bool SftpPipeline::space(const std::string& path, std::optional<Space>& out) {
    out.reset();
    if (!statvfs_) return !broken_;
    std::string payload;
    putText(payload, "statvfs@openssh.com");
    putText(payload, path);
    Packet p;
    if (!call(kExtended, payload, p)) return false;
    if (p.type != kExtendedReply) return true;
    Reader r{p.body};
    r.u64();  // block size
    std::uint64_t fragment = r.u64(), blocks = r.u64();
    r.u64();  // free blocks
    std::uint64_t available = r.u64();
    if (!r.bad) out = Space{blocks * fragment, available * fragment};
    return true;
}

bool SftpPipeline::openFile(const std::string& path, std::string& handle) {
    handle.clear();
    Packet p;
    if (!call(kOpen, openPayload(path), p)) return false;
    Reader r{p.body};
    if (p.type == kHandle) handle = r.text();
    if (r.bad) handle.clear();
    return true;
}

bool SftpPipeline::readAt(const std::string& handle, std::uint64_t offset, std::size_t size,
                          std::optional<std::string>& out) {
    out.reset();
    std::string data;
    Packet p;
    while (data.size() < size) {
        std::string payload;
        putText(payload, handle);
        putU64(payload, offset + data.size());
        putU32(payload, static_cast<std::uint32_t>(std::min<std::size_t>(kChunk, size - data.size())));
        if (!call(kRead, payload, p)) return false;
        Reader r{p.body};
        if (p.type != kData) return true;  // end of file or a failure: fewer bytes than asked
        std::uint32_t length = r.u32();
        if (r.bad || p.body.size() - r.at < length || length == 0) return true;
        data.append(p.body, r.at, std::min<std::size_t>(length, size - data.size()));
    }
    out = std::move(data);
    return true;
}

void SftpPipeline::closeFile(const std::string& handle) {
    std::string payload;
    putText(payload, handle);
    send(kClose, payload);
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

template <class T, class TypeOf, class Answer>
bool SftpPipeline::perPath(TypeOf typeOf, const std::vector<std::string>& paths, std::vector<std::optional<T>>& out,
                           Answer answer) {
    out.assign(paths.size(), std::nullopt);
    std::map<std::uint32_t, std::size_t> pending;  // request id -> path index
    std::size_t next = 0;
    Packet p;  // one body for every answer: its room is reused
    while (!broken_ && (next < paths.size() || !pending.empty())) {
        for (; next < paths.size() && pending.size() < kPathsAtOnce; ++next) {
            std::string payload;
            putText(payload, paths[next]);
            pending.emplace(send(typeOf(next), payload), next);
        }
        if (!receive(p)) break;
        auto it = pending.find(p.id);
        if (it == pending.end()) continue;  // a late answer of an earlier batch
        Reader r{p.body};
        out[it->second] = answer(p.type, r);
        pending.erase(it);
    }
    return !broken_;
}

bool SftpPipeline::status(const std::vector<std::string>& paths, bool followLinks,
                          std::vector<std::optional<struct stat>>& out) {
    std::uint8_t asked = followLinks ? kStat : kLstat;
    return perPath([asked](std::size_t) { return asked; }, paths, out, [](std::uint8_t type, Reader& r) {
        return type == kAttrs ? attributes(r) : std::nullopt;
    });
}

bool SftpPipeline::readLinks(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out) {
    return perPath([](std::size_t) { return kReadlink; }, paths, out, oneName);
}

// Each path's realpath and its status go out together: OpenSSH resolves a path whose last part
// is missing, which realpath(3) does not, so a path that cannot be stat'ed resolves to nothing.
bool SftpPipeline::realPaths(const std::vector<std::string>& paths, std::vector<std::optional<std::string>>& out) {
    std::vector<std::string> twice;
    for (const auto& path : paths) twice.insert(twice.end(), {path, path});
    std::vector<std::optional<std::string>> answers;
    bool ok = perPath([](std::size_t k) { return k % 2 ? kStat : kRealpath; }, twice, answers,
                      [](std::uint8_t type, Reader& r) -> std::optional<std::string> {
                          if (type == kAttrs) return std::string();  // it exists
                          return oneName(type, r);
                      });
    out.assign(paths.size(), std::nullopt);
    for (std::size_t k = 0; k < paths.size(); ++k)
        if (answers[2 * k] && !answers[2 * k]->empty() && answers[2 * k + 1]) out[k] = std::move(answers[2 * k]);
    return ok;
}

bool SftpPipeline::list(const std::string& dir, std::size_t maxEntries, std::vector<Entry>& out) {
    std::vector<std::vector<Entry>> outs;
    bool ok = listMany({dir}, maxEntries, outs);
    out = std::move(outs.front());
    return ok;
}

bool SftpPipeline::listMany(const std::vector<std::string>& dirs, std::size_t maxEntries,
                            std::vector<std::vector<Entry>>& outs) {
    outs.assign(dirs.size(), {});
    struct Folder {
        std::string handle;
        std::size_t readsOut = 0, window = 2;  // reads of the folder in flight, and how many to keep
        bool done = false;
    };
    std::vector<Folder> state(dirs.size());
    std::map<std::uint32_t, std::size_t> opening, reading;  // request id -> folder
    std::size_t next = 0, active = 0;
    auto handleRequest = [&](std::size_t k) {
        std::string request;
        putText(request, state[k].handle);
        return request;
    };
    auto askReads = [&](std::size_t k) {
        for (Folder& f = state[k]; f.readsOut < f.window; ++f.readsOut) reading.emplace(send(kReaddir, handleRequest(k)), k);
    };
    // Its answers still in flight are skipped later, as is the close's.
    auto finish = [&](std::size_t k) {
        if (!state[k].handle.empty()) send(kClose, handleRequest(k));
        state[k].done = true;
        --active;
    };
    Packet p;  // one body for every answer: its room is reused
    while (!broken_ && (next < dirs.size() || active > 0)) {
        for (; next < dirs.size() && active < kFilesAtOnce; ++next, ++active) {
            std::string payload;
            putText(payload, dirs[next]);
            opening.emplace(send(kOpendir, payload), next);
        }
        if (!receive(p)) break;
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
            continue;
        }
        auto it = reading.find(p.id);
        if (it == reading.end()) continue;  // a close's answer, or a late answer of an earlier batch
        std::size_t k = it->second;
        reading.erase(it);
        Folder& f = state[k];
        if (f.done) continue;
        --f.readsOut;
        if (p.type != kName) {  // its end, or a failure
            finish(k);
            continue;
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
            continue;
        }
        // A full answer means a long folder: more of its reads go out at once.
        if (n >= 64) f.window = kReadsAhead * 2;
        askReads(k);
    }
    return !broken_;
}

bool SftpPipeline::read(const std::vector<Read>& files, std::vector<std::optional<std::string>>& out) {
    out.assign(files.size(), std::nullopt);
    struct File {
        std::string handle, data;
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
    std::vector<File> state(files.size());
    for (std::size_t k = 0; k < files.size(); ++k) state[k].size = files[k].size;
    std::map<std::uint32_t, Request> pending;
    std::size_t next = 0, active = 0;

    auto openFile = [&](std::size_t k) { pending.emplace(send(kOpen, openPayload(files[k].path)), Request{Kind::Open, k}); };
    auto askReads = [&](std::size_t k, std::size_t upTo) {
        File& f = state[k];
        while (f.readsOut < upTo && f.asked < files[k].limit) {
            auto len = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, files[k].limit - f.asked));
            std::string payload;
            putText(payload, f.handle);
            putU64(payload, f.asked);
            putU32(payload, len);
            pending.emplace(send(kRead, payload), Request{Kind::Read, k, f.asked, f.generation});
            f.asked += len;
            ++f.readsOut;
        }
    };
    // The file's answer is settled: its handle is closed without waiting for the close's answer.
    auto finish = [&](std::size_t k, bool ok) {
        File& f = state[k];
        if (ok) out[k] = std::move(f.data);
        if (!f.handle.empty()) {
            std::string payload;
            putText(payload, f.handle);
            send(kClose, payload);
        }
        f.done = true;
        --active;
    };

    Packet p;  // one body for every answer: its room is reused
    while (!broken_ && (next < files.size() || active > 0)) {
        for (; next < files.size() && active < kFilesAtOnce; ++next, ++active) {
            if (files[next].statFirst) {
                std::string payload;
                putText(payload, files[next].path);
                pending.emplace(send(kStat, payload), Request{Kind::Stat, next});
            } else {
                openFile(next);
            }
        }
        if (!receive(p)) break;
        auto it = pending.find(p.id);
        if (it == pending.end()) continue;  // a close's answer, or a late answer of an earlier batch
        Request req = it->second;
        pending.erase(it);
        File& f = state[req.file];
        if (f.done) continue;  // a read asked for before the file's end was known
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
            case Kind::Read: {
                if (req.generation != f.generation) break;
                --f.readsOut;
                // Answers come in the order asked: the first of this generation is where the data ends.
                if (req.offset != f.data.size() || (p.type != kStatus && p.type != kData)) {
                    finish(req.file, false);
                } else if (p.type == kStatus) {
                    // End of file where the data ends; any other failure fails the read.
                    finish(req.file, r.u32() == kStatusEof && !r.bad);
                } else {
                    // The data is appended from the answer in place: no copy of it on the way.
                    std::size_t length = r.u32();
                    auto asked = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, files[req.file].limit - req.offset));
                    if (r.bad || p.body.size() - r.at < length) {
                        finish(req.file, false);
                        break;
                    }
                    f.data.append(p.body, r.at, std::min(length, asked));
                    // An empty answer ends the file as a read of 0 bytes does. A short one ends a
                    // regular file where its size says (a file that grew or shrank since is read
                    // on), and a file the kernel answers in one piece.
                    bool whole = length < asked && ((f.size && f.data.size() == *f.size) ||
                                                    (req.offset == 0 && length < files[req.file].wholeBelow));
                    if (length == 0 || whole || f.data.size() >= files[req.file].limit) {
                        finish(req.file, true);
                    } else if (length < asked) {
                        // A short answer (procfs gives a page or a record at a time): what was asked
                        // after it starts at the wrong place, so reading goes on from where it ends.
                        ++f.generation;
                        f.readsOut = 0;
                        f.asked = f.data.size();
                        askReads(req.file, 1);
                    } else {
                        askReads(req.file, kReadsAhead);
                    }
                }
                break;
            }
        }
    }
    return !broken_;
}

}  // namespace qv::posix

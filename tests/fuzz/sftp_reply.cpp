// Fuzz harness: the SFTP pipeline (management/ssh/sftp-pipeline.cpp, which frames and reads the
// SFTP packets itself) against a server the input scripts. libssh's channel calls are defined here:
// the pipeline's writes are read back as requests, and each of its reads is answered by the next
// record of the input (a plausible answer to a request, a status, any typed body, raw bytes), in
// any order and to any request; the input's end is the channel's end.
#include <libssh/libssh.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "management/ssh/sftp-pipeline.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct Request {
    std::uint8_t type = 0;
    std::uint32_t id = 0;  // the version, for INIT
    std::string payload;
};

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
std::uint32_t u32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(at + k < s.size() ? s[at + k] : 0);
    return v;
}

// The scripted server of one input.
struct Server {
    const std::uint8_t* script = nullptr;
    std::size_t left = 0;
    std::string inbound;             // what the pipeline wrote, not yet read as requests
    std::deque<Request> pending;     // requests not answered yet, oldest first
    std::string outbound;            // answers, read by the pipeline up to outAt
    std::size_t outAt = 0;
    std::size_t waiting() const { return outbound.size() - outAt; }
    bool ended = false;

    std::uint8_t take() {
        if (!left) return 0;
        --left;
        return *script++;
    }

    void received(const char* data, std::size_t size) {
        inbound.append(data, size);
        while (inbound.size() >= 4) {
            const std::uint32_t length = u32At(inbound, 0);
            if (inbound.size() - 4 < length) break;
            Request r;
            if (length >= 1) r.type = static_cast<std::uint8_t>(inbound[4]);
            if (length >= 5) r.id = u32At(inbound, 5);
            if (length > 5) r.payload = inbound.substr(9, length - 5);
            inbound.erase(0, 4 + static_cast<std::size_t>(length));
            // Closes are answered too, but never asked about: keep the queue to what matters.
            if (pending.size() < 4096) pending.push_back(std::move(r));
        }
    }

    void answer(std::uint8_t type, std::uint32_t id, const std::string& body) {
        if (outAt == outbound.size()) outbound.clear(), outAt = 0;
        putU32(outbound, static_cast<std::uint32_t>(body.size() + 5));
        outbound += static_cast<char>(type);
        putU32(outbound, id);
        outbound += body;
    }

    static std::string attributes(std::uint8_t param) {
        static const std::uint64_t sizes[] = {0, 100, 70000, std::uint64_t{1} << 40};
        static const std::uint32_t modes[] = {0100644, 040755, 0120777, 010644};
        std::string a;
        const bool extended = param & 0x40;
        putU32(a, 1 | 2 | 4 | 8 | (extended ? 0x80000000u : 0));
        putU64(a, sizes[param & 3]);
        putU32(a, 1000);
        putU32(a, 1000);
        putU32(a, modes[(param >> 2) & 3]);
        putU32(a, 1700000000);
        putU32(a, 1700000000u + param);
        if (extended) {
            putU32(a, 1);
            putText(a, "name@example.com");
            putText(a, "data");
        }
        return a;
    }
    static std::string status(std::uint32_t code) {
        std::string b;
        putU32(b, code);
        putText(b, "message");
        putText(b, "en");
        return b;
    }

    // An answer of the kind the request asks for, its details from `param`.
    void plausible(const Request& r, std::uint8_t param) {
        std::string b;
        switch (r.type) {
            case 1:  // INIT
                if (param & 1) putText(b, "statvfs@openssh.com"), putText(b, "2");
                if (param & 2) putText(b, "posix-rename@openssh.com"), putText(b, "1");
                return answer(2, 3, b);
            case 7:   // LSTAT
            case 17:  // STAT
                return param & 0x80 ? answer(101, r.id, status(2)) : answer(105, r.id, attributes(param));
            case 3:   // OPEN
            case 11:  // OPENDIR
                if (param & 0x80) return answer(101, r.id, status(2));
                putText(b, "H" + std::to_string(r.id));
                return answer(102, r.id, b);
            case 5: {  // READ: handle, offset, length
                const std::uint32_t handleLength = u32At(r.payload, 0);
                const std::uint32_t asked = u32At(r.payload, 4 + handleLength + 8);
                const std::uint32_t n = (param & 3) == 0 ? asked : (param & 3) == 1 ? asked / 2 : 0;
                if ((param & 3) == 3) return answer(101, r.id, status(1));
                putU32(b, n);
                b.append(std::min<std::uint32_t>(n, 1u << 20), static_cast<char>('a' + param % 26));
                return answer(103, r.id, b);
            }
            case 12: {  // READDIR
                if (param & 0x80) return answer(101, r.id, status(1));
                const std::uint32_t count = param & 7;
                putU32(b, count);
                for (std::uint32_t k = 0; k < count; ++k) {
                    putText(b, k == 0 ? "." : k == 1 ? ".." : "f" + std::to_string(r.id) + "-" + std::to_string(k));
                    putText(b, "-rw-r--r--    1 u g 0 Jan  1 00:00 f");
                    b += attributes(static_cast<std::uint8_t>(param >> 3));
                }
                return answer(104, r.id, b);
            }
            case 16:  // REALPATH
            case 19:  // READLINK
                if (param & 0x80) return answer(101, r.id, status(2));
                putU32(b, 1);
                putText(b, "/resolved/" + std::to_string(param));
                putText(b, "");
                putU32(b, 0);
                return answer(104, r.id, b);
            case 200:  // EXTENDED (statvfs@openssh.com)
                for (int k = 0; k < 11; ++k) putU64(b, (std::uint64_t{param} + 1) << (k % 5 * 8));
                return answer(201, r.id, b);
            default:
                return answer(101, r.id, status(param & 0x80 ? 8 : 0));
        }
    }

    // Makes the next answers from the script; false once it is spent.
    bool produce() {
        if (!left) return false;
        const std::uint8_t op = take();
        if ((op & 3) == 3) {  // raw bytes, framing and all
            if (outAt == outbound.size()) outbound.clear(), outAt = 0;
            const std::size_t n = std::min<std::size_t>(take(), left);
            outbound.append(reinterpret_cast<const char*>(script), n);
            script += n, left -= n;
            return true;
        }
        const std::uint8_t which = take();
        if (pending.empty()) {  // an answer to no request
            answer(101, which, status(0));
            return true;
        }
        auto it = pending.begin() + static_cast<std::ptrdiff_t>(which % pending.size());
        const Request r = *it;
        pending.erase(it);
        if ((op & 3) == 0) {
            plausible(r, take());
        } else if ((op & 3) == 1) {
            answer(101, r.id, status(take()));
        } else {
            const std::uint8_t type = take();
            std::size_t n = take();
            n |= static_cast<std::size_t>(take()) << 8;
            n = std::min(n, left);
            answer(type, r.type == 1 ? 3 : r.id, std::string(reinterpret_cast<const char*>(script), n));
            script += n, left -= n;
        }
        return true;
    }
};

Server server;
int sessionToken, channelToken;

}  // namespace

// The channel calls of libssh the pipeline makes, answered by the scripted server.
extern "C" {
ssh_channel ssh_channel_new(ssh_session) { return reinterpret_cast<ssh_channel>(&channelToken); }
int ssh_channel_open_session(ssh_channel) { return SSH_OK; }
int ssh_channel_request_subsystem(ssh_channel, const char*) { return SSH_OK; }
int ssh_channel_write(ssh_channel, const void* data, uint32_t len) {
    server.received(static_cast<const char*>(data), len);
    return static_cast<int>(len);
}
int ssh_channel_poll(ssh_channel, int) { return static_cast<int>(std::min<std::size_t>(server.waiting(), 1 << 30)); }
int ssh_channel_read(ssh_channel, void* dest, uint32_t count, int) {
    while (server.waiting() == 0 && !server.ended)
        if (!server.produce()) server.ended = true;
    const std::size_t n = std::min<std::size_t>(count, server.waiting());
    server.outbound.copy(static_cast<char*>(dest), n, server.outAt);
    server.outAt += n;
    return static_cast<int>(n);
}
int ssh_channel_is_eof(ssh_channel) { return server.ended && server.waiting() == 0; }
int ssh_channel_is_open(ssh_channel) { return 1; }
int ssh_is_connected(ssh_session) { return 1; }
ssh_session ssh_channel_get_session(ssh_channel) { return reinterpret_cast<ssh_session>(&sessionToken); }
int ssh_channel_close(ssh_channel) { return SSH_OK; }
void ssh_channel_free(ssh_channel) {}
}

using qv::management::ssh::SftpPipeline;

namespace {

void checkContents(const std::vector<SftpPipeline::Read>& reads, const std::vector<std::optional<std::string>>& out) {
    qvfuzz::require(out.size() == reads.size());
    for (std::size_t k = 0; k < out.size(); ++k) qvfuzz::require(!out[k] || out[k]->size() <= reads[k].limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    server = Server{};
    server.script = data;
    server.left = size;
    std::unique_ptr<SftpPipeline> sftp = SftpPipeline::open(reinterpret_cast<ssh_session>(&sessionToken));
    if (!sftp) return 0;
    // Files as the provider reads them: a settings file, a procfs file read on to its end, a
    // sysfs attribute answered whole, a file whose size a listing gave, a piece at an offset.
    std::vector<SftpPipeline::Read> reads(5);
    reads[0].path = "/etc/os-release", reads[0].limit = 4096;
    reads[1].path = "/proc/cpuinfo", reads[1].limit = 150000, reads[1].statFirst = false;
    reads[2].path = "/sys/class/net/eth0/address", reads[2].limit = 4096, reads[2].statFirst = false,
    reads[2].wholeBelow = 4096;
    reads[3].path = "/var/lib/dpkg/status", reads[3].limit = 100000, reads[3].statFirst = false, reads[3].size = 70000;
    reads[4].path = "/dev/mem", reads[4].limit = 64, reads[4].offset = 0xf0000;
    std::vector<std::optional<std::string>> contents;
    sftp->read(reads, contents);
    checkContents(reads, contents);

    const std::vector<std::string> paths = {"/etc/passwd", "/lib/modules", "/etc/localtime"};
    std::vector<std::optional<struct stat>> statuses;
    sftp->status(paths, false, statuses);
    qvfuzz::require(statuses.size() == paths.size());
    std::vector<std::optional<std::string>> names;
    sftp->readLinks(paths, names);
    qvfuzz::require(names.size() == paths.size());
    sftp->realPaths(paths, names);
    qvfuzz::require(names.size() == paths.size());
    std::vector<std::vector<SftpPipeline::Entry>> listings;
    sftp->listMany({"/etc", "/var/lib/dpkg/info"}, 40, listings);
    qvfuzz::require(listings.size() == 2 && listings[0].size() <= 40 && listings[1].size() <= 40);
    std::vector<std::optional<SftpPipeline::Space>> spaces;
    sftp->spaces({"/", "/home"}, spaces);
    qvfuzz::require(spaces.size() == 2);

    // Everything at once, as a prefetch asks.
    SftpPipeline::Together t;
    t.folders = {"/usr/share/applications"};
    t.maxEntries = 10;
    t.ownStatuses = paths;
    t.resolve = {"/etc/alternatives/java"};
    t.links = {"/etc/systemd/system/multi-user.target.wants/ssh.service"};
    t.spaces = {"/boot"};
    t.reads = reads;
    sftp->together(t);
    qvfuzz::require(t.listings.size() == 1 && t.listings[0].size() <= 10 && t.owned.size() == 3 && t.resolved.size() == 1 &&
                    t.targets.size() == 1 && t.spaceOf.size() == 1);
    checkContents(t.reads, t.contents);
    return 0;
}

// The SSH transport against a real sshd on loopback: this machine read over SFTP gives the local
// provider's facts; unknown and wrong keys are refused; lost and silent servers end calls.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "facts/classes.h"
#include "management/local/provider.h"
#include "management/ssh/sftp-pipeline.h"
#include "management/ssh/transport.h"
#include "platform/posix/identity-posix.h"
#include "management/connector.h"
#include "management/network.h"
#include "tests/facts/tree.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"
#include "tests/support/sshd_server.h"
#include "tests/support/connection_calls.h"

namespace {

// Reaches `name` through the connection policy, as the run reaches another computer: the probe,
// then SSH. Null with err set on failure.
std::unique_ptr<qv::management::TargetConnection> connectSsh(const std::string& name, const qv::Limits& limits,
                                                             qv::PlatformError& err) {
    qv::Limits copy = limits;
    qv::posix::PosixIdentity identity;
    qv::management::SystemNetwork network;
    qv::management::ssh::SshTransport ssh;
    qv::management::Connector connector{identity, copy, network, ssh, ssh};
    auto connected = connector.connect(name);
    if (!connected) {
        err = connected.error().error;
        return nullptr;
    }
    return std::move(*connected);
}

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A test's own sshd (chrooted: SFTP sees only chrootDir(), where the test lays out the system it
// serves), named by the client configuration the program reads.
template <bool Chrooted>
class SshdTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server_.skipReason().empty()) GTEST_SKIP() << server_.skipReason();
        ASSERT_EQ(server_.failure(), "");
        ::setenv("QV_SSH_DIR", server_.sshDir().c_str(), 1);
        ::unsetenv("SSH_AUTH_SOCK");  // never the developer's own agent
    }
    qvtest::SshdServer server_{Chrooted};
};

class RemoteSshTest : public SshdTest<false> {
protected:
    std::unique_ptr<qv::management::TargetConnection> connect(const std::string& name, qv::PlatformError& err) {
        return connectSsh(name, limits_, err);
    }
    qv::Limits limits_;
};
using RemoteSshChroot = SshdTest<true>;
using RemoteSshHostile = SshdTest<true>;

// Properties whose values move between two reads of the same machine (clocks, free memory and
// space), and those that differ by nature: the birth time of / and the program's own LANG are
// system calls and environment locally, with no file behind them; ProcessorId is checked apart.
bool volatileProperty(const std::string& cls, const std::string& property) {
    static const std::set<std::string> names = {
        "Win32_OperatingSystem.LocalDateTime",     "Win32_OperatingSystem.FreePhysicalMemory",
        "Win32_OperatingSystem.FreeVirtualMemory", "Win32_OperatingSystem.FreeSpaceInPagingFiles",
        "Win32_LogicalDisk.FreeSpace",             "Win32_Processor.CurrentClockSpeed",
        "Win32_OperatingSystem.InstallDate",       "Win32_OperatingSystem.CodeSet",
        "Win32_OperatingSystem.OSLanguage",        "Win32_OperatingSystem.Locale",
        "Win32_OperatingSystem.CountryCode",       "Win32_Processor.ProcessorId",
    };
    return names.count(cls + "." + property) > 0;
}

// CPUID rebuilt from /proc/cpuinfo: the same signature (EAX); of EDX only the bits the kernel
// lists, a subset of what the instruction says.
void expectSameProcessorId(const std::string& remote, const std::string& local) {
    if (local == "<null>") {
        EXPECT_EQ(remote, local);
        return;
    }
    ASSERT_EQ(remote.size(), 16u);
    ASSERT_EQ(local.size(), 16u);
    EXPECT_EQ(remote.substr(8), local.substr(8));
    auto theirs = std::stoul(remote.substr(0, 8), nullptr, 16), mine = std::stoul(local.substr(0, 8), nullptr, 16);
    EXPECT_EQ(theirs & ~mine, 0u) << remote << " " << local;
    EXPECT_NE(theirs, 0u);
}

TEST_F(RemoteSshTest, ThisMachineOverSftpGivesTheLocalFacts) {
    qv::PlatformError err;
    auto remote = connect("qvself", err);
    ASSERT_TRUE(remote) << err.number << " " << err.description;
    auto local = qv::management::local::makeLocalProvider();
    for (const auto& def : qv::facts::classTable()) {
        qv::Instances mine, theirs;
        ASSERT_TRUE(qv::calls::instancesOf(*local, def.name, mine, err)) << def.name;
        ASSERT_TRUE(qv::calls::instancesOf(*remote, def.name, theirs, err)) << def.name << ": " << err.description;
        ASSERT_EQ(theirs.size(), mine.size()) << def.name;
        for (std::size_t k = 0; k < mine.size(); ++k) {
            if (def.name == std::string("Win32_Processor"))
                expectSameProcessorId(qvtest::text(theirs[k], "ProcessorId"), qvtest::text(mine[k], "ProcessorId"));
            for (const auto& [property, value] : mine[k].properties) {
                if (volatileProperty(def.name, property)) continue;
                EXPECT_EQ(qvtest::text(theirs[k], property), qvtest::text(mine[k], property))
                    << def.name << "[" << k << "]." << property;
            }
        }
    }
    // Installed packages: the uninstall entries of the registry provider.
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    std::vector<std::string> mine, theirs;
    ASSERT_TRUE(qv::calls::enumKey(*local, qv::kHiveLocalMachine, key, mine));
    ASSERT_TRUE(qv::calls::enumKey(*remote, qv::kHiveLocalMachine, key, theirs));
    EXPECT_EQ(theirs, mine);
    for (const auto& name : mine)
        for (const char* value : {"DisplayName", "DisplayVersion", "Publisher", "InstallDate"}) {
            std::string a, b;
            EXPECT_EQ(qv::calls::getStringValue(*remote, qv::kHiveLocalMachine, key + "\\" + name, value, b),
                      qv::calls::getStringValue(*local, qv::kHiveLocalMachine, key + "\\" + name, value, a));
            EXPECT_EQ(b, a) << name << " " << value;
        }
}

// Many files in one batch, more than are opened at once: each comes whole up to its limit, across
// read sizes and short answers (sysfs), or absent (missing, a folder, a FIFO that is never opened).
TEST_F(RemoteSshTest, PipelinedReadsGiveEachFileWholeOrAbsent) {
    ssh_session ssh = ssh_new();
    ASSERT_TRUE(ssh);
    ssh_options_set(ssh, SSH_OPTIONS_SSH_DIR, server_.sshDir().c_str());
    ssh_options_set(ssh, SSH_OPTIONS_HOST, "qvself");
    ssh_options_parse_config(ssh, nullptr);
    ASSERT_EQ(ssh_connect(ssh), SSH_OK) << ssh_get_error(ssh);
    ASSERT_EQ(ssh_userauth_publickey_auto(ssh, nullptr, nullptr), SSH_AUTH_SUCCESS);
    auto pipeline = qv::management::ssh::SftpPipeline::open(ssh);
    ASSERT_TRUE(pipeline);

    const std::string dir = server_.folder() + "/files";
    std::filesystem::create_directories(dir + "/folder");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0644), 0);
    auto bytes = [](std::size_t n) {
        std::string s(n, '\0');
        for (std::size_t k = 0; k < n; ++k) s[k] = static_cast<char>('a' + k * 7 % 26);
        return s;
    };
    struct Case {
        std::string name;
        std::size_t size, limit;
        bool statFirst = true;
        std::optional<std::uint64_t> known = std::nullopt;  // a size given beforehand, as a listing gives it
        std::optional<std::string> expected = std::nullopt;  // computed below for files made here
    };
    std::vector<Case> cases = {
        {"empty", 0, 1000}, {"small", 100, 1000}, {"chunk-1", 65535, 8u << 20}, {"chunk", 65536, 8u << 20},
        {"chunk+1", 65537, 8u << 20}, {"several", 300001, 8u << 20}, {"cut", 5000, 1000}, {"cut-at-chunk", 200000, 65536},
        {"unstatted", 70000, 8u << 20, false},
        // Sizes known beforehand: right, stale (the file grew or shrank since), and past a chunk.
        {"known", 100, 1000, false, 100}, {"grew", 5000, 8u << 20, false, 100}, {"shrank", 100, 8u << 20, false, 5000},
        {"known-several", 300001, 8u << 20, false, 300001},
    };
    for (int k = 0; k < 20; ++k) cases.push_back({"many" + std::to_string(k), 10u + k, 1000});
    for (auto& c : cases) {
        std::ofstream(dir + "/" + c.name, std::ios::binary) << bytes(c.size);
        c.expected = bytes(std::min(c.size, c.limit));
    }
    cases.push_back({"missing", 0, 1000});
    cases.push_back({"folder", 0, 1000});
    cases.push_back({"fifo", 0, 1000});
    std::vector<qv::management::ssh::SftpPipeline::Read> reads;
    for (const auto& c : cases) reads.push_back({dir + "/" + c.name, c.limit, c.statFirst, c.known, 0});
    std::ifstream local("/sys/class/net/lo/address");
    std::string lo((std::istreambuf_iterator<char>(local)), std::istreambuf_iterator<char>());
    reads.push_back({"/sys/class/net/lo/address", 1000, false, std::nullopt, 4096});
    // Reads from an offset: within the file, across a chunk's end, and running into its end.
    const std::size_t offsets[] = {70000, 65000, 299001};
    for (std::size_t offset : offsets) reads.push_back({dir + "/several", 5000, false, std::nullopt, 0, offset});
    std::vector<std::optional<std::string>> out;
    ASSERT_TRUE(pipeline->read(reads, out));
    ASSERT_EQ(out.size(), reads.size());
    for (std::size_t k = 0; k < std::size(offsets); ++k)
        EXPECT_EQ(out[out.size() - std::size(offsets) + k].value_or("<absent>"), bytes(300001).substr(offsets[k], 5000));
    out.resize(out.size() - std::size(offsets));
    reads.resize(reads.size() - std::size(offsets));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(out[k].has_value(), cases[k].expected.has_value()) << cases[k].name;
        if (out[k] && cases[k].expected) {
            EXPECT_TRUE(*out[k] == *cases[k].expected) << cases[k].name << " " << out[k]->size();
        }
    }
    if (!lo.empty()) {
        EXPECT_EQ(out.back().value_or("<absent>"), lo);
    }

    // Statuses and links in a batch; a later batch still works after the reads' late answers.
    std::filesystem::create_symlink("small", dir + "/link");
    std::vector<std::optional<struct stat>> st;
    ASSERT_TRUE(pipeline->status({dir + "/several", dir + "/missing", dir + "/link"}, false, st));
    ASSERT_EQ(st.size(), 3u);
    EXPECT_TRUE(st[0] && S_ISREG(st[0]->st_mode) && st[0]->st_size == 300001);
    EXPECT_FALSE(st[1]);
    EXPECT_TRUE(st[2] && S_ISLNK(st[2]->st_mode));
    std::vector<std::optional<std::string>> links;
    ASSERT_TRUE(pipeline->readLinks({dir + "/link", dir + "/small"}, links));
    EXPECT_EQ(links[0].value_or("<absent>"), "small");
    EXPECT_FALSE(links[1]);
    // Resolved paths: through a link, and nothing for a missing last part or a dangling link.
    std::filesystem::create_symlink("gone", dir + "/dangling");
    std::vector<std::optional<std::string>> real;
    ASSERT_TRUE(pipeline->realPaths({dir + "/link", dir + "/folder/../small", dir + "/missing", dir + "/dangling"}, real));
    ASSERT_EQ(real.size(), 4u);
    const std::string canonical = std::filesystem::canonical(dir).string();
    EXPECT_EQ(real[0].value_or("<absent>"), canonical + "/small");
    EXPECT_EQ(real[1].value_or("<absent>"), canonical + "/small");
    EXPECT_FALSE(real[2] || real[3]);
    std::vector<qv::management::ssh::SftpPipeline::Entry> entries;
    ASSERT_TRUE(pipeline->list(dir, 1u << 20, entries));
    std::map<std::string, mode_t> listed;
    for (const auto& [name, st] : entries) listed[name] = st.mode;
    EXPECT_EQ(listed.size(), cases.size() + 4 - 1);  // the cases but "missing", two links, "." and ".."
    EXPECT_TRUE(S_ISDIR(listed["folder"]) && S_ISFIFO(listed["fifo"]) && S_ISLNK(listed["link"]));
    ASSERT_TRUE(pipeline->list(dir, 5, entries));
    EXPECT_EQ(entries.size(), 5u);
    ASSERT_TRUE(pipeline->list(dir + "/missing", 5, entries));
    EXPECT_TRUE(entries.empty());
    // Folders listed together: a long one (more than one answer's worth), an empty one, a missing one.
    for (int k = 0; k < 250; ++k) std::ofstream(dir + "/folder/" + std::to_string(k));
    std::vector<std::vector<qv::management::ssh::SftpPipeline::Entry>> many;
    ASSERT_TRUE(pipeline->listMany({dir + "/folder", dir, dir + "/missing", dir + "/folder/0"}, 1u << 20, many));
    ASSERT_EQ(many.size(), 4u);
    EXPECT_EQ(many[0].size(), 252u);
    EXPECT_EQ(many[1].size(), cases.size() + 4 - 1);
    EXPECT_TRUE(many[2].empty() && many[3].empty());
    // All of these asked for at once give what each call gave alone.
    qv::management::ssh::SftpPipeline::Together t;
    t.folders = {dir + "/folder", dir + "/missing"};
    t.maxEntries = 1u << 20;
    t.ownStatuses = {dir + "/several", dir + "/missing", dir + "/link"};
    t.resolve = {dir + "/link", dir + "/missing"};
    t.reads = reads;
    ASSERT_TRUE(pipeline->together(t));
    ASSERT_EQ(t.listings.size(), 2u);
    EXPECT_EQ(t.listings[0].size(), 252u);
    EXPECT_TRUE(t.listings[1].empty());
    ASSERT_EQ(t.owned.size(), 3u);
    EXPECT_TRUE(t.owned[0] && t.owned[0]->st_size == 300001 && !t.owned[1] && t.owned[2] && S_ISLNK(t.owned[2]->st_mode));
    EXPECT_EQ(t.resolved, (std::vector<std::optional<std::string>>{canonical + "/small", std::nullopt}));
    EXPECT_TRUE(t.contents == out);
    pipeline.reset();
    ssh_disconnect(ssh);
    ssh_free(ssh);
}

TEST_F(RemoteSshTest, RefusesUnknownOrChangedHostKeysForeignClientKeysAndClosedPorts) {
    qvtest::Relay unknown(server_.port()), changed(server_.port());
    server_.addAlias("qvunknown", unknown.port());
    server_.addAlias("qvchanged", changed.port());
    server_.addKnownHost(changed.port(), qvtest::generatedKeyLine(server_.folder()));
    int closed = qvtest::freeLoopbackPort();
    server_.addAlias("qvclosed", closed);
    // A client folder whose key the server does not know.
    std::string stranger = server_.folder() + "/stranger";
    ASSERT_EQ(std::system(("mkdir -p '" + stranger + "' && cp '" + server_.sshDir() + "/config' '" + server_.sshDir() +
                           "/known_hosts' '" + stranger + "' && ssh-keygen -q -t ed25519 -N '' -f '" + stranger +
                           "/id_ed25519' && sed -i 's|" + server_.sshDir() + "|" + stranger + "|' '" + stranger +
                           "/config'")
                              .c_str()),
              0);
    struct Case {
        std::string sshDir, name;
        std::int32_t number;
        std::string description;
    } cases[] = {
        {server_.sshDir(), "qvunknown", qv::management::ssh::kErrSshHostKeyUnknown,
         "Host key of qvunknown not known (add it to known_hosts) "},
        {server_.sshDir(), "qvchanged", qv::management::ssh::kErrSshHostKeyChanged,
         "Host key of qvchanged does not match known_hosts (changed key or another server) "},
        {stranger, "qvself", qv::management::ssh::kErrSshAuthentication, "No SSH key or Kerberos ticket accepted by qvself "},
        {server_.sshDir(), "qvclosed", qv::management::kErrRpcServerUnavailable, qv::management::kErrRpcServerUnavailableText},
    };
    for (const auto& c : cases) {
        ::setenv("QV_SSH_DIR", c.sshDir.c_str(), 1);
        qv::PlatformError err;
        auto start = Clock::now();
        EXPECT_FALSE(connect(c.name, err)) << c.name;
        EXPECT_EQ(err.number, c.number) << c.name;
        EXPECT_EQ(err.description, c.description);
        EXPECT_LT(msSince(start), limits_.connectMs / 6) << c.name;  // refused, not waited out
    }
}

TEST_F(RemoteSshTest, ALostOrSilentServerEndsTheCallAndEveryLaterOneAtOnce) {
    for (bool silent : {false, true}) {
        qvtest::Relay relay(server_.port());
        server_.addAlias(silent ? "qvsilent" : "qvlost", relay.port());
        server_.addKnownHost(relay.port(), server_.hostKeyLine());
        limits_.queryMs = 400;  // the stalled call waits it out
        qv::PlatformError err;
        auto remote = connect(silent ? "qvsilent" : "qvlost", err);
        ASSERT_TRUE(remote) << err.description;
        // Cut or stalled once connected: the first call, which fetches what every inventory
        // reads, meets it.
        silent ? relay.stall() : relay.cut();
        auto start = Clock::now();
        auto first = remote->instances("Win32_ComputerSystem");
        ASSERT_FALSE(first);
        EXPECT_LT(msSince(start), silent ? limits_.queryMs + 700 : 300);
        EXPECT_EQ(first.error().limitReached, silent);
        EXPECT_EQ(first.error().error.number, silent ? qv::management::kErrTimedOut : qv::management::ssh::kErrSshLost);
        start = Clock::now();
        auto later = remote->instances("Win32_Processor");
        ASSERT_FALSE(later);
        EXPECT_EQ(later.error().error.number, qv::management::ssh::kErrSshLost);
        EXPECT_FALSE(later.error().limitReached);
        // The registry provider shares the connection: it fails at once too.
        std::vector<std::string> keys;
        EXPECT_FALSE(qv::calls::enumKey(*remote, qv::kHiveLocalMachine, "Software", keys));
        EXPECT_LT(msSince(start), 50);
    }
}

}  // namespace

namespace {


// A hostile system behind a chrooted sshd: a 64 GB /proc/cpuinfo, links that loop, a FIFO where
// /proc/meminfo belongs. Every class answers or fails within its limits, with bounded memory.
TEST_F(RemoteSshHostile, HugeFilesLinkLoopsAndFifosNeitherHangNorExhaustMemory) {
    const std::string root = server_.chrootDir();
    ASSERT_EQ(std::system(("cd '" + root + "' && mkdir -p proc/net sys/class/net sys/block etc && "
                           "truncate -s 64G proc/cpuinfo && cp proc/cpuinfo proc/modules && "
                           "ln -s /sys/class/net/eth0 sys/class/net/eth0 && ln -s loop2 sys/block/loop1 && "
                           "ln -s loop1 sys/block/loop2 && ln -s /proc/mounts proc/mounts && "
                           "ln -s /etc/passwd etc/passwd && echo 'ID=hostile' >etc/os-release")
                              .c_str()),
              0);
    qv::Limits limits;
    limits.queryMs = 5000;  // room for the 8 MB reads on a busy machine; a hang would still fail the test
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    qv::PlatformError err;
    auto remote = connectSsh("qvself", limits, err);
    ASSERT_TRUE(remote) << err.description;
    auto start = Clock::now();
    for (const auto& def : qv::facts::classTable()) {
        qv::Instances out;
        EXPECT_TRUE(qv::calls::instancesOf(*remote, def.name, out, err)) << def.name << ": " << err.description;
    }
    EXPECT_LT(msSince(start), 10000);
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    // Files are read to 8 MB at most. The address sanitizer keeps up to 256 MB of freed memory
    // aside (its quarantine), which counts as the process's own.
#if defined(__SANITIZE_ADDRESS__)
    const long quarantine = 256 * 1024;
#else
    const long quarantine = 0;
#endif
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024 + quarantine) << "KB";

    // A FIFO where a file belongs: the server blocks in open; the call ends at the query limit.
    ASSERT_EQ(::mkfifo((root + "/proc/meminfo").c_str(), 0644), 0);
    limits.queryMs = 400;
    remote.reset();
    remote = connectSsh("qvself", limits, err);
    ASSERT_TRUE(remote) << err.description;
    start = Clock::now();
    auto timedOut = remote->instances("Win32_ComputerSystem");  // reads /proc/meminfo
    ASSERT_FALSE(timedOut);
    EXPECT_EQ(timedOut.error().error.number, qv::management::kErrTimedOut);
    EXPECT_TRUE(timedOut.error().limitReached);
    EXPECT_LT(msSince(start), limits.queryMs + 1000);
    // The server's process still waits in open: a writer lets it go, so it sees the cut and ends.
    for (int tries = 0; tries < 200; ++tries) {
        int fd = ::open((root + "/proc/meminfo").c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

namespace {

// Kernel modules are read in pieces over SFTP (header, section table, .modinfo) from a chrooted
// system laid out as the local provider's tests lay out theirs.
TEST_F(RemoteSshChroot, ModuleDescriptionsAreReadInPieces) {
    const std::string lib = server_.chrootDir() + "/lib/modules/6.1.0-18-amd64";
    std::filesystem::create_directories(lib + "/kernel");
    std::filesystem::create_directories(server_.chrootDir() + "/proc/sys/kernel");
    qvtest::writeFile(server_.chrootDir() + "/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    qvtest::writeFile(server_.chrootDir() + "/proc/modules", "btrfs 1 0 - Live 0x0\nvirtio_blk 1 0 - Live 0x0\n");
    qvtest::writeFile(lib + "/modules.dep", "kernel/btrfs.ko:\nkernel/virtio_blk.ko:\n");
    qvtest::writeFile(lib + "/kernel/btrfs.ko", qvtest::kernelModule({"license=GPL", "description=B-tree file system"}));
    qvtest::writeFile(lib + "/kernel/virtio_blk.ko", qvtest::kernelModule({"description=Virtio block driver"}));
    qv::PlatformError err;
    auto remote = connectSsh("qvself", qv::Limits{}, err);
    ASSERT_TRUE(remote) << err.description;
    qv::Instances drivers;
    ASSERT_TRUE(qv::calls::instancesOf(*remote, "Win32_BaseService", drivers, err));
    ASSERT_EQ(drivers.size(), 2u);
    EXPECT_EQ(qvtest::text(drivers[0], "Description"), "B-tree file system");
    EXPECT_EQ(qvtest::text(drivers[0], "PathName"), "/lib/modules/6.1.0-18-amd64/kernel/btrfs.ko");
    EXPECT_EQ(qvtest::text(drivers[1], "Description"), "Virtio block driver");
}

}  // namespace

// An id list is taken from this computer only when the remote copy has its size and time.
TEST_F(RemoteSshChroot, PackagedIdListsAreTheRemoteOnesUnlessSizeAndTimeMatchThisComputersCopy) {
    const std::string ids = "/usr/share/misc/pci.ids";
    struct stat own {};
    if (::stat(ids.c_str(), &own) != 0) GTEST_SKIP() << "no " << ids << " on this computer";
    std::ifstream in(ids, std::ios::binary);
    std::string copy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string vendor = "\n1af4  ";
    auto at = copy.find(vendor);
    ASSERT_NE(at, std::string::npos);
    at += vendor.size();
    const std::string ownName = copy.substr(at, copy.find('\n', at) - at);
    std::string altered = copy;
    altered[at] = ownName[0] == 'X' ? 'Y' : 'X';  // same size, another name
    const std::string alteredName = altered.substr(at, ownName.size());

    const std::string dev = server_.chrootDir() + "/sys/bus/pci/devices/0000:00:04.0";
    std::filesystem::create_directories(dev);
    std::filesystem::create_directories(server_.chrootDir() + "/usr/share/misc");
    qvtest::writeFile(dev + "/class", "0x010000\n");
    qvtest::writeFile(dev + "/vendor", "0x1af4\n");
    qvtest::writeFile(dev + "/device", "0x1004\n");
    struct Case {
        const char* what;
        std::string content;
        long timeShift;
        std::string expected;
    } cases[] = {
        {"size and time match", altered, 0, ownName},
        {"time differs", altered, 1, alteredName},
        {"size differs", altered + "\n", 0, alteredName},
    };
    for (const auto& c : cases) {
        const std::string remoteIds = server_.chrootDir() + ids;
        qvtest::writeFile(remoteIds, c.content);
        timespec times[2] = {{own.st_mtime + c.timeShift, 0}, {own.st_mtime + c.timeShift, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, remoteIds.c_str(), times, 0), 0);
        qv::PlatformError err;
        auto remote = connectSsh("qvself", qv::Limits{}, err);
        ASSERT_TRUE(remote) << err.description;
        qv::Instances controllers;
        ASSERT_TRUE(qv::calls::instancesOf(*remote, "Win32_SCSIController", controllers, err)) << c.what;
        ASSERT_EQ(controllers.size(), 1u) << c.what;
        EXPECT_EQ(qvtest::text(controllers[0], "Manufacturer"), c.expected) << c.what;
    }
}

// qv as an ordinary user: the remote account's rights are what count for another computer, and
// this computer is inventoried with one log line naming the facts only root can read.
TEST_F(RemoteSshTest, AnOrdinaryUserInventoriesAnotherComputerAndThisOne) {
    const std::string dir = qvtest::makeTempDir();
    // The client folder copied where the user can read it (the key readable by that user alone).
    ASSERT_EQ(std::system(("cp -r '" + server_.sshDir() + "' '" + dir + "/ssh' && sed -i 's|" + server_.sshDir() + "|" + dir +
                           "/ssh|' '" + dir + "/ssh/config'")
                              .c_str()),
              0);
    std::string asUser;
    if (::geteuid() == 0) {
        ASSERT_EQ(std::system(("chown -R 65534:65534 '" + dir + "'").c_str()), 0);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const struct {
        std::vector<std::string> args;
        const char* console;
        const char* report;
    } cases[] = {
        {{"qvself"}, "Connected to QVSELF\r\n", "QVQVSELF.txt"},
        {{}, "Complete: Inventory Local Computer Only\r\n", nullptr},
    };
    for (const auto& c : cases) {
        std::string cmd = "cd '" + dir + "' && HOME='" + dir + "' XDG_CONFIG_HOME= QV_SSH_DIR='" + dir + "/ssh' QV_CONFIG_DIR='" +
                          dir + "/config' QV_NETRC='" + dir + "/netrc' " + asUser + "timeout 120 '" QV_PATH "'";
        for (const std::string& a : c.args) cmd += " " + a;
        cmd += " >'" + dir + "/out' 2>'" + dir + "/err' </dev/null";
        const int status = std::system(cmd.c_str());
        const std::string out = qvtest::readFile(dir + "/out");
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0) << out << qvtest::readFile(dir + "/err");
        EXPECT_EQ(out.find("Insufficient User Rights"), std::string::npos) << out;
        EXPECT_NE(out.find(c.console), std::string::npos) << out;
        if (c.report) {
            EXPECT_TRUE(std::filesystem::exists(dir + "/Documents/" + c.report)) << out;
        }
    }
    // Both runs were ordinary users'; the local one names what stays empty.
    const std::string log = qvtest::readFile(dir + "/Documents/QV.log");
    const std::string note = "User Rights: not root; facts of this computer only root can read stay empty: SMBIOS serial numbers";
    std::size_t first = log.find(note);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(note, first + 1), std::string::npos) << "only the run that inventories this computer says it";
    EXPECT_GT(first, log.find("Connected to QVSELF")) << log;
}

// The package's nightly inventory: the service's own environment and command line, with its
// folders moved under a test folder, run as an unprivileged user (as the system user quorvex is)
// over the package's name file plus a computer on the test SSH server.
TEST_F(RemoteSshTest, TheServiceCommandLineAsItsUserInventoriesTheNamedComputers) {
    const std::string dir = qvtest::makeTempDir();
    std::ifstream unit(QV_SOURCE_DIR "/packaging/quorvex-inventory.service");
    ASSERT_TRUE(unit);
    auto moved = [&](std::string text) {
        for (const auto& [from, to] : {std::pair<std::string, std::string>{"/etc/quorvex", dir + "/etc"},
                                       {"/var/lib/quorvex", dir + "/state"}, {"/usr/bin/qv", QV_PATH}})
            for (std::size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
        return text;
    };
    std::string environment, command, user;
    for (std::string line; std::getline(unit, line);) {
        if (line.rfind("Environment=", 0) == 0) environment += moved(line.substr(12)) + " ";
        if (line.rfind("ExecStart=", 0) == 0) command = moved(line.substr(10));
        if (line.rfind("User=", 0) == 0) user = line.substr(5);
    }
    ASSERT_EQ(user, "quorvex");
    ASSERT_FALSE(command.empty());
    // The settings as the package and its postinst leave them, and the administrator's additions:
    // one more name, the SSH client folder, the netrc.
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/etc' '" + dir + "/state' && cp '" QV_SOURCE_DIR "/packaging/computers' '" QV_SOURCE_DIR
                           "/packaging/winrm' '" + dir + "/etc/' && echo qvself >>'" + dir + "/etc/computers' && cp -r '" +
                           server_.sshDir() + "' '" + dir + "/etc/ssh' && sed -i 's|" + server_.sshDir() + "|" + dir +
                           "/etc/ssh|' '" + dir + "/etc/ssh/config' && install -m 0600 /dev/null '" + dir + "/etc/netrc'")
                              .c_str()),
              0);
    qvtest::writeFile(dir + "/etc/user-dirs.dirs", moved(qvtest::readFile(QV_SOURCE_DIR "/packaging/user-dirs.dirs")));
    std::string asUser;
    if (::geteuid() == 0) {
        ASSERT_EQ(std::system(("chmod 755 '" + dir + "' '" + dir + "/etc' && chown -R 65534:65534 '" + dir + "/state' '" + dir +
                               "/etc/ssh' '" + dir + "/etc/netrc'")
                                  .c_str()),
                  0);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const std::string cmd = "cd '" + dir + "/state' && env -i PATH=/usr/bin:/bin " + environment + asUser + "timeout 120 " + command +
                            " >'" + dir + "/out' 2>'" + dir + "/err' </dev/null";
    const int status = std::system(cmd.c_str());
    const std::string out = qvtest::readFile(dir + "/out");
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0) << out << qvtest::readFile(dir + "/err");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const std::string local = qv::posix::computerNameOf(host);
    // Everything in the state folder: the log with its tally, both reports and the database.
    const std::string log = qvtest::readFile(dir + "/state/QV.log");
    EXPECT_NE(log.find("Tally: 2 inventoried, 0 failed, 0 rows not written\r\n"), std::string::npos) << log;
    for (const std::string& file : std::vector<std::string>{"QVQVSELF.txt", "QV" + local + ".txt", "QV.mdb"})
        EXPECT_TRUE(std::filesystem::exists(dir + "/state/" + file)) << file << "\n" << out;
}

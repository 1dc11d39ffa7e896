// Settings and credential files (winrm settings, netrc, SSH configuration and the files it
// includes): only regular files of bounded size are read, includes to a bounded depth and count;
// a FIFO, a device, a folder, a huge file or an include without end is refused at once with a reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "management/errors.h"
#include "management/remote/choice.h"
#include "management/ssh/session.h"
#include "management/wsman/errors.h"
#include "management/wsman/settings.h"
#include "management/wsman/transport.h"
#include "tests/support/sim_run.h"

namespace {

using namespace qv::management;
using namespace qv::management::wsman;

enum class Kind { Regular, Missing, Folder, Fifo, Device, Huge, JustOverLimit, AtLimit };

// Puts a thing of `kind` at `path`; the regular ones hold `text` (owner-only, as a netrc must be).
void make(Kind kind, const std::string& path, const std::string& text) {
    switch (kind) {
        case Kind::Regular: qvtest::writeFile(path, text); break;
        case Kind::Missing: break;
        case Kind::Folder: ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); break;
        case Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
        case Kind::Device: ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0); break;
        case Kind::Huge:
        case Kind::JustOverLimit:
        case Kind::AtLimit: {
            // Sparse: a 2 GB netrc costs no disk, and is never read.
            qvtest::writeFile(path, text);
            const off_t size = kind == Kind::Huge ? off_t{2} << 30
                               : kind == Kind::AtLimit ? off_t(kMaxSettingsBytes) : off_t(kMaxSettingsBytes) + 1;
            ASSERT_EQ(::truncate(path.c_str(), size), 0);
            break;
        }
    }
    if (kind == Kind::Regular || kind == Kind::Huge || kind == Kind::JustOverLimit || kind == Kind::AtLimit)
        ::chmod(path.c_str(), 0600);
}

struct Case {
    Kind kind;
    FileStatus status;
    const char* why;  // what the refusal says after the path
};
const Case kCases[] = {
    {Kind::Regular, FileStatus::Read, ""},
    {Kind::AtLimit, FileStatus::Read, ""},
    {Kind::Missing, FileStatus::Missing, ""},
    {Kind::Folder, FileStatus::Refused, " is a folder, not a file; not used"},
    {Kind::Fifo, FileStatus::Refused, " is a FIFO, not a regular file; not used"},
    {Kind::Device, FileStatus::Refused, " is a device, not a regular file; not used"},
    {Kind::Huge, FileStatus::Refused, " is larger than 1 MiB (2147483648 bytes); not used"},
    {Kind::JustOverLimit, FileStatus::Refused, " is larger than 1 MiB (1048577 bytes); not used"},
};

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override { dir_ = qvtest::makeTempDir(); }
    void TearDown() override {
        unsetenv("QV_NETRC");
        unsetenv("QV_CONFIG_DIR");
        unsetenv("QV_SSH_DIR");
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string dir_;
};

TEST_F(SettingsFiles, OnlyBoundedRegularFilesAreRead) {
    int n = 0;
    for (const Case& c : kCases) {
        const std::string path = dir_ + "/f" + std::to_string(n++);
        make(c.kind, path, "machine ws01 login u password p\n");
        SettingsFile f = readSettingsFile(path);
        EXPECT_EQ(f.status, c.status) << path;
        EXPECT_EQ(f.why, c.status == FileStatus::Refused ? path + c.why : "") << path;
        if (c.kind == Kind::Regular) {
            EXPECT_EQ(f.text, "machine ws01 login u password p\n");
        }
        if (c.kind == Kind::AtLimit) {
            EXPECT_EQ(f.text.size(), kMaxSettingsBytes);
        }
        if (c.status != FileStatus::Read) {
            EXPECT_EQ(f.text, "");
        }
    }
}

TEST_F(SettingsFiles, NetrcWinrmAndSshConfigurationSayWhyTheyAreNotUsed) {
    int n = 0;
    for (const Case& c : kCases) {
        const std::string sub = dir_ + "/" + std::to_string(n++);
        ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
        const std::string config = sub + "/quorvex";
        ASSERT_EQ(::mkdir(config.c_str(), 0700), 0);
        setenv("QV_CONFIG_DIR", config.c_str(), 1);
        setenv("QV_NETRC", (sub + "/netrc").c_str(), 1);
        setenv("QV_SSH_DIR", sub.c_str(), 1);

        // The netrc: a refusal names the file and why; a folder is no longer "no login".
        make(c.kind, sub + "/netrc", "machine ws01 login u password p\n");
        Login login;
        std::string why;
        const NetrcStatus st = loginFor("ws01", login, why);
        const NetrcStatus expected = c.status == FileStatus::Read      ? NetrcStatus::Found
                                     : c.status == FileStatus::Missing ? NetrcStatus::NotFound
                                                                       : NetrcStatus::Refused;
        EXPECT_EQ(st, expected) << sub;
        if (c.status == FileStatus::Refused) {
            EXPECT_EQ(why, sub + "/netrc" + c.why);
        }
        if (c.kind == Kind::Regular) {
            EXPECT_EQ(login.user, "u");
        }

        // The connection says the same instead of "No Kerberos ticket or .netrc login".
        qvtest::writeFile(config + "/winrm", "Host ws01\n HostName 127.0.0.1\n Auth ntlm\n");
        if (c.status == FileStatus::Refused) {
            qv::Limits limits;
            limits.connectMs = 200;
            auto opened = WsmanTransport().open("ws01", limits, std::nullopt);
            ASSERT_FALSE(opened);
            EXPECT_EQ(opened.error().error.number, kErrWsmanNoCredentials);
            EXPECT_EQ(opened.error().error.description, sub + "/netrc" + c.why + " ");
        }

        // The winrm settings file.
        ::unlink((config + "/winrm").c_str());
        make(c.kind, config + "/winrm", "Host ws01\n Port 15985\n");
        Settings s;
        why.clear();
        EXPECT_EQ(settingsFor("ws01", s, why), c.status != FileStatus::Refused) << sub;
        if (c.status == FileStatus::Refused) {
            EXPECT_EQ(why, config + "/winrm" + c.why);
        }
        EXPECT_EQ(s.configured, c.status == FileStatus::Read) << sub;

        // The SSH configuration: names nothing, and a session is refused with the reason.
        make(c.kind, sub + "/config", "Host ws01\n Port 2222\n");
        EXPECT_EQ(qv::management::remote::sshConfigNames("ws01"), c.status == FileStatus::Read) << sub;
        if (c.status == FileStatus::Refused) {
            qv::PlatformError failed;
            EXPECT_FALSE(qv::management::ssh::configuredSession("ws01", failed));
            EXPECT_EQ(failed.description, "SSH configuration for ws01 could not be read: " + sub + "/config" + c.why + " ");
        }
    }
}

// The SSH configuration's Include lines: what they name is read as the configuration is, and
// only so far; the Host blocks of the files read count as the configuration's own.
TEST_F(SettingsFiles, SshIncludesAreReadWithinBounds) {
    using Make = std::function<void(const std::string& dir)>;
    auto chain = [](int levels, const std::string& last) {
        return [=](const std::string& dir) {
            qvtest::writeFile(dir + "/config", "Include d1\n");
            for (int k = 1; k < levels; ++k)
                qvtest::writeFile(dir + "/d" + std::to_string(k), "Include d" + std::to_string(k + 1) + "\n");
            qvtest::writeFile(dir + "/d" + std::to_string(levels), last);
        };
    };
    struct IncludeCase {
        const char* what;
        Make make;
        bool named;       // the configuration names ws01
        std::string why;  // the refusal ("DIR" for the folder), empty when the configuration is read
    } cases[] = {
        {"one file", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Include hosts.conf\n");
             qvtest::writeFile(d + "/hosts.conf", "Host ws01\n Port 2222\n");
         }, true, ""},
        {"a pattern", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Include=\"conf.d/*.conf\"\n");
             ASSERT_EQ(::mkdir((d + "/conf.d").c_str(), 0700), 0);
             qvtest::writeFile(d + "/conf.d/a.conf", "Host other\n");
             qvtest::writeFile(d + "/conf.d/b.conf", "Host ws01\n");
         }, true, ""},
        {"no such file", [](const std::string& d) { qvtest::writeFile(d + "/config", "Include nothere.conf\n"); }, false, ""},
        {"a block of another computer", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Host other\n Include hosts.conf\n");
             qvtest::writeFile(d + "/hosts.conf", "Host ws01\n");
         }, false, ""},
        {"a FIFO", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Host *\n\n  Include inc\n");
             ASSERT_EQ(::mkfifo((d + "/inc").c_str(), 0600), 0);
         }, false, "DIR/inc is a FIFO, not a regular file (Include on line 3 of DIR/config); not used"},
        {"a folder", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Include inc\n");
             ASSERT_EQ(::mkdir((d + "/inc").c_str(), 0700), 0);
         }, false, "DIR/inc is a folder, not a file (Include on line 1 of DIR/config); not used"},
        {"too large", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Include inc\n");
             qvtest::writeFile(d + "/inc", "Host ws01\n");
             ASSERT_EQ(::truncate((d + "/inc").c_str(), off_t(kMaxSettingsBytes) + 1), 0);
         }, false, "DIR/inc is larger than 1 MiB (1048577 bytes) (Include on line 1 of DIR/config); not used"},
        {"including itself", [](const std::string& d) {
             qvtest::writeFile(d + "/config", "Host ws01\nInclude a.conf\n");
             qvtest::writeFile(d + "/a.conf", "Include ./config\n");
         }, false, "DIR/./config includes itself (Include on line 1 of DIR/a.conf); not used"},
        {"16 levels", chain(16, "Host ws01\n"), true, ""},
        {"17 levels", chain(17, "Host ws01\n"), false,
         "DIR/d17 is included more than 16 levels deep (Include on line 1 of DIR/d16); not used"},
        {"too many files", [](const std::string& d) {
             // 8 files that each include the same 8: 72 files read, as ssh would read them.
             qvtest::writeFile(d + "/config", "Include f*\n");
             for (int k = 1; k <= 8; ++k) {
                 qvtest::writeFile(d + "/f" + std::to_string(k), "Include g*\n");
                 qvtest::writeFile(d + "/g" + std::to_string(k), "Host ws01\n");
             }
         }, false, "DIR/config includes more than 64 files in all (Include on line 1 of DIR/f8); not used"},
    };
    int n = 0;
    for (const IncludeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string sub = dir_ + "/" + std::to_string(n++);
        ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
        setenv("QV_SSH_DIR", sub.c_str(), 1);
        c.make(sub);
        std::string why = c.why;
        for (std::size_t at; (at = why.find("DIR")) != std::string::npos;) why.replace(at, 3, sub);
        EXPECT_EQ(qv::management::remote::sshConfigNames("ws01"), c.named);
        qv::PlatformError failed;
        const auto session = qv::management::ssh::configuredSession("ws01", failed);
        if (why.empty()) {
            EXPECT_TRUE(session) << failed.description;
        } else {
            EXPECT_FALSE(session);
            EXPECT_EQ(failed.description, "SSH configuration for ws01 could not be read: " + why + " ");
        }
    }
}

}  // namespace

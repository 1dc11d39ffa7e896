// Settings and credential files (winrm settings, netrc, SSH configuration): only regular files of
// bounded size are read; a FIFO, a device, a folder or a huge file is refused at once with a reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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

}  // namespace

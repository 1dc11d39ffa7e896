// The WS-Management transport against a small HTTPS server: Identify, Basic authentication,
// an enumeration over Enumerate and Pull typed as DCOM types it, and the refusals of a wrong
// password, an untrusted certificate and an unknown class.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "management/errors.h"
#include "management/wsman/errors.h"
#include "management/wsman/transport.h"
#include "tests/support/sim_run.h"

namespace {

using namespace qv;
using namespace qv::management;

class WsmanHttps : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v python3 >/dev/null && command -v openssl >/dev/null") != 0)
            GTEST_SKIP() << "python3 or openssl missing: the WS-Management HTTPS test was not run";
        dir_ = qvtest::makeTempDir();
        ASSERT_EQ(std::system(("cd '" + dir_ + "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem "
                               "-days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost 2>/dev/null").c_str()), 0);
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            const std::string script = std::string(QV_SOURCE_DIR) + "/tests/management/wsman_basic_server.py";
            execlp("python3", "python3", script.c_str(), (dir_ + "/cert.pem").c_str(), (dir_ + "/key.pem").c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        FILE* f = fdopen(out[0], "r");
        ASSERT_EQ(std::fscanf(f, "port %u", &port_), 1);
        std::fclose(f);
        setenv("QV_CONFIG_DIR", dir_.c_str(), 1);
        setenv("QV_NETRC", (dir_ + "/netrc").c_str(), 1);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        unsetenv("QV_CONFIG_DIR");
        unsetenv("QV_NETRC");
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    void configure(const std::string& extra, const std::string& password) {
        qvtest::writeFile(dir_ + "/winrm", "Host WS01\n HostName localhost\n Port " + std::to_string(port_) +
                                               "\n Scheme https\n Auth basic\n" + extra);
        qvtest::writeFile(dir_ + "/netrc", "machine WS01 login CORP\\u password " + password + "\n");
        chmod((dir_ + "/netrc").c_str(), 0600);
    }
    std::string dir_;
    pid_t pid_ = -1;
    unsigned port_ = 0;
};

TEST_F(WsmanHttps, EnumeratesAndRefusesAsWindowsWould) {
    Limits limits;
    limits.connectMs = 5000;
    limits.queryMs = 5000;
    wsman::WsmanTransport transport;

    configure(" CAFile " + dir_ + "/cert.pem\n", "pw");
    auto opened = transport.open("WS01", limits, std::nullopt);
    ASSERT_TRUE(opened) << opened.error().error.description;
    Result<Instances> bios = (*opened)->instances("Win32_BIOS");
    ASSERT_TRUE(bios) << bios.error().error.description;
    ASSERT_EQ(bios->size(), 2u);  // one in the Enumerate's answer, one in the Pull's
    EXPECT_EQ((*bios)[1].get("Manufacturer").text, "ACME");
    EXPECT_EQ((*bios)[0].get("ReleaseDate").text, "20200102030405.000000+000");
    ASSERT_EQ((*bios)[0].get("BIOSVersion").kind, Value::Kind::List);
    Result<Instances> none = (*opened)->query("Select * from Win32_NoSuchClass");
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().error.number, kErrInvalidClass);
    EXPECT_EQ(none.error().error.description, kErrInvalidClassText);

    struct Refusal { bool trusted; const char* password; std::int32_t number; } refusals[] = {
        {false, "pw", wsman::kErrWsmanCertificate},  // the system's CAs do not know the certificate
        {true, "wrong", wsman::kErrAccessDenied},    // "Access is denied.", as DCOM says it
    };
    for (const Refusal& r : refusals) {
        configure(r.trusted ? " CAFile " + dir_ + "/cert.pem\n" : "", r.password);
        auto refused = transport.open("WS01", limits, std::nullopt);
        ASSERT_FALSE(refused) << r.password;
        EXPECT_EQ(refused.error().error.number, r.number) << refused.error().error.description;
        EXPECT_EQ(refused.error().error.description.find(r.password), std::string::npos);  // never the password
    }
    // A netrc that others can read is refused with its reason.
    configure(" CAFile " + dir_ + "/cert.pem\n", "pw");
    chmod((dir_ + "/netrc").c_str(), 0644);
    auto refused = transport.open("WS01", limits, std::nullopt);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().error.number, wsman::kErrWsmanNoCredentials);
    EXPECT_NE(refused.error().error.description.find("chmod 600"), std::string::npos);
}

}  // namespace

// HTTPS to a port that does not speak TLS: the connection fails within its limit with the
// handshake's reason, instead of "The RPC server is unavailable." with none.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "management/wsman/errors.h"
#include "management/wsman/transport.h"
#include "tests/support/sim_run.h"

namespace {

using namespace qv;
using namespace qv::management;

// A loopback listener; its port.
int listenOnLoopback(unsigned& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) return -1;
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// As an HTTP server answers what is not HTTP: 400 at once, then the connection closed. Serves
// the connections that come until `stopFd` is readable.
void answerBadRequest(int listener, int stopFd) {
    for (;;) {
        pollfd p[2] = {{listener, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0 || p[1].revents) return;
        const int c = ::accept(listener, nullptr, nullptr);
        if (c < 0) continue;
        char buf[4096];
        const char answer[] = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        if (::read(c, buf, sizeof buf) > 0 && ::write(c, answer, sizeof answer - 1) < 0) {
        }
        ::close(c);
    }
}

TEST(WsmanTls, HttpsToAPortWithoutTlsFailsWithTheHandshakesReason) {
    const std::string dir = qvtest::makeTempDir();
    setenv("QV_CONFIG_DIR", dir.c_str(), 1);
    setenv("QV_NETRC", (dir + "/netrc").c_str(), 1);
    qvtest::writeFile(dir + "/netrc", "default login CORP\\admin password pw\n");
    ::chmod((dir + "/netrc").c_str(), 0600);

    unsigned silentPort = 0, httpPort = 0;
    const int silent = listenOnLoopback(silentPort);  // connects, never answers the handshake
    const int http = listenOnLoopback(httpPort);
    int stop[2];
    ASSERT_TRUE(silent >= 0 && http >= 0 && ::pipe(stop) == 0);
    std::thread server(answerBadRequest, http, stop[0]);

    struct Case {
        const char* name;
        unsigned port;
        const char* reason;  // in the description after "TLS handshake with NAME failed: "
    } cases[] = {
        {"SILENT", silentPort, "no answer to the TLS handshake within 700 ms (is the port one of HTTP rather than HTTPS?)"},
        {"HTTPONLY", httpPort, "wrong version number"},
    };
    std::string winrm;
    for (const Case& c : cases)
        winrm += std::string("Host ") + c.name + "\n HostName 127.0.0.1\n Port " + std::to_string(c.port) +
                 "\n Scheme https\n Auth ntlm\n";
    qvtest::writeFile(dir + "/winrm", winrm);
    Limits limits;
    limits.connectMs = 700;
    limits.queryMs = 700;
    for (const Case& c : cases) {
        auto opened = wsman::WsmanTransport().open(c.name, limits, std::nullopt);
        if (opened) {
            ADD_FAILURE() << c.name << " was opened";
            continue;
        }
        const PlatformError& e = opened.error().error;
        EXPECT_EQ(e.number, wsman::kErrWsmanTls) << c.name << ": " << e.description;
        const std::string prefix = std::string("TLS handshake with ") + c.name + " failed: ";
        EXPECT_EQ(e.description.rfind(prefix, 0), 0u) << e.description;
        EXPECT_NE(e.description.find(c.reason), std::string::npos) << e.description;
    }
    EXPECT_EQ(::write(stop[1], "x", 1), 1);
    server.join();
    for (int fd : {silent, http, stop[0], stop[1]}) ::close(fd);
    unsetenv("QV_CONFIG_DIR");
    unsetenv("QV_NETRC");
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace

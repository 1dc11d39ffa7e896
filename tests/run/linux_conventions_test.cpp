// The real Linux program's own conventions: --help, --version, its name and paths on the usage
// screen, name files with comments, the names of this computer, and names that do not resolve.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "files/run_log.h"
#include "management/connector.h"
#include "management/errors.h"
#include "platform/posix/identity-posix.h"
#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

namespace {

struct QvRun {
    int status = -1;
    std::string out, log;
};

// Runs qv in `home` (its HOME and start folder) with the arguments, input from /dev/null.
QvRun runQv(const std::string& home, const std::vector<std::string>& args) {
    std::string cmd = "cd '" + home + "' && HOME='" + home + "' XDG_CONFIG_HOME= QV_PARALLEL=1 timeout 60 '" QV_PATH "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " >out.txt 2>err.txt </dev/null";
    QvRun r;
    const int s = std::system(cmd.c_str());
    r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    r.out = qvtest::readFile(home + "/out.txt");
    r.log = qvtest::readFile(home + "/Documents/QV.log");
    return r;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(LinuxConventions, HelpVersionUsageAndPathsAsTyped) {
    const std::string home = qvtest::makeTempDir();
    const std::string version = std::string("qv (Quorvex) ") + qv::files::kVersionLiteral + "\r\n";
    const std::string missing = home + "/Lower/Names.txt";
    const struct {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> shown, notShown;
    } cases[] = {
        {{"--help"}, 0, {"QUORVEX: qv\r\n", "SYNTAX: qv [/B]", "/F:path/filename", "--version           Displays the version."},
         {"QV.exe", "QV.EXE", "My Documents", "Path\\FileName", "Cmd Line:", "Press any key"}},
        {{"-h"}, 0, {"QUORVEX: qv\r\n", "/?, ?, -h, --help   Displays usage (this screen)."}, {"QV.exe", "Cmd Line:"}},
        {{"--version"}, 0, {version}, {"QUORVEX", "Cmd Line:"}},
        {{"/?"}, 0, {"Cmd Line:     qv /?\r\n", "QUORVEX: qv\r\n", "arguments.\r\n\r\nProgram Complete Normal End\r\n"},
         {"QV.exe", "Press any key"}},
        {{"--bogus"}, 2, {"*** Unrecognized Option '--BOGUS' ***\r\n", "QUORVEX: qv\r\n"}, {"Press any key"}},
        {{"/F:" + missing}, 3, {"*** File '" + missing + "' cannot be found ***\r\n"}, {"LOWER/NAMES.TXT", "Press any key"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const QvRun r = runQv(home, c.args);
        EXPECT_EQ(r.status, c.status) << r.out;
        for (const std::string& s : c.shown) EXPECT_TRUE(has(r.out, s)) << "missing " << s << "\n" << r.out;
        for (const std::string& s : c.notShown) EXPECT_FALSE(has(r.out, s)) << "shown " << s << "\n" << r.out;
        if (c.args[0] == "--version") {
            EXPECT_EQ(r.out, version);
        }
    }
    EXPECT_EQ(runQv(home, {"-h"}).out, runQv(home, {"--help"}).out);
}

TEST(LinuxConventions, NameFileCommentsAndThisComputersNames) {
    const std::string home = qvtest::makeTempDir();
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const std::string local = qv::posix::computerNameOf(host);
    // Every name of this computer, blank lines and comments: one computer, this one.
    qvtest::writeFile(home + "/names.txt", std::string("# A COMMENT\n\n   \nlocalhost\n127.0.0.1\n::1\n  # indented comment\n") +
                                               host + "\n" + local + "\n");
    const QvRun r = runQv(home, {"/F:" + home + "/names.txt"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r.out, "Complete: File " + home + "/names.txt Contains 1 Computer Name(s)\r\n")) << r.out;
    EXPECT_TRUE(has(r.out, "\r\n" + local + "\r\nConnected to " + local + "\r\n")) << r.out;
    for (const char* other : {"# A COMMENT", "LOCALHOST", "127.0.0.1", "::1"}) EXPECT_FALSE(has(r.out, other)) << other << "\n" << r.out;
    EXPECT_TRUE(has(r.log, "             Source: " + home + "/names.txt Reports 1 Computer(s)\r\n")) << r.log;
}

namespace {

// A network whose probes all fail, and whose resolver knows only the names it is given.
class UnreachableNetwork : public qv::management::Network {
public:
    std::optional<qv::management::Socket> probe(const std::string&, unsigned, int) override { return std::nullopt; }
    bool nameUnknown(const std::string& host, int) override { return host != "known.example"; }
};
class PortTransport : public qv::management::Transport {
public:
    const char* name() const override { return "test"; }
    unsigned port() const override { return 22; }
    qv::management::Result<std::unique_ptr<qv::management::TargetConnection>> open(const std::string&, const qv::Limits&,
                                                                                   std::optional<qv::management::Socket>) override {
        return qv::management::CallError::of(1, "opened");
    }
};

}  // namespace

TEST(LinuxConventions, ANameThatDoesNotResolveIsToldApartFromAComputerThatIsOff) {
    qv::posix::PosixIdentity identity;
    qv::Limits limits;
    UnreachableNetwork network;
    PortTransport transport;
    qv::management::Connector connector{identity, limits, network, transport, transport};
    const struct {
        const char* name;
        const char* note;
    } cases[] = {
        {"known.example", ""},
        {"nosuch.example", "Name nosuch.example not found by the resolver (DNS, /etc/hosts)"},
    };
    for (const auto& c : cases) {
        auto connected = connector.connect(c.name);
        ASSERT_FALSE(connected);
        // The error itself, which the console shows, is the one of a computer that is off.
        EXPECT_EQ(connected.error().error.number, qv::management::kErrRpcServerUnavailable);
        EXPECT_EQ(connected.error().logNote, c.note);
    }
    // The system's resolver knows localhost without asking anyone.
    qv::management::SystemNetwork system;
    EXPECT_FALSE(system.nameUnknown("localhost", 2000));
}

TEST(LinuxConventions, ProgressLineOnATerminalOnlyAndTallyInTheLog) {
    // This computer and two whose SSH ports on loopback are closed.
    const std::string home = qvtest::makeTempDir();
    std::string config;
    for (const char* alias : {"qvclosed1", "qvclosed2"})
        config += std::string("Host ") + alias + "\n  HostName 127.0.0.1\n  Port " + std::to_string(qvtest::freeLoopbackPort()) + "\n";
    ::mkdir((home + "/ssh").c_str(), 0700);
    qvtest::writeFile(home + "/ssh/config", config);
    const std::vector<std::string> args = {QV_PATH, "localhost", "qvclosed1", "qvclosed2"};

    // Standard error a terminal (and standard output with it).
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("QV_SSH_DIR", (home + "/ssh").c_str(), 1);
        ::setenv("QV_PARALLEL", "1", 1);
        ::unsetenv("XDG_CONFIG_HOME");
        if (::chdir(home.c_str()) != 0) ::_exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    std::string terminal;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline) break;
        if (::poll(&p, 1, 200) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) break;  // the program ended: the terminal is gone
        terminal.append(buf, static_cast<std::size_t>(n));
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status)) << terminal;
    EXPECT_EQ(WEXITSTATUS(status), 1) << terminal;
    const struct {
        std::string line;
    } lines[] = {{"\r1 of 3 computers done, "}, {"\r2 of 3 computers done, "}, {"\r3 of 3 computers done, 2 failed, longest "}};
    std::size_t at = 0;
    for (const auto& l : lines) {
        at = terminal.find(l.line, at);
        ASSERT_NE(at, std::string::npos) << l.line << "\n" << terminal;
    }
    // Erased at the end: nothing but the erasure after the last status line's redraws.
    const std::size_t erased = terminal.rfind("\r\033[K");
    ASSERT_NE(erased, std::string::npos);
    EXPECT_EQ(terminal.find("computers done", erased), std::string::npos) << terminal.substr(erased);
    EXPECT_TRUE(has(terminal, "Program Complete Normal End")) << terminal;

    // Standard error not a terminal: no status line; the log holds the tally of both runs.
    std::string cmd = "cd '" + home + "' && HOME='" + home + "' QV_SSH_DIR='" + home + "/ssh' XDG_CONFIG_HOME= QV_PARALLEL=1 '" QV_PATH "'";
    for (std::size_t i = 1; i < args.size(); ++i) cmd += " " + args[i];
    cmd += " >out.txt 2>err.txt </dev/null";
    const int plain = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(plain));
    EXPECT_EQ(WEXITSTATUS(plain), 1);
    EXPECT_FALSE(has(qvtest::readFile(home + "/err.txt"), "computers done"));
    EXPECT_FALSE(has(qvtest::readFile(home + "/out.txt"), "computers done"));
    const std::string log = qvtest::readFile(home + "/Documents/QV.log");
    const std::string tally = "              Tally: 1 inventoried, 2 failed, 0 rows not written\r\n**Normal End ";
    const std::size_t first = log.find(tally);
    ASSERT_NE(first, std::string::npos) << log;
    // The second run may start in the first one's second: then this computer's rows are refused
    // (the same inventory key), which its tally says.
    EXPECT_NE(log.find("              Tally: ", first + tally.size()), std::string::npos) << log;
    // A run of one computer has no tally.
    runQv(home, {});
    EXPECT_EQ(qvtest::readFile(home + "/Documents/QV.log").rfind("Tally:"), log.rfind("Tally:"));
}

// The POSIX console for real: signals as control events, the pause prompt on the terminal, a run
// stopped by Ctrl-C between computers, and the terminal's modes after the program ends.
#include <gtest/gtest.h>

#include <poll.h>
#include <sqlite3.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "platform/posix/console-posix.h"
#include "tests/support/sim_run.h"

namespace {

// A child process on its own pseudo-terminal.
struct PtyChild {
    pid_t pid = -1;
    int master = -1;
    std::string output;

    PtyChild(const std::vector<std::string>& argv, const std::string& home) {
        pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::setenv("HOME", home.c_str(), 1);
            ::unsetenv("XDG_CONFIG_HOME");
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~PtyChild() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (master >= 0) ::close(master);
    }
    // Reads until `text` has appeared or the time is up.
    bool waitFor(const std::string& text, int seconds = 20) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (output.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buf[4096];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) return output.find(text) != std::string::npos;
            output.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    int wait() {
        int status = 0;
        // Drain output so the child never blocks on a full terminal buffer.
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return status;
            }
            waitFor("\x01never\x01", 0);
            ::usleep(50000);
        }
        return -1;
    }
};

// Starts qv with one argument, HOME at `home`, standard output into `out`, input from /dev/null.
pid_t startQv(const std::string& home, const std::string& out, const std::string& argument) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("HOME", home.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        ::freopen(out.c_str(), "w", stdout);
        ::freopen("/dev/null", "r", stdin);
        ::execl(QV_PATH, QV_PATH, argument.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

}  // namespace

TEST(PosixConsole, SignalsBecomeControlEvents) {
    qv::posix::PosixConsole console;
    qv::ControlEvents events;
    console.start(events);
    EXPECT_FALSE(events.flag.load());
    EXPECT_EQ(events.type.load(), -1);
    ::raise(SIGINT);
    EXPECT_TRUE(events.flag.load());
    EXPECT_EQ(events.type.load(), 0);
    ::raise(SIGQUIT);
    EXPECT_EQ(events.type.load(), 1);
    ::raise(SIGTERM);
    EXPECT_EQ(events.type.load(), 2);
    ::raise(SIGHUP);
    EXPECT_EQ(events.type.load(), 2);
    console.end();
    // After the end the handler stores nothing more, yet the process is not ended by a signal.
    qv::ControlEvents other;
    ::raise(SIGINT);
    EXPECT_FALSE(other.flag.load());
}

TEST(PosixConsole, OnATerminalTheRunEndsWithoutWaitingForAKey) {
    // A Linux terminal stays open when the program ends: no "Press any key" prompt, no wait.
    std::string home = qvtest::makeTempDir();
    PtyChild child({QV_PATH, "nosuchhost"}, home);
    ASSERT_GT(child.pid, 0);
    termios before {};
    ASSERT_EQ(::tcgetattr(child.master, &before), 0);
    ASSERT_TRUE(child.waitFor("Program Complete Normal End")) << child.output;
    int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the computer was not reached
    EXPECT_EQ(child.output.find("Press any key"), std::string::npos) << child.output;
    termios after {};
    ASSERT_EQ(::tcgetattr(child.master, &after), 0);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    EXPECT_EQ(before.c_iflag, after.c_iflag);
}

TEST(PosixConsole, CtrlCDuringTheRunStopsBeforeTheNextComputer) {
    if (::geteuid() != 0) GTEST_SKIP() << "named computers need an administrator (root)";
    std::string home = qvtest::makeTempDir();
    std::string names;
    for (int i = 0; i < 50000; ++i) names += "host" + std::to_string(i) + "\n";
    qvtest::writeFile(home + "/names.txt", names);
    const std::string out = home + "/console.txt";
    pid_t pid = startQv(home, out, "/F:" + home + "/names.txt");
    ASSERT_GT(pid, 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (qvtest::readFile(out).find("Failed to connect to ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(20000);
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    std::string console = qvtest::readFile(out);
    const std::string reason = "**Program Ended by User ^C pressed\r\n";
    ASSERT_GE(console.size(), reason.size());
    EXPECT_EQ(console.substr(console.size() - reason.size()), reason);
    // Stopped part-way: the computer being inventoried finished, later ones were never started.
    EXPECT_EQ(console.find("HOST9999\r\n"), std::string::npos);
    std::string log = qvtest::readFile(home + "/Documents/QV.log");
    std::size_t at = log.rfind(reason);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(log.find("\r\n", at + reason.size()) + 2, log.size());  // then one date-time line, and the log ends
}

TEST(PosixConsole, WithoutAKeyToReadTheEndLineStillReachesTheOutput) {
    // Input from /dev/null (a scheduled task, a pipe): no prompt and no wait, but the end line.
    const std::string home = qvtest::makeTempDir();
    const std::string cmd = "cd '" + home + "' && HOME='" + home + "' XDG_CONFIG_HOME= timeout 20 '" QV_PATH
                            "' /? >out.txt 2>/dev/null </dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string out = qvtest::readFile(home + "/out.txt");
    EXPECT_TRUE(out.ends_with("arguments.\r\n\r\nProgram Complete Normal End\r\n")) << out;
}

TEST(PosixConsole, TerminationOrASecondCtrlCEndsARunThatIsWaiting) {
    if (::geteuid() != 0) GTEST_SKIP() << "named computers need an administrator (root)";
    const struct {
        std::vector<int> signals;
        std::string consoleLine, logLine;
        int status;
    } cases[] = {
        {{SIGTERM}, "", "**Program Ended by User Closed Program\r\n", 143},
        {{SIGHUP}, "", "**Program Ended by User Closed Program\r\n", 143},
        {{SIGINT, SIGINT}, "**Program Ended by User ^C pressed\r\n", "**Program Ended by User ^C pressed\r\n", 130},
    };
    for (const auto& c : cases) {
        const std::string home = qvtest::makeTempDir(), out = home + "/console.txt";
        int status = 0;
        pid_t first = startQv(home, out, "localhost");  // makes QV.mdb
        ASSERT_EQ(::waitpid(first, &status, 0), first);
        // Another program holds the database: the next run waits for it (half a minute).
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open((home + "/Documents/QV.mdb").c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        // The first run's console text goes first: the wait below is for the second run's line.
        qvtest::writeFile(out, "");
        pid_t pid = startQv(home, out, "localhost");
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (qvtest::readFile(out).find("Building list of computers") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            ::usleep(20000);
        ::usleep(300000);
        const auto sent = std::chrono::steady_clock::now();
        for (int sig : c.signals) {
            ::kill(pid, sig);
            ::usleep(50000);
        }
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        const std::string console = qvtest::readFile(out), log = qvtest::readFile(home + "/Documents/QV.log");
        EXPECT_EQ(console.find("Connected to "), std::string::npos) << console;
        if (!c.consoleLine.empty()) {
            EXPECT_NE(console.find(c.consoleLine), std::string::npos) << console;
        }
        std::size_t at = log.rfind(c.logLine);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_EQ(log.find("\r\n", at + c.logLine.size()) + 2, log.size());  // the date-time line ends the log
    }
}

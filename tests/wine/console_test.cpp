// QV.exe's console under Wine: redirected output, the debug trace, and Ctrl-C between computers.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include "tests/support/sim_run.h"
#include "tests/wine/wine_run.h"

using namespace qvtest;

namespace {

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + what.size())) ++n;
    return n;
}

class WineConsole : public ::testing::Test {
protected:
    static void SetUpTestSuite() { prefix = new WinePrefix(); }
    static void TearDownTestSuite() {
        delete prefix;
        prefix = nullptr;
    }

    // Starts QV.exe with `args`, waits until its output shows `mark` (the control handler is in
    // place once the start banner is out), sends SIGINT, which Wine hands to the handler as
    // Ctrl-C, and waits for the end.
    WineResult runAndInterrupt(const std::vector<std::string>& args, const std::string& mark) {
        const std::string dir = prefix->path() + "/..";
        const std::string outFile = dir + "/interrupted.out", errFile = dir + "/interrupted.err";
        std::string cmd = "exec env WINEPREFIX=" + shellQuote(prefix->path()) + " WINEDEBUG=warn+debugstr wine " +
                          shellQuote(qvExePath());
        for (const std::string& a : args) cmd += " " + shellQuote(a);
        cmd += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
        ::unlink(outFile.c_str());
        pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        WineResult r;
        if (pid < 0) return r;
        int status = 0;
        bool ended = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!ended && readFile(outFile).find(mark) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            ended = ::waitpid(pid, &status, WNOHANG) == pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) {
            ::kill(pid, SIGINT);
            // A run that ignores the break still ends by itself; the deadline only guards the test.
            while (::waitpid(pid, &status, WNOHANG) != pid) {
                if (std::chrono::steady_clock::now() > deadline + std::chrono::seconds(60)) {
                    ::kill(pid, SIGKILL);
                    ::waitpid(pid, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(outFile);
        r.err = readFile(errFile);
        return r;
    }

    static WinePrefix* prefix;
};
WinePrefix* WineConsole::prefix = nullptr;

}  // namespace

TEST_F(WineConsole, RedirectedOutputKeepsCrLfAndTheTraceGoesToTheDebugger) {
    WineResult r = prefix->runQv({}, {"WINEDEBUG=warn+debugstr"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Cmd Line:     QV.exe \r\n", 0), 0u) << r.out;
    // Wine's user locale is en-US: short date and long time with AM/PM.
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\r\nStarted:      \\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M\r\n")))
        << r.out;
    EXPECT_NE(r.out.find("Checking for required elements... Completed\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Press any key"), std::string::npos) << "the exit prompt belongs to the console window";
    for (std::size_t i = r.out.find('\n'); i != std::string::npos; i = r.out.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && r.out[i - 1] == '\r') << "bare LF at " << i;

    // Wine shows each OutputDebugStringA text on stderr, with line ends escaped.
    EXPECT_NE(r.err.find("OutputDebugStringA \"Started Quorvex Version "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Reqmts.All\\r\\nsLocalComputer:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sWMIVerReg:WINMGMTS.1\\r\\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("sAdodbConnVer:ADODB.Connection (SQLite 3."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("OutputDebugStringA \"Stopped Quorvex"), std::string::npos) << r.err;
}

// The user's locale (Wine takes it from LANG and LC_ALL) shapes the dates: British days first
// with leading zeros and a 24-hour clock.
TEST_F(WineConsole, DatesFollowTheUsersLocale) {
    WineResult r = prefix->runQv({"/?"}, {"LANG=en_GB.UTF-8", "LC_ALL=en_GB.UTF-8"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\r\nStarted:      \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\r\n")))
        << r.out;
}

// On a terminal Wine gives the program a console: the title goes there, and with standard output
// redirected to a file the exit prompt still appears on the console and waits for a key.
TEST_F(WineConsole, ExitPromptWaitsOnTheConsoleWhileOutputGoesToTheFile) {
    const std::string dir = prefix->path() + "/..";
    // The typist waits for the prompt, checks a second later that the program has not ended,
    // then presses a key. Not Ctrl-C: Wine's console leaves the terminal's signal keys on, so
    // Ctrl-C would reach the shell around the program as SIGINT, and how that shell reacts
    // depends on which shell `script` starts (the test names one so no caller's SHELL matters).
    const std::string typist =
        "i=0; while ! grep -q 'Press any key' screen.txt 2>/dev/null && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done;"
        " sleep 1; if [ -e ended ]; then echo early >verdict; else echo waited >verdict; fi; printf x";
    const std::string program = "wine " + qvExePath() + " /? >out.txt; touch ended";
    const std::string cmd = "cd " + shellQuote(dir) + " && rm -f screen.txt out.txt ended verdict && (" + typist +
                            ") | env WINEPREFIX=" + shellQuote(prefix->path()) +
                            " WINEDEBUG=-all SHELL=/bin/sh timeout 20 script -qfec " + shellQuote(program) + " screen.txt >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string screen = readFile(dir + "/screen.txt"), out = readFile(dir + "/out.txt");
    EXPECT_EQ(readFile(dir + "/verdict"), "waited\n");
    EXPECT_NE(screen.find("\x1b]0;Quorvex Inventory Tool"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Press any key to Exit . . ."), std::string::npos) << screen;
    EXPECT_EQ(screen.find("SYNTAX: QV.exe"), std::string::npos) << screen;
    EXPECT_NE(out.find("SYNTAX: QV.exe [/B] [/F:Filename] [/?] [TargetComputerName]\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Press any key"), std::string::npos) << out;
}

// On a console the text goes as UTF-16: an accented argument shows as typed, not as the OEM
// code page's reading of its ANSI byte; redirected output keeps the ANSI code page.
TEST_F(WineConsole, ConsoleShowsAccentedTextAndFilesGetAnsi) {
    const std::string dir = prefix->path() + "/..";
    const std::string typist =
        "i=0; while ! grep -q 'Press any key' screen.txt 2>/dev/null && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done;"
        " printf x";
    const std::string program = "wine " + qvExePath() + " /X\xC3\xA9";
    const std::string cmd = "cd " + shellQuote(dir) + " && rm -f screen.txt && (" + typist + ") | env WINEPREFIX=" +
                            shellQuote(prefix->path()) + " LC_ALL=C.UTF-8 WINEDEBUG=-all SHELL=/bin/sh timeout 20 script -qfec " +
                            shellQuote(program) + " screen.txt >/dev/null";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;  // a refused command line
    const std::string screen = readFile(dir + "/screen.txt");
    EXPECT_NE(screen.find("QV.exe /X\xC3\xA9"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Unrecognized Option '/X\xC3\x89'"), std::string::npos) << screen;

    WineResult r = prefix->runQv({"/X\xC3\xA9"});
    EXPECT_NE(r.out.find("Cmd Line:     QV.exe /X\xE9\r\n"), std::string::npos) << r.out;  // Windows-1252
}

TEST_F(WineConsole, CtrlCStopsTheRunBetweenComputersWithExitCode130) {
    // Names that no network knows: each connection fails at once, so only the break ends the
    // run early; the list is long enough that the run outlasts the signal's delivery.
    constexpr int kNames = 3000;
    {
        std::ofstream names(prefix->path() + "/drive_c/names.txt", std::ios::binary);
        for (int i = 0; i < kNames; ++i) names << "QVNOHOST" << i << "\r\n";
    }
    // The signal goes once the computers are being visited: Wine 8 can hang a process that a
    // signal reaches in the middle of its first COM calls ("nested exception on signal stack").
    WineResult r = runAndInterrupt({"/F:C:\\names.txt"}, "Inventory of Target Computer(s):");
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.out.find("Inventory of Target Computer(s):\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\n**Program Ended by User ^C pressed\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Normal End"), std::string::npos) << r.out;
    EXPECT_LT(count(r.out, "Failed to connect to QVNOHOST"), static_cast<std::size_t>(kNames));
    EXPECT_NE(r.err.find("OutputDebugStringA \"Stopped Quorvex: ^C pressed\""), std::string::npos) << r.err;
    EXPECT_NE(readFile(prefix->documents() + "/QV.log").find("**Program Ended by User ^C pressed\r\n"),
              std::string::npos);
}

// The POSIX console. SIGINT is Ctrl-C (0), SIGQUIT Ctrl-Break (1), SIGHUP and SIGTERM the console
// being closed (2); the handler only stores the two event words.
#include "platform/posix/console-posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::posix {

namespace {

// The event words of the run whose console is started; the one global the handler may touch.
std::atomic<ControlEvents*> gEvents{nullptr};

void onSignal(int sig) {
    ControlEvents* events = gEvents.load();
    if (!events) return;
    int type = sig == SIGINT ? 0 : sig == SIGQUIT ? 1 : 2;
    // A second Ctrl-C, or the terminal or the system ending the program, ends the run at once.
    if (type == 2 || (sig == SIGINT && events->flag.load())) events->urgent.store(true);
    events->raise(type);
}

}  // namespace

void keepRunningWhenOutputCloses() { ::signal(SIGPIPE, SIG_IGN); }

PosixConsole::~PosixConsole() { end(); }

void PosixConsole::start(ControlEvents& events) {
    if (started_) return;
    started_ = true;
    gEvents.store(&events);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // No SA_RESTART: a call blocked when a signal arrives returns, so the run can see the event.
    sa.sa_flags = 0;
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) ::sigaction(sig, &sa, nullptr);
    keepRunningWhenOutputCloses();
    if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedModes_) == 0) haveSavedModes_ = true;
}

void PosixConsole::setTitle(const std::string& title) {
    // The terminal's window title, only when standard output is a terminal.
    if (::isatty(STDOUT_FILENO)) write("\033]0;" + title + "\007");
}

void PosixConsole::writeError(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
}

void PosixConsole::status(const std::string& line) {
    if (!::isatty(STDERR_FILENO)) return;
    std::lock_guard<std::mutex> lock(outputMutex_);
    if (line.empty() && status_.empty()) return;
    status_ = line;
    // Back to the line's start, the line, the rest of the terminal line cleared.
    writeError("\r" + line + "\033[K");
}

std::size_t PosixConsole::write(const std::string& text) {
    std::lock_guard<std::mutex> lock(outputMutex_);
    const bool statusShown = !status_.empty();
    if (statusShown) writeError("\r\033[K");
    const std::size_t written = writeOut(text);
    if (statusShown && !text.empty() && text.back() == '\n') writeError(status_ + "\033[K");
    return written;
}

std::size_t PosixConsole::writeOut(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool PosixConsole::pauseForKey(const std::string& prompt) {
    // Input from a file, a pipe or /dev/null: no key will come, even with a terminal around.
    if (!::isatty(STDIN_FILENO)) return false;
    int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return false;  // no terminal: nothing to wait on
    termios saved {};
    bool haveModes = ::tcgetattr(tty, &saved) == 0;
    if (haveModes) ::tcflush(tty, TCIFLUSH);  // keys typed earlier do not end the wait
    ssize_t ignored = ::write(tty, prompt.data(), prompt.size());
    (void)ignored;
    if (haveModes) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
        raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(tty, TCSANOW, &raw);
        char c = 0;
        // One read: a key, or any signal the program catches (it interrupts the read), ends the wait.
        ssize_t got = ::read(tty, &c, 1);
        (void)got;
        ::tcsetattr(tty, TCSANOW, &saved);
    }
    ::close(tty);
    return true;
}

void PosixConsole::end() {
    if (!started_ || ended_) return;
    ended_ = true;
    status("");
    if (haveSavedModes_) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedModes_);
    ControlEvents* expected = gEvents.load();
    if (expected) gEvents.compare_exchange_strong(expected, nullptr);
}

}  // namespace qv::posix

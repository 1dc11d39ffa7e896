// Test support: sshd on loopback with generated keys, and a cuttable TCP relay in front of it.
#include "tests/support/sshd_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/sim_run.h"
#include "tests/support/slapd_server.h"

extern char** environ;

namespace qvtest {

namespace {

const char* const kSshd = "/usr/sbin/sshd";

bool keygen(const std::string& file) {
    std::string cmd = "ssh-keygen -q -t ed25519 -N '' -C qvtest -f '" + file + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string keyLine(const std::string& pubFile) {
    std::string pub = readFile(pubFile);
    auto second = pub.find(' ', pub.find(' ') + 1);
    return pub.substr(0, second);
}

void append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::app) << text;
}

}  // namespace

std::string generatedKeyLine(const std::string& folder) {
    std::string file = folder + "/other_key_" + std::to_string(std::rand());
    return keygen(file) ? keyLine(file + ".pub") : std::string();
}

SshdServer::SshdServer(bool chrooted) {
    if (::access(kSshd, X_OK) != 0 || ::system("command -v ssh-keygen >/dev/null") != 0) {
        skipReason_ = "sshd is not installed (Debian packages openssh-server and openssh-client)";
        return;
    }
    if (chrooted) {
        char dir[] = "/run/qvtest-root-XXXXXX";
        if (::getuid() != 0 || !::mkdtemp(dir)) {
            skipReason_ = "a chrooted sshd needs root";
            return;
        }
        chroot_ = dir;
        ::chmod(dir, 0755);
    }
    folder_ = makeTempDir();
    std::string client = sshDir();
    std::filesystem::create_directory(client);
    if (!keygen(folder_ + "/host_key") || !keygen(client + "/id_ed25519")) {
        failure_ = "ssh-keygen failed";
        return;
    }
    hostKeyLine_ = keyLine(folder_ + "/host_key.pub");
    std::filesystem::copy_file(client + "/id_ed25519.pub", folder_ + "/authorized_keys");
    // sshd refuses to start without its privilege-separation folder (made at boot on a real system).
    std::error_code ignored;  // only root can make it, and only root's sshd needs it
    std::filesystem::create_directories("/run/sshd", ignored);
    port_ = freeLoopbackPort();
    const passwd* pw = ::getpwuid(::getuid());
    std::string user = pw ? pw->pw_name : "root";
    writeFile(folder_ + "/sshd_config",
              "Port " + std::to_string(port_) + "\nListenAddress 127.0.0.1\nHostKey " + folder_ +
                  "/host_key\nPidFile none\nAuthorizedKeysFile " + folder_ +
                  "/authorized_keys\nStrictModes no\nUsePAM no\nPasswordAuthentication no\n"
                  "KbdInteractiveAuthentication no\nPermitRootLogin prohibit-password\nMaxStartups 64\n"
                  "MaxSessions 64\nLogLevel ERROR\nSubsystem sftp internal-sftp\nAllowUsers " + user + "\n" +
                  (chroot_.empty() ? "" : "ChrootDirectory " + chroot_ + "\nForceCommand internal-sftp\n"));
    writeFile(client + "/config", "");
    writeFile(client + "/known_hosts", "");
    addAlias("qvself qvself*", port_);
    addKnownHost(port_, hostKeyLine_);
    std::vector<std::string> args = {kSshd, "-D", "-e", "-f", folder_ + "/sshd_config"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = folder_ + "/sshd.log";
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, kSshd, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        failure_ = "sshd could not be started";
        return;
    }
    pid_ = pid;
    for (int i = 0; i < 400 && !acceptsOnLoopback(port_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!acceptsOnLoopback(port_)) failure_ = "sshd did not listen: " + readFile(log);
}

SshdServer::~SshdServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
    if (!chroot_.empty()) std::filesystem::remove_all(chroot_);
}

void SshdServer::addAlias(const std::string& alias, int port) const {
    const passwd* pw = ::getpwuid(::getuid());
    append(sshDir() + "/config", "Host " + alias + "\n  HostName 127.0.0.1\n  Port " + std::to_string(port) +
                                     "\n  User " + (pw ? pw->pw_name : "root") + "\n  IdentityFile " + sshDir() +
                                     "/id_ed25519\n  UserKnownHostsFile " + sshDir() + "/known_hosts\n");
}

void SshdServer::addKnownHost(int port, const std::string& keyLine) const {
    append(sshDir() + "/known_hosts", "[127.0.0.1]:" + std::to_string(port) + " " + keyLine + "\n");
}

Relay::Relay(int target) : target_(target) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 16);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (::pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { run(); });
}

Relay::~Relay() {
    stop_ = true;
    if (wake_[1] >= 0 && ::write(wake_[1], "x", 1) < 0) {
    }
    thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0) ::close(fd);
}

// One thread relays every connection; polls at most 5 ms at a time so that cut and stall act at once.
void Relay::run() {
    std::vector<std::pair<int, int>> pairs;  // client, server
    char buf[65536];
    while (!stop_) {
        if (cut_) {
            for (auto [c, s] : pairs) {
                ::close(c);
                ::close(s);
            }
            pairs.clear();
        }
        std::vector<pollfd> fds = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (!stall_)
            for (auto [c, s] : pairs) {
                fds.push_back({c, POLLIN, 0});
                fds.push_back({s, POLLIN, 0});
            }
        if (::poll(fds.data(), fds.size(), 5) <= 0) continue;
        if (fds[0].revents & POLLIN) {
            int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<std::uint16_t>(target_));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (c >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && !cut_) {
                pairs.push_back({c, s});
            } else {
                if (c >= 0) ::close(c);
                ::close(s);
            }
        }
        for (std::size_t k = 2; k < fds.size(); ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            std::size_t pair = (k - 2) / 2;
            if (pair >= pairs.size() || pairs[pair].first < 0) continue;
            int from = fds[k].fd, to = from == pairs[pair].first ? pairs[pair].second : pairs[pair].first;
            ssize_t n = ::read(from, buf, sizeof buf);
            if (n <= 0 || ::write(to, buf, static_cast<std::size_t>(n)) != n) {
                ::close(pairs[pair].first);
                ::close(pairs[pair].second);
                pairs[pair] = {-1, -1};
            }
        }
        std::erase_if(pairs, [](const auto& p) { return p.first < 0; });
    }
    for (auto [c, s] : pairs) {
        ::close(c);
        ::close(s);
    }
}

}  // namespace qvtest

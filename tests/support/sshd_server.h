// Test support: OpenSSH's sshd on loopback with generated keys, and a relay the test can cut or stall.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace qvtest {

// Starts sshd on a free loopback port, serving SFTP (internal-sftp) to the current user with a
// generated host key and client key; stops it when it goes. sshDir() is a client folder (for
// QV_SSH_DIR) holding the client key, known_hosts with the server's key, and a config whose
// aliases "qvself" and "qvself*" name the server.
class SshdServer {
public:
    // chrooted: SFTP sees only chrootDir() (a root-owned folder under /run, as sshd demands; root
    // only), so the test can lay out a hostile system there.
    explicit SshdServer(bool chrooted = false);
    ~SshdServer();
    SshdServer(const SshdServer&) = delete;
    SshdServer& operator=(const SshdServer&) = delete;

    const std::string& skipReason() const { return skipReason_; }  // sshd not installed: skip
    const std::string& failure() const { return failure_; }        // installed but not started: fail
    int port() const { return port_; }
    const std::string& folder() const { return folder_; }
    std::string sshDir() const { return folder_ + "/client"; }
    const std::string& chrootDir() const { return chroot_; }
    std::string hostKeyLine() const { return hostKeyLine_; }  // "type base64" of the server's key
    // Appends a Host block naming 127.0.0.1:port to the client config.
    void addAlias(const std::string& alias, int port) const;
    // Appends a known_hosts line for 127.0.0.1:port.
    void addKnownHost(int port, const std::string& keyLine) const;

private:
    std::string skipReason_, failure_, folder_, hostKeyLine_, chroot_;
    int pid_ = -1;
    int port_ = 0;
};

// A TCP relay from a loopback port to 127.0.0.1:target: cut() closes every relayed connection,
// stall() stops passing bytes on (the server seems to hang).
class Relay {
public:
    explicit Relay(int target);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;
    int port() const { return port_; }
    void cut() { cut_ = true; }
    void stall() { stall_ = true; }

private:
    void run();
    int target_, port_ = 0, listen_ = -1, wake_[2] = {-1, -1};
    std::atomic<bool> cut_{false}, stall_{false}, stop_{false};
    std::thread thread_;
};

// A key line ("type base64") of a newly generated key in `folder` (for a wrong known_hosts entry).
std::string generatedKeyLine(const std::string& folder);

}  // namespace qvtest

// How a computer's port is reached before a transport speaks to it: one TCP probe within the probe
// limit (POSIX and Windows siblings), or a simulated network.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qv::management {

// An owned TCP connection (a POSIX descriptor or a Windows socket); empty when the network is
// simulated. Closed when it goes, unless a transport took it.
class Socket {
public:
    Socket() = default;
    explicit Socket(std::intptr_t handle) : handle_(handle) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : handle_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.release();
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool open() const { return handle_ != kNone; }
    std::intptr_t handle() const { return handle_; }
    // The transport takes the connection over: it is no longer closed here.
    std::intptr_t release() {
        std::intptr_t h = handle_;
        handle_ = kNone;
        return h;
    }
    void close();

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

class Network {
public:
    virtual ~Network() = default;
    // A TCP connection to host:port within ms milliseconds: a computer that is off, unknown or cut
    // off by a firewall fails here at once or at the limit, instead of after a transport's own,
    // much longer, wait. Nothing when none could be made.
    virtual std::optional<Socket> probe(const std::string& host, unsigned port, int ms) = 0;
    // True when, within ms milliseconds, the resolver says nobody knows `host` (asked only after a
    // failed probe, to tell a wrong name from a computer that is off). False where it cannot tell.
    virtual bool nameUnknown(const std::string& /*host*/, int /*ms*/) { return false; }
};

// The operating system's TCP stack.
class SystemNetwork : public Network {
public:
    std::optional<Socket> probe(const std::string& host, unsigned port, int ms) override;
    bool nameUnknown(const std::string& host, int ms) override;
};

}  // namespace qv::management

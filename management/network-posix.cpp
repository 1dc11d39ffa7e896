// The TCP probe on POSIX: the name looked up and the connection made within the probe limit.
#include "management/network.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace qv::management {

namespace {

using Clock = std::chrono::steady_clock;

// The addresses of host within ms milliseconds (name lookups may wait on a silent DNS server far
// longer). A lookup that cannot be cancelled keeps its request: the resolver still writes to it.
// `error` gets the lookup's own error (EAI_NONAME for a name nobody knows), 0 when it ended well
// or was still going at the limit.
addrinfo* resolve(const std::string& host, unsigned port, int ms, int* error = nullptr) {
    struct Request {
        std::string host, service;
        addrinfo hints {};
        gaicb cb {};
    };
    auto* r = new Request{host, std::to_string(port)};
    r->hints.ai_socktype = SOCK_STREAM;
    r->cb.ar_name = r->host.c_str();
    r->cb.ar_service = r->service.c_str();
    r->cb.ar_request = &r->hints;
    gaicb* list[] = {&r->cb};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete r;
        return nullptr;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    const gaicb* pending[] = {&r->cb};
    while (::gai_error(&r->cb) == EAI_INPROGRESS) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        ::gai_suspend(pending, 1, &wait);  // early on a signal: waits again for the rest
    }
    if (::gai_error(&r->cb) == EAI_INPROGRESS && ::gai_cancel(&r->cb) != EAI_CANCELED) return nullptr;
    const int got = ::gai_error(&r->cb);
    if (error) *error = got == EAI_CANCELED ? 0 : got;
    addrinfo* result = ::gai_error(&r->cb) == 0 ? r->cb.ar_result : nullptr;
    if (!result && r->cb.ar_result) ::freeaddrinfo(r->cb.ar_result);
    delete r;
    return result;
}

// A TCP connection to host:port within ms milliseconds; -1 when none.
int connectWithin(const std::string& host, unsigned port, int ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    addrinfo* list = resolve(host, port, ms);
    if (!list) return -1;
    int fd = -1;
    for (addrinfo* a = list; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
        int err = errno;
        if (err == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            err = ETIMEDOUT;
            socklen_t len = sizeof err;
            if (left > 0 && ::poll(&p, 1, static_cast<int>(left)) == 1) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        }
        if (err != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(list);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        // Requests go out already gathered: holding a small packet back until the last one is
        // acknowledged (Nagle) only adds the peer's delayed acknowledgement, 40 ms, to round trips
        // of the key exchange and of small batches.
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

}  // namespace

void Socket::close() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

std::optional<Socket> SystemNetwork::probe(const std::string& host, unsigned port, int ms) {
    int fd = connectWithin(host, port, ms);
    if (fd < 0) return std::nullopt;
    return Socket(fd);
}

bool SystemNetwork::nameUnknown(const std::string& host, int ms) {
    int error = 0;
    addrinfo* list = resolve(host, 0, ms, &error);
    if (list) ::freeaddrinfo(list);
    return !list && (error == EAI_NONAME || error == EAI_NODATA);
}

}  // namespace qv::management

// The TCP probe on Windows: the name looked up and the connection made within the probe limit.
#include "management/network.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <string>

namespace qv::management {

namespace {

using Clock = std::chrono::steady_clock;

// A TCP connection to host:port within ms milliseconds; INVALID_SOCKET when none. The name
// lookup itself is not bounded.
SOCKET connectWithin(const std::string& host, unsigned port, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) return INVALID_SOCKET;
    SOCKET answered = INVALID_SOCKET;
    for (addrinfo* a = found; a && answered == INVALID_SOCKET; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        bool connected = false;
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
            connected = true;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left > 0) {
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
                connected = select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable);
            }
        }
        if (connected) {
            u_long blocking = 0;
            ioctlsocket(s, FIONBIO, &blocking);
            answered = s;
        } else {
            closesocket(s);
        }
    }
    freeaddrinfo(found);
    return answered;
}

}  // namespace

// Each open socket holds one start-up of Winsock (the system counts them), taken by the probe
// that made it: sockets work whichever thread or object made them, and Winsock is released with
// the last one.
void Socket::close() {
    if (handle_ == kNone) return;
    closesocket(static_cast<SOCKET>(handle_));
    WSACleanup();
    handle_ = kNone;
}

std::optional<Socket> SystemNetwork::probe(const std::string& host, unsigned port, int ms) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return std::nullopt;
    SOCKET s = connectWithin(host, port, ms);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return std::nullopt;
    }
    return Socket(static_cast<std::intptr_t>(s));
}

// The Windows program keeps its log as it is: a name it cannot reach is not told apart further.
bool SystemNetwork::nameUnknown(const std::string&, int) { return false; }

}  // namespace qv::management

// The watchdog of an SSH connection: cuts its socket when a call outlives its deadline.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace qv::management::ssh {

// Cuts the connection's socket when a call outlives its deadline, so that whatever libssh waits
// for ends at once; the call then fails and every later one fails without waiting. Arming is
// cheap: the watching thread is woken only when it must wait less than it already does, not at
// each of the thousands of calls an inventory makes (each would cost two thread switches).
class Watchdog {
public:
    Watchdog();
    ~Watchdog();
    // The socket to cut (-1: none).
    void watch(int fd);
    // The call that follows must end within `ms` milliseconds.
    void arm(int ms);
    void disarm();
    // True once a deadline passed and the socket was cut.
    bool fired();

private:
    using Clock = std::chrono::steady_clock;
    void run();
    std::mutex mutex_;
    std::condition_variable wake_;
    Clock::time_point deadline_;
    std::optional<Clock::time_point> waitingUntil_;  // when the thread wakes next; none: when told
    bool armed_ = false, stop_ = false, fired_ = false;
    int fd_ = -1;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace qv::management::ssh

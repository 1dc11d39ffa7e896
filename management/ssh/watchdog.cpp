// The watchdog of an SSH connection: one thread that cuts the socket at the call's deadline.
#include "management/ssh/watchdog.h"

#include <sys/socket.h>

namespace qv::management::ssh {

Watchdog::Watchdog() : thread_([this] { run(); }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Watchdog::watch(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    fd_ = fd;
}

void Watchdog::arm(int ms) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deadline_ = Clock::now() + std::chrono::milliseconds(ms);
        armed_ = true;
        wake = !waitingUntil_ || deadline_ < *waitingUntil_;
    }
    if (wake) wake_.notify_one();
}

void Watchdog::disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
}

bool Watchdog::fired() {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_;
}

// Once disarmed, the thread still sleeps until the last deadline it knew of; a call armed again
// meanwhile sets a later one, which it finds when it wakes.
void Watchdog::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        if (armed_ && Clock::now() >= deadline_) {
            if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
            fired_ = true;
            armed_ = false;
        }
        if (!armed_ && (!waitingUntil_ || Clock::now() >= *waitingUntil_)) {
            waitingUntil_.reset();
            wake_.wait(lock);
        } else {
            if (armed_) waitingUntil_ = deadline_;
            wake_.wait_until(lock, *waitingUntil_);
        }
    }
}

}  // namespace qv::management::ssh

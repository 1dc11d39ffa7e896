// The typed result of a call that can fail: its value, or the error it failed with. Calls to
// another computer also say whether they reached their time limit or found the connection lost;
// other calls give only the reason, as a text.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "platform/values.h"

namespace qv {

struct CallError {
    PlatformError error;
    // The call ended at its time limit: the class or provider it asked gave no answer in time.
    bool limitReached = false;
    // The connection is gone: every later call to the computer fails at once with this error.
    bool connectionLost = false;
    // A line for the log beside the error, where the error alone would mislead (a name that does
    // not resolve reported as a computer that is off); empty when there is none.
    std::string logNote = {};

    static CallError of(std::int32_t number, std::string description) { return {{number, std::move(description)}}; }
    // A failure known only by its reason, as the log and the console show it.
    static CallError because(std::string why) { return {{0, std::move(why)}}; }
    const std::string& why() const { return error.description; }
};

// Empty: a call that answers nothing but success.
struct Done {};

template <class T>
class Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(CallError error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(v_); }
    const T& operator*() const { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }
    const CallError& error() const { return std::get<1>(v_); }

private:
    std::variant<T, CallError> v_;
};

}  // namespace qv

// The typed result of a call to another computer: its value, or an error that says whether the
// call reached its time limit or found the connection lost.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "platform/values.h"

namespace qv::management {

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

}  // namespace qv::management

#pragma once
// What a routine that computes a value and can fail gives back: the value,
// or the failed Status that says why there is none. Nothing is thrown.
#include <optional>
#include <string>
#include <utility>

#include "base/status.hpp"

namespace zeph {

template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}   // NOLINT: a value converts implicitly
    static Result failure(std::string message) { return Result(Status::failure(std::move(message))); }

    explicit operator bool() const { return value_.has_value(); }
    const Status& status() const { return status_; }
    const std::string& message() const { return status_.message; }
    // The value; only when the result holds one.
    const T& value() const { return *value_; }
    T& value() { return *value_; }

private:
    explicit Result(Status failed) : status_(std::move(failed)) {}

    Status status_;
    std::optional<T> value_;
};

}  // namespace zeph

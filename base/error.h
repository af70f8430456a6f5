// Errors as values: a text for the user, and a value or the error that stands in its place.
// The Windows programs are built without exceptions: the unwinder and its tables were some
// 70 KB of each, every byte of which a CD drive reads before the window shows.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace base {

class Error {
  public:
    explicit Error(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept { return text_.c_str(); }

  private:
    std::string text_;
};

// What a step that makes nothing gives back: nothing, or why it failed.
using Fault = std::optional<Error>;

// A value, or why there is none.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}      // NOLINT: a value converts to its result
    Result(Error error) : error_(std::move(error)) {}  // NOLINT

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Error& error() const { return *error_; }

  private:
    std::optional<T> value_;
    std::optional<Error> error_;
};

}  // namespace base

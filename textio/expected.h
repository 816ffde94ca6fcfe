#pragma once
// A value or a typed error with a message for the user, used where a file or a
// calculation can fail. Failures never throw across the core's interface.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tamso {

struct Error {
    std::string message; // UTF-8, in the program's own (Japanese) wording
};

// nullopt means success.
using Status = std::optional<Error>;

template <typename T> class Expected {
public:
    Expected(T value) : data_(std::move(value)) {}
    Expected(Error error) : data_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(data_); }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<T>(data_); }
    const T& value() const { return std::get<T>(data_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<Error>(data_); }

private:
    std::variant<T, Error> data_;
};

} // namespace tamso

#pragma once
// The outcome of an operation that can fail: success, or an error with a message for the user.
// Status carries no value, Expected<T> a value on success. Both read the same way: ok() is true
// on success, error() holds the failure. Failures never throw across the core's interface.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tamso::textio {

struct Error {
    // What kind of failure it is, where a caller acts on it; most callers only show the message.
    enum class Kind {
        Failed, // the operation could not be done
        Busy,   // another holder kept a shared resource (a record file's lock) for the whole wait
    };
    std::string message; // UTF-8, in the program's own (Japanese) wording
    Kind kind = Kind::Failed;
};

class [[nodiscard]] Status {
public:
    Status() = default; // success
    Status(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    const Error& error() const { return *error_; }
    const std::string& message() const { return error_->message; }

private:
    std::optional<Error> error_;
};

template <typename T> class [[nodiscard]] Expected {
public:
    Expected(T value) : data_(std::move(value)) {}
    Expected(Error error) : data_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(data_); }
    T& value() { return std::get<T>(data_); }
    const T& value() const { return std::get<T>(data_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<Error>(data_); }
    // The outcome without the value.
    Status status() const { return ok() ? Status() : Status(error()); }

private:
    std::variant<T, Error> data_;
};

} // namespace tamso::textio

namespace tamso {
// Every part of the program reports failures with these.
using textio::Error;
using textio::Expected;
using textio::Status;
} // namespace tamso

#pragma once
// The outcome of an operation that can fail: success, or an error (a code with its arguments).
// Status carries no value, Expected<T> a value on success. Both read the same way: ok() is true
// on success, error() holds the failure. Failures never throw across the core's interface.

#include "textio/errorcatalog.h"

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tamso::textio {

// A failure as a code of the catalogue (errorcatalog.h) and the arguments its sentence names: file
// names, IDs, numbers as the program shows them, or a free-form reason (a system's words, the
// message of the failure underneath). The sentence is made from them only where it is shown, so
// that a screen can show it translated and a caller can act on the code, never on the words.
struct Error {
    // What kind of failure it is, where a caller acts on it; most callers only show the message.
    enum class Kind {
        Failed, // the operation could not be done
        Busy,   // another holder kept a shared resource (a record file's lock) for the whole wait
    };
    Error(ErrorCode code, std::vector<std::string> args = {}) : code(code), args(std::move(args)) {}
    // A sentence that has no code of its own (ErrorCode::Text).
    static Error text(std::string sentence) { return Error(ErrorCode::Text, {std::move(sentence)}); }

    ErrorCode code;
    std::vector<std::string> args;

    // The sentence for the user: UTF-8, in the program's own (Japanese) wording.
    std::string message() const { return errorMessage(code, args); }
    Kind kind() const { return isBusyCode(code) ? Kind::Busy : Kind::Failed; }
    // The argument at index, or an empty text where the code has none there.
    const std::string& arg(size_t index) const;
};

inline const std::string& Error::arg(size_t index) const {
    static const std::string none;
    return index < args.size() ? args[index] : none;
}

class [[nodiscard]] Status {
public:
    Status() = default; // success
    Status(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_.has_value(); }
    // Only on a failure.
    const Error& error() const {
        assert(error_.has_value());
        return *error_;
    }
    // The failure's sentence; empty on success.
    std::string message() const { return error_ ? error_->message() : std::string(); }

private:
    std::optional<Error> error_;
};

// Leaves a failure unhandled where that is right, saying why at the call (instead of a bare cast):
// the operation's own outcome is shown or acted on elsewhere, or nothing is lost without it.
inline void ignoreFailure(const Status& /*status*/, const char* /*why*/) {}

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
using textio::ErrorCode;
using textio::ignoreFailure;
using textio::Expected;
using textio::Status;
} // namespace tamso

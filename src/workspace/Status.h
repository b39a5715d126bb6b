#pragma once

#include <string>
#include <utility>

namespace orvex {

// Outcome of a core operation that can fail: success, or a message meant for
// the user. Core I/O returns these instead of throwing or showing anything.
class Status
{
public:
    static Status Ok() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& message() const { return message_; }

private:
    Status() = default;
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

    bool failed_ = false;
    std::string message_;
};

} // namespace orvex

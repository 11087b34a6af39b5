#pragma once

#include <exception>
#include <string_view>

namespace qor::platform {

// Stops the process after a programming error that cannot be recovered from:
// prints "Fatal error: <message>" on stderr, then aborts.
[[noreturn]] void fatalError(std::string_view message);

// The one rule for an exception that leaves a block no caller waits for (an async block of
// any queue, main included; an operation; a run loop's block or timer): the process stops with
// "Fatal error: <kind> on <owner> threw: <what>", `owner` naming the queue or run loop and
// `kind` saying what threw ("A block", "A timer").
[[noreturn]] void stopForUncaughtException(std::string_view owner, const std::exception_ptr& error,
                                           std::string_view kind = "A block");

}  // namespace qor::platform

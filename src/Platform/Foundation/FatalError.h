#pragma once

#include <string_view>

namespace qor::platform {

// Stops the process after a programming error that cannot be recovered from:
// prints "Fatal error: <message>" on stderr, then aborts.
[[noreturn]] void fatalError(std::string_view message);

}  // namespace qor::platform

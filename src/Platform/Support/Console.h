#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qor::platform {

// The SDK's console: every line it prints goes through writeConsoleLine, to the host's writer when
// one is set, otherwise to standard output.
using ConsoleWriter = std::function<void(std::string_view line)>;

// Installs a writer (an empty one restores standard output) and returns the one it replaces.
// Lines already being written by the replaced writer on other threads finish before this returns,
// so what that writer refers to may go away once it is back (a writer that replaces itself from
// inside a call does not wait for itself).
ConsoleWriter setConsoleWriter(ConsoleWriter writer);

// Hands one finished line (line feed included) to the writer, on the calling thread and with no
// lock held, so writers on several threads may run at once; without a writer the line goes to
// standard output in one write. An exception thrown by the writer is dropped with the line.
void writeConsoleLine(std::string_view line);

// A text that came from a remote party made safe to put in a console line: its control characters
// (other than tab) and DEL escaped, so that it can neither end the line nor steer a terminal, and
// anything beyond the first kConsoleTextLimit bytes cut off, the cut marked.
inline constexpr std::size_t kConsoleTextLimit = 1024;
std::string consoleText(std::string_view remote);

}  // namespace qor::platform

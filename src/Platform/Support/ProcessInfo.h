#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qor::platform {

// Facts about this process and the machine it runs on, read from the operating system each
// time they are asked for (callers that need a stable answer keep it themselves).

// The value of an environment variable, or nullopt when it is not set. An empty value is a value.
std::optional<std::string> environmentValue(std::string_view name);

// The machine's host name ("localhost" when the system gives none).
std::string hostName();

// uname(2): the kernel release (for example "6.1.0-18-amd64") and the machine's hardware name
// (for example "x86_64"); "unknown" when uname fails or gives an empty text.
std::string kernelRelease();
std::string hardwareMachine();

// The numeric dotted prefix of a version text: the leading digits and dots, without a dot at
// the end ("6.18.44-fc-v1403" gives "6.18.44", "17.4" stays "17.4"); empty when the text does
// not start with a digit.
std::string numericVersionPrefix(std::string_view version);

// The running executable (/proc/self/exe) and its folder. When the link cannot be read the
// executable is empty and its folder is the current working directory.
std::filesystem::path executablePath();
std::filesystem::path executableDirectory();

// True when the device's system version (UIDevice systemVersion of the device profile) is at
// least major.minor.patch. Leading numbers separated by dots are compared; anything after
// the first part that is not a number ("-18-amd64") is ignored; a missing part counts as 0.
bool isOperatingSystemAtLeast(int major, int minor = 0, int patch = 0);

}  // namespace qor::platform

#include "Platform/Support/ProcessInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "Platform/Support/SharedDeviceProfile.h"

namespace qor::platform {
namespace {

std::string orUnknown(const char* text) {
    std::string value = text ? std::string(text) : std::string();
    return value.empty() ? std::string("unknown") : value;
}

}  // namespace

std::optional<std::string> environmentValue(std::string_view name) {
    const std::string key(name);
    // getenv itself is safe to call concurrently; the process never calls setenv from our code.
    if (const char* value = std::getenv(key.c_str())) return std::string(value);
    return std::nullopt;
}

std::string hostName() {
    std::array<char, 256> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0 || buffer[0] == '\0') return "localhost";
    return std::string(buffer.data());
}

std::string kernelRelease() {
    utsname info{};
    if (uname(&info) != 0) return "unknown";
    return orUnknown(info.release);
}

std::string numericVersionPrefix(std::string_view version) {
    std::size_t end = 0;
    while (end < version.size() && ((version[end] >= '0' && version[end] <= '9') || version[end] == '.')) ++end;
    std::string prefix(version.substr(0, end));
    // Not a number: nothing. A dot ends a part, never the version.
    if (prefix.empty() || prefix.front() == '.') return {};
    while (!prefix.empty() && prefix.back() == '.') prefix.pop_back();
    return prefix;
}

std::string hardwareMachine() {
    utsname info{};
    if (uname(&info) != 0) return "unknown";
    return orUnknown(info.machine);
}

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return path;
}

std::filesystem::path executableDirectory() {
    const auto path = executablePath();
    if (path.empty()) {
        std::error_code error;
        auto current = std::filesystem::current_path(error);
        return error ? std::filesystem::path(".") : current;
    }
    return path.parent_path();
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    const std::string version = sharedDeviceProfile()->systemVersion;
    std::array<long long, 3> parts{0, 0, 0};
    std::size_t position = 0;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        std::size_t end = position;
        while (end < version.size() && version[end] >= '0' && version[end] <= '9') ++end;
        if (end == position) break;
        long long value = 0;
        for (std::size_t k = position; k < end && value < std::numeric_limits<int>::max(); ++k) {
            value = value * 10 + (version[k] - '0');
        }
        parts[index] = value;
        if (end >= version.size() || version[end] != '.') break;
        position = end + 1;
    }
    const std::array<long long, 3> wanted{major, minor, patch};
    return parts >= wanted;
}

}  // namespace qor::platform

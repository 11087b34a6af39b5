#include "Platform/Foundation/TimeZone.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "Platform/Foundation/ASCIIText.h"
#include "Platform/Foundation/ProcessInfo.h"
#include "Platform/UIKit/DeviceProfile.h"

namespace qor::platform {
namespace {

std::string zoneNameFromPath(std::string_view path) {
    constexpr std::string_view marker = "zoneinfo/";
    const auto position = path.rfind(marker);
    if (position == std::string_view::npos) return {};
    std::string_view name = path.substr(position + marker.size());
    // Debian keeps "posix/" and "right/" variants of every zone; the identifier is the same.
    for (const std::string_view variant : {"posix/", "right/"}) {
        if (name.starts_with(variant)) name.remove_prefix(variant.size());
    }
    return std::string(name);
}

}  // namespace

TimeZone TimeZone::current() { return TimeZone{currentDeviceProfile().timeZoneIdentifier}; }

std::string timeZoneIdentifierFromHost() {
    if (auto tz = environmentValue("TZ")) {
        std::string value(trimmed(*tz));
        if (!value.empty() && value.front() == ':') value.erase(0, 1);
        if (value.find('/') != std::string::npos && value.front() == '/') {
            if (auto name = zoneNameFromPath(value); !name.empty()) return name;
        } else if (!value.empty()) {
            return value;
        }
    }
    if (std::ifstream file("/etc/timezone"); file) {
        std::string line;
        std::getline(file, line);
        line = std::string(trimmed(line));
        if (!line.empty()) return line;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/etc/localtime", error);
    if (!error) {
        if (auto name = zoneNameFromPath(target.string()); !name.empty()) return name;
    }
    return "UTC";
}

}  // namespace qor::platform

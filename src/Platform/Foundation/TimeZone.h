#pragma once

#include <string>

namespace qor::platform {

// The device's time zone, answered from the device profile.
struct TimeZone {
    std::string identifier;  // a time-zone database name such as "Europe/Berlin"

    static TimeZone current();
};

// The host's zone: TZ (a leading ":" and a ".../zoneinfo/" prefix removed), else the first line
// of /etc/timezone, else the target of the /etc/localtime link below "zoneinfo/"; "UTC" otherwise.
std::string timeZoneIdentifierFromHost();

}  // namespace qor::platform

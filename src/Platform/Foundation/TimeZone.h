#pragma once

#include <string>

namespace qor::platform {

// The device's time zone, answered from the device profile.
struct TimeZone {
    std::string identifier;  // a time-zone database name such as "Europe/Berlin"

    static TimeZone current();
};

}  // namespace qor::platform

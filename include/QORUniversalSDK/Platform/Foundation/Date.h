#pragma once

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <chrono>
#include <string>

namespace qor::platform {

// A point in time.
struct QOR_EXPORT Date {
    std::chrono::system_clock::time_point time;

    static Date now();
    static Date fromTimeIntervalSince1970(double seconds);

    // Seconds since 1970-01-01T00:00:00Z, with fractions.
    double timeIntervalSince1970() const;
};

// "2024-03-05T14:07:09.123Z": UTC, rounded to the millisecond.
QOR_EXPORT std::string iso8601String(Date date);

// "2024-03-05 15:07:09": local time of the process's time zone (TZ is honoured).
QOR_EXPORT std::string localDateTimeString(Date date);

}  // namespace qor::platform

#include "Platform/Foundation/Date.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace qor::platform {
namespace {

using std::chrono::floor;
using std::chrono::milliseconds;
using std::chrono::seconds;

}  // namespace

Date Date::now() { return Date{std::chrono::system_clock::now()}; }

Date Date::fromTimeIntervalSince1970(double secondsSince1970) {
    const auto offset = std::chrono::duration<double>(secondsSince1970);
    return Date{std::chrono::system_clock::time_point(std::chrono::round<std::chrono::system_clock::duration>(offset))};
}

double Date::timeIntervalSince1970() const { return std::chrono::duration<double>(time.time_since_epoch()).count(); }

std::string iso8601String(Date date) {
    // Rounded to the nearest millisecond: a date made from seconds as a double (1709647629.123
    // is stored a hair below .123) must not lose a millisecond. floor() below keeps the
    // millisecond part of dates before 1970 positive.
    const auto sinceEpoch = std::chrono::round<milliseconds>(date.time.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const auto millis = (sinceEpoch - wholeSeconds).count();
    const std::time_t t = static_cast<std::time_t>(wholeSeconds.count());
    std::tm parts{};
    gmtime_r(&t, &parts);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(millis));
    return buffer;
}

std::string localDateTimeString(Date date) {
    const auto wholeSeconds = floor<seconds>(date.time.time_since_epoch());
    const std::time_t t = static_cast<std::time_t>(wholeSeconds.count());
    std::tm parts{};
    {
        // localtime_r need not re-read TZ; tzset makes a changed zone take effect. tzset replaces
        // the C library's zone state, which concurrent callers would otherwise read while it
        // changes: one caller at a time.
        static std::mutex zoneLock;
        const std::lock_guard lock(zoneLock);
        tzset();
        localtime_r(&t, &parts);
    }
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

}  // namespace qor::platform

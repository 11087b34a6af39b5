#include "Platform/Foundation/Date.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>

namespace qor::platform {
namespace {

using std::chrono::floor;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The C library's zone, brought up to date only when it may have changed: tzset() reads TZ and,
// without it, the status of the system's zone file on every call, which a timestamp per auction
// event should not pay. A new TZ is applied at the next call; the system's zone, used when TZ is
// unset, is looked at again at most once a second (a timestamp's own resolution). Call with
// zoneLock held.
class ZoneState {
public:
    void refresh() {
        const char* tz = std::getenv("TZ");
        const auto now = std::chrono::steady_clock::now();
        if (tz != nullptr) {
            if (applied_ && appliedTZ_ && *appliedTZ_ == tz) return;
            appliedTZ_ = tz;
        } else {
            if (applied_ && !appliedTZ_ && now - systemCheckedAt_ < seconds(1)) return;
            appliedTZ_.reset();
            systemCheckedAt_ = now;
        }
        applied_ = true;
        tzset();
    }

private:
    bool applied_ = false;
    std::optional<std::string> appliedTZ_;  // the TZ applied; nothing for the system's zone
    std::chrono::steady_clock::time_point systemCheckedAt_{};
};

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
        static auto* zone = new ZoneState();  // never destroyed: workers may stamp at exit
        const std::lock_guard lock(zoneLock);
        zone->refresh();
        localtime_r(&t, &parts);
    }
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

}  // namespace qor::platform

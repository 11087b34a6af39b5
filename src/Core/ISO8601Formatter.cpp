#include "Core/ISO8601Formatter.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace qor {

namespace {

void putDigits(char* out, std::int64_t value, int width) {
    for (int index = width - 1; index >= 0; --index) {
        out[index] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace

std::string ISO8601DateFormatter::string(const platform::Date& date) const {
    using namespace std::chrono;
    const auto millis = floor<milliseconds>(date.time.time_since_epoch());
    const auto day = floor<days>(millis);
    const year_month_day ymd{sys_days{day}};
    const auto inDay = millis - day;
    const auto hour = duration_cast<hours>(inDay);
    const auto minute = duration_cast<minutes>(inDay - hour);
    const auto second = duration_cast<seconds>(inDay - hour - minute);
    const auto fraction = inDay - hour - minute - second;

    const int yearValue = static_cast<int>(ymd.year());
    if (yearValue < 0 || yearValue > 9999) {
        // Outside four digits the year keeps its sign and all its digits.
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%d-%02u-%02uT%02d:%02d:%02d.%03dZ", yearValue,
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                      static_cast<int>(hour.count()), static_cast<int>(minute.count()),
                      static_cast<int>(second.count()), static_cast<int>(fraction.count()));
        return buffer;
    }
    std::string text;
    text = "0000-00-00T00:00:00.000Z";
    char* out = text.data();
    putDigits(out, yearValue, 4);
    putDigits(out + 5, static_cast<unsigned>(ymd.month()), 2);
    putDigits(out + 8, static_cast<unsigned>(ymd.day()), 2);
    putDigits(out + 11, hour.count(), 2);
    putDigits(out + 14, minute.count(), 2);
    putDigits(out + 17, second.count(), 2);
    putDigits(out + 20, fraction.count(), 3);
    return text;
}

const ISO8601DateFormatter& sharedISO8601Formatter() {
    // A function-local static: initialised once, thread-safe.
    static const ISO8601DateFormatter formatter;
    return formatter;
}

}  // namespace qor

#pragma once

#include <string>

#include "Platform/Foundation/Date.h"

namespace qor {

// Internet date-time text in UTC with milliseconds: "2024-03-05T14:07:09.123Z". The
// fraction is cut, not rounded, so a stamp never names a moment later than the one it
// records. Stateless and safe to use from any thread.
class ISO8601DateFormatter {
public:
    std::string string(const platform::Date& date) const;
};

// The one formatter that event stamps, batch send times and session starts share; made on
// first use.
const ISO8601DateFormatter& sharedISO8601Formatter();

}  // namespace qor

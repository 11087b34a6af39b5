#pragma once

#include <optional>
#include <string_view>

namespace qor::platform {

// Reads numbers from text the same way whatever the user's locale: an optional "+" or "-",
// decimal digits with at most one "." as the decimal point, and at least one digit. Nothing
// else is accepted: no blanks around or inside, no grouping separators, no exponent, no
// "inf" or "nan", no hexadecimal. Safe to use from any thread.
class NumberFormatter {
public:
    // The value, or nothing when the whole text is not such a number (or does not fit a double).
    std::optional<double> number(std::string_view from) const;
};

}  // namespace qor::platform

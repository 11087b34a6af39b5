#include "Platform/Foundation/NumberFormatter.h"

#include <charconv>
#include <system_error>

namespace qor::platform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one point and at least one digit.
bool isUnsignedDecimal(std::string_view text) {
    bool sawPoint = false;
    bool sawDigit = false;
    for (const char c : text) {
        if (isDigit(c)) {
            sawDigit = true;
        } else if (c == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            return false;
        }
    }
    return sawDigit;
}

}  // namespace

std::optional<double> NumberFormatter::number(std::string_view from) const {
    bool negative = false;
    if (!from.empty() && (from.front() == '+' || from.front() == '-')) {
        negative = from.front() == '-';
        from.remove_prefix(1);
    }
    if (!isUnsignedDecimal(from)) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(from.data(), from.data() + from.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != from.data() + from.size()) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace qor::platform

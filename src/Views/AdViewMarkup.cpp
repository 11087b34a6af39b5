#include "Views/AdViewMarkup.h"

#include <array>
#include <charconv>
#include <cmath>

#include "Platform/Support/ASCIIText.h"

namespace qor {
namespace {

constexpr std::string_view pageHead =
    "<!DOCTYPE html><html><meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0,maximum-scale=1.0, "
    "user-scalable=no,viewport-fit=cover,shrink-to-fit=YES\"/>";
constexpr std::string_view bodyOpen = "<body style=\"margin: 0; padding:0; background:no;\">";
constexpr std::string_view pageTail = "</body></html>";

// Significant digits "d1d2...dn" standing for 0.d1d2...dn times 10^(exponent + 1), written out as
// plain decimal text: a whole number ends in ".0".
std::string plainDecimal(std::string_view digits, int exponent) {
    const long whole = static_cast<long>(exponent) + 1;  // digits before the decimal point
    const auto count = static_cast<long>(digits.size());
    std::string text;
    if (whole <= 0) {
        text.append("0.").append(static_cast<std::size_t>(-whole), '0').append(digits);
    } else if (whole >= count) {
        text.append(digits).append(static_cast<std::size_t>(whole - count), '0').append(".0");
    } else {
        const auto split = static_cast<std::size_t>(whole);
        text.append(digits.substr(0, split)).append(".").append(digits.substr(split));
    }
    return text;
}

}  // namespace

std::string auctionPriceText(float price) {
    // The shortest digits that read back as the same float, as "-d.ddde±xx", laid out without
    // the exponent: ad servers read the macro as a plain decimal.
    std::array<char, 64> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), price, std::chars_format::scientific);
    if (error != std::errc()) return {};
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    if (!std::isfinite(price)) return std::string(text);  // "inf", "-inf", "nan" as before

    const bool negative = text.front() == '-';
    if (negative) text.remove_prefix(1);
    const auto exponentAt = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, exponentAt)) {
        if (c != '.') digits += c;
    }
    auto exponentText = text.substr(exponentAt + 1);
    if (exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    return (negative ? "-" : "") + plainDecimal(digits, exponent);
}

std::string substituteAdMarkup(std::string markup, std::string_view requestId, float price) {
    markup = platform::replacingOccurrences(std::move(markup), "{{AUCTION_PRICE}}", auctionPriceText(price));
    return platform::replacingOccurrences(std::move(markup), "{{REQUEST_ID}}", requestId);
}

std::string adPageHTML(std::string_view markup) {
    std::string page;
    page.reserve(pageHead.size() + bodyOpen.size() + markup.size() + pageTail.size());
    page.append(pageHead).append(bodyOpen).append(markup).append(pageTail);
    return page;
}

}  // namespace qor

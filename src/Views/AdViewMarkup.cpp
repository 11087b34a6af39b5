#include "Views/AdViewMarkup.h"

#include <array>
#include <charconv>

#include "Platform/Foundation/ASCIIText.h"

namespace qor {
namespace {

constexpr std::string_view pageHead =
    "<!DOCTYPE html><html><meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0,maximum-scale=1.0, "
    "user-scalable=no,viewport-fit=cover,shrink-to-fit=YES\"/>";
constexpr std::string_view bodyOpen = "<body style=\"margin: 0; padding:0; background:no;\">";
constexpr std::string_view pageTail = "</body></html>";

}  // namespace

std::string auctionPriceText(float price) {
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), price);
    std::string text(buffer.data(), error == std::errc() ? end : buffer.data());
    if (text.find_first_not_of("-0123456789") == std::string::npos) text += ".0";
    return text;
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

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Models/OpenRTB/Bid.h"
#include "Platform/Foundation/URL.h"

// The one page format of web-rendered ads, shared by the banner and the full-screen formats.
namespace qor {

// The price as "{{AUCTION_PRICE}}" becomes: the shortest digits that read back as the same
// float, as plain decimal text with ".0" after a whole number, never an exponent (2 gives "2.0",
// 1.25 gives "1.25", 100000 gives "100000.0", 0.0005 gives "0.0005").
std::string auctionPriceText(float price);

// The markup with every "{{AUCTION_PRICE}}" and then every "{{REQUEST_ID}}" replaced, literally.
std::string substituteAdMarkup(std::string markup, std::string_view requestId, float price);

// The markup inside the fixed page: viewport head, a margin-free body, nothing between pieces.
std::string adPageHTML(std::string_view markup);

// The markup as a URL to fetch it from: a text that parses as a URL the shared application can
// open; nothing otherwise.
std::optional<platform::URL> openableMarkupURL(const std::optional<std::string>& markup);

// Fires the bid's viewable tracker ("{{REQUEST_ID}}" filled in) when the bid has one and a
// request id, and logs the outcome. Stops the process before start-up.
void fireViewableTracker(const Bid& bid);

}  // namespace qor

#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AdNetwork/Container.h"
#include "AdShowcase.h"
#include "Platform/Foundation/Any.h"
#include "WireLog.h"

namespace qor::example {

// One auction event of an envelope that the collection endpoint accepted.
struct AuctionEvent {
    std::string name;  // "bidRequest", "bidResponse", "bidError" or "bidWinner"
    std::string requestId;
    platform::Any adData;
};

// One ad's auction as the wire log and the accepted auction events tell it.
struct AuctionSummary {
    std::string requestId;
    std::optional<std::string> winner;
    std::optional<double> price;
    std::vector<std::pair<std::string, std::string>> losers;    // endpoint, why it lost
    std::vector<std::pair<std::string, std::string>> trackers;  // URL, its answer
    std::map<std::string, int> eventCounts;                     // auction events by name
    std::vector<std::string> problems;                          // what does not add up
};

// A price as the summary prints it: two decimals.
std::string priceText(double price);

// The events of every envelope posted to the collection URL and answered with success.
std::vector<AuctionEvent> acceptedAuctionEvents(const std::vector<Exchange>& wire, const std::string& collectionURL);

// Why an endpoint's answer lost an auction that `winningPrice` won (nothing when none was won):
// no answer, a failure status, no bid, a bid under the unit's floor, or a lower bid.
std::string whyLost(const Exchange& answer, const Inventory& inventory, std::optional<double> winningPrice);

// The auction of a shown ad: its bid requests found in its stretch of the wire log by the
// endpoints' URLs, the winner from the accepted auction events, why every other endpoint lost,
// and the trackers it fired (its GETs that fetched no bid's markup).
AuctionSummary summarizeAuction(const ShownAd& ad, const std::vector<Exchange>& wire, const Container& container,
                                const std::vector<AuctionEvent>& events);

}  // namespace qor::example

#include "AuctionSummary.h"

#include <algorithm>
#include <cstdio>

#include "AdNetwork/EndpointList.h"
#include "AdNetwork/InventoryReaders.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Foundation/URL.h"

namespace qor::example {
namespace {

using platform::Any;

struct OfferedBid {
    std::string id;
    double price = 0;
    std::string markup;
};

std::optional<Any> parseJSON(const std::string& text) {
    try {
        return platform::JSONSerialization::jsonObject(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The member at the end of a path of keys, or nothing.
const Any* member(const Any& root, std::initializer_list<std::string_view> keys) {
    const Any* value = &root;
    for (const auto key : keys) {
        const auto* object = value->tryDictionary();
        value = object ? object->find(key) : nullptr;
        if (!value) return nullptr;
    }
    return value;
}

std::string textOf(const Any* value) {
    const auto* text = value ? value->tryString() : nullptr;
    return text ? *text : "";
}

// Every bid of a bid response; nothing when the text is not one.
std::optional<std::vector<OfferedBid>> offeredBids(const std::string& body) {
    const auto response = parseJSON(body);
    if (!response || !response->tryDictionary()) return std::nullopt;
    std::vector<OfferedBid> bids;
    const auto* seats = member(*response, {"seatbid"});
    if (!seats || !seats->tryArray()) return bids;
    for (const auto& seat : *seats->tryArray()) {
        const auto* list = member(seat, {"bid"});
        if (!list || !list->tryArray()) continue;
        for (const auto& bid : *list->tryArray()) {
            const auto* price = member(bid, {"price"});
            if (!price || !price->tryDouble()) continue;
            bids.push_back({textOf(member(bid, {"id"})), *price->tryDouble(), textOf(member(bid, {"adm"}))});
        }
    }
    return bids;
}

std::optional<double> bestPrice(const std::vector<OfferedBid>& bids) {
    if (bids.empty()) return std::nullopt;
    return std::max_element(bids.begin(), bids.end(), [](const auto& a, const auto& b) { return a.price < b.price; })
        ->price;
}

std::string normalizedURL(const std::string& text) {
    const auto url = platform::URL::make(text);
    return url ? url->absoluteString() : text;
}

std::string answerText(const Exchange& exchange) {
    if (!exchange.status) return "no answer (" + exchange.error + ")";
    return std::to_string(*exchange.status);
}

struct BidExchange {
    std::size_t place = 0;  // in the unit's endpoint list
    std::string endpoint;
    const Exchange* exchange = nullptr;
};

}  // namespace

std::string priceText(double price) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", price);
    return text;
}

std::vector<AuctionEvent> acceptedAuctionEvents(const std::vector<Exchange>& wire, const std::string& collectionURL) {
    std::vector<AuctionEvent> events;
    for (const auto& exchange : wire) {
        if (exchange.url != collectionURL || !exchange.succeeded()) continue;
        const auto envelope = parseJSON(exchange.requestBody);
        if (!envelope || textOf(member(*envelope, {"typeSDK"})) != "adnetwork") continue;
        const auto* batch = member(*envelope, {"batch"});
        if (!batch || !batch->tryArray()) continue;
        for (const auto& event : *batch->tryArray()) {
            const auto* adData = member(event, {"context", "adData"});
            events.push_back(
                {textOf(member(event, {"name"})), textOf(member(event, {"requestId"})), adData ? *adData : Any()});
        }
    }
    return events;
}

std::string whyLost(const Exchange& answer, const Inventory& inventory, std::optional<double> winningPrice) {
    if (!answer.status) return "no answer: " + answer.error;
    if (*answer.status == 204) return "no bid (204)";
    if (!answer.succeeded()) return "failed with HTTP " + std::to_string(*answer.status);
    const auto bids = offeredBids(answer.responseBody);
    if (!bids) return "unreadable answer (not a bid response)";
    const auto price = bestPrice(*bids);
    if (!price) return "no bid";
    if (!meetsFloor(inventory, static_cast<float>(*price))) {
        return "bid " + priceText(*price) + ", under the unit's floor " + priceText(inventory.floorPrice.value_or(0));
    }
    if (!winningPrice) return "bid " + priceText(*price) + ", yet nobody won";
    if (*price < *winningPrice) return "outbid: bid " + priceText(*price);
    if (*price == *winningPrice) return "tied at " + priceText(*price) + "; the earlier endpoint of the unit won";
    return "bid " + priceText(*price) + ", more than the winner";
}

AuctionSummary summarizeAuction(const ShownAd& ad, const std::vector<Exchange>& wire, const Container& container,
                                const std::vector<AuctionEvent>& events) {
    AuctionSummary summary;
    const Inventory* inventory = findInventory(container, ad.unit);
    if (!inventory) {
        summary.problems.push_back("the container has no unit " + std::to_string(ad.unit));
        return summary;
    }
    // The endpoints by URL, with their place in the unit's list.
    std::map<std::string, std::pair<std::size_t, std::string>> endpointByURL;
    for (const auto& endpoint : endpointsForInventory(container, *inventory)) {
        endpointByURL.emplace(normalizedURL(endpoint.url), std::pair{endpointByURL.size(), endpoint.name});
    }

    const auto end = std::min(ad.endExchange, wire.size());
    std::vector<BidExchange> bidExchanges;
    std::vector<const Exchange*> gets;
    for (std::size_t index = ad.firstExchange; index < end; ++index) {
        const auto& exchange = wire[index];
        const auto endpoint = endpointByURL.find(normalizedURL(exchange.url));
        if (exchange.method == "POST" && endpoint != endpointByURL.end()) {
            bidExchanges.push_back({endpoint->second.first, endpoint->second.second, &exchange});
        } else if (exchange.method == "GET") {
            gets.push_back(&exchange);
        }
    }
    std::stable_sort(bidExchanges.begin(), bidExchanges.end(),
                     [](const auto& a, const auto& b) { return a.place < b.place; });
    if (bidExchanges.empty()) {
        summary.problems.push_back("no bid request went out");
        return summary;
    }
    if (const auto request = parseJSON(bidExchanges.front().exchange->requestBody)) {
        summary.requestId = textOf(member(*request, {"id"}));
    }

    // The winner as the SDK recorded it; its endpoint is the one that offered the winning bid.
    std::string winningBid;
    for (const auto& event : events) {
        if (event.requestId != summary.requestId) continue;
        summary.eventCounts[event.name] += 1;
        if (event.name != "bidWinner") continue;
        winningBid = textOf(member(event.adData, {"id"}));
        summary.winner = textOf(member(event.adData, {"dsp_name"}));
        if (const auto* price = member(event.adData, {"price"})) summary.price = price->tryDouble();
    }
    std::vector<std::string> markups;
    for (const auto& [place, endpoint, exchange] : bidExchanges) {
        const auto bids = offeredBids(exchange->responseBody).value_or(std::vector<OfferedBid>{});
        for (const auto& bid : bids) markups.push_back(normalizedURL(bid.markup));
        const bool won = summary.winner && !winningBid.empty() &&
                         std::any_of(bids.begin(), bids.end(), [&](const auto& bid) { return bid.id == winningBid; });
        if (won) {
            summary.winner = endpoint;
            continue;
        }
        auto why = whyLost(*exchange, *inventory, summary.price);
        if (why.find("more than the winner") != std::string::npos) summary.problems.push_back(endpoint + ": " + why);
        summary.losers.emplace_back(endpoint, std::move(why));
    }
    if (!summary.winner) summary.problems.push_back("no winner among the accepted auction events");

    for (const auto* get : gets) {
        if (std::find(markups.begin(), markups.end(), normalizedURL(get->url)) != markups.end()) continue;
        summary.trackers.emplace_back(get->url, answerText(*get));
        if (!get->succeeded()) summary.problems.push_back("tracker " + get->url + " answered " + answerText(*get));
    }
    if (ad.format != AdFormat::video && summary.trackers.empty()) summary.problems.push_back("no tracker fired");
    return summary;
}

}  // namespace qor::example

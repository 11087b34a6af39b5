#include "Judgement.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

namespace qor::example {
namespace {

using testing::BidAnswer;
using testing::BidSpec;
using Json = nlohmann::json;

// MARK: The rules

bool passesFloor(double price, const std::optional<float>& floor) {
    return static_cast<float>(price) >= floor.value_or(0.0F);
}

std::string floorText(const UnitSeen& unit) {
    return unit.floor ? "the floor " + priceText(*unit.floor) : std::string("0");
}

// The bid an endpoint competes with: the last bid of its last answer.
const BidSpec* competingBid(const EndpointSeen& endpoint) {
    if (endpoint.answers.empty() || endpoint.answers.back().kind != BidAnswer::Kind::bids) return nullptr;
    const BidSpec* last = nullptr;
    for (const auto& seat : endpoint.answers.back().seatBids) {
        if (!seat.empty()) last = &seat.back();
    }
    return last;
}

// What the rules make of the endpoints' answers.
struct Auction {
    const EndpointSeen* directDeal = nullptr;  // the first direct deal, which decides alone
    std::vector<const EndpointSeen*> highest;  // the endpoints whose bid wins (more on a tie)
    bool considered(const EndpointSeen& endpoint) const { return !directDeal || directDeal == &endpoint; }
    bool wins(const EndpointSeen& endpoint) const {
        return std::find(highest.begin(), highest.end(), &endpoint) != highest.end();
    }
};

Auction runAuction(const UnitSeen& unit) {
    Auction auction;
    for (const auto& endpoint : unit.endpoints) {
        if (endpoint.directDeal) {
            auction.directDeal = &endpoint;
            break;
        }
    }
    float best = 0;
    for (const auto& endpoint : unit.endpoints) {
        const auto* bid = competingBid(endpoint);
        if (!bid || !auction.considered(endpoint) || !passesFloor(bid->price, unit.floor)) continue;
        const auto price = static_cast<float>(bid->price);
        if (auction.highest.empty() || price > best) {
            auction.highest = {&endpoint};
            best = price;
        } else if (price == best) {
            auction.highest.push_back(&endpoint);
        }
    }
    return auction;
}

std::string answerText(const EndpointSeen& endpoint) {
    if (endpoint.answers.empty())
        return endpoint.hasBiddingURL ? "not asked" : "not asked: the container gives it no bidding URL";
    const auto& answer = endpoint.answers.back();
    std::string text =
        endpoint.answers.size() > 1 ? "asked " + std::to_string(endpoint.answers.size()) + " times; " : std::string();
    switch (answer.kind) {
        case BidAnswer::Kind::noContent:
            return text + "no bid (204)";
        case BidAnswer::Kind::status:
            return text + "failed with HTTP " + std::to_string(answer.status);
        case BidAnswer::Kind::garbage:
            return text + "answered something that is not a bid response";
        case BidAnswer::Kind::emptyBody:
            return text + "answered an empty body";
        case BidAnswer::Kind::bids:
            break;
    }
    const auto* bid = competingBid(endpoint);
    return text + (bid ? "bid " + priceText(bid->price) : std::string("no bid (no seat bids)"));
}

// An endpoint's answer and its part in the auction.
std::string partOf(const EndpointSeen& endpoint, const UnitSeen& unit, const Auction& auction) {
    const auto text = answerText(endpoint) + (endpoint.directDeal ? " (direct deal)" : "");
    const auto* bid = competingBid(endpoint);
    if (!bid) return text;
    if (!auction.considered(endpoint)) return text + ": not considered, the direct deal decides alone";
    if (!passesFloor(bid->price, unit.floor)) return text + ": under " + floorText(unit);
    if (!auction.wins(endpoint)) return text + ": outbid";
    return text + (auction.highest.size() > 1 ? ": tied for the highest, may win" : ": wins");
}

// Every endpoint of the unit that has a bidding URL takes part in its auction, the core included.
void judgeAsked(const UnitSeen& unit, std::vector<std::string>& problems) {
    for (const auto& endpoint : unit.endpoints) {
        if (endpoint.hasBiddingURL && endpoint.answers.empty())
            problems.push_back("the endpoint " + endpoint.name + " was not asked for a bid");
    }
}

// MARK: What the load came to

enum class Expected { refused, winner, passBack, noAd };

std::string winnerText(const Auction& auction) {
    std::string names;
    for (const auto* endpoint : auction.highest) names += (names.empty() ? "" : " or ") + endpoint->name;
    return names + " at " + priceText(competingBid(*auction.highest.front())->price);
}

std::string ruleText(Expected expected, const UnitSeen& unit, const Auction& auction) {
    const std::string noBid = auction.directDeal ? "the direct deal " + auction.directDeal->name +
                                                       " decides alone and left no bid at or above " + floorText(unit)
                                                 : "no bid at or above " + floorText(unit);
    switch (expected) {
        case Expected::winner:
            return auction.directDeal
                       ? "the direct deal " + auction.directDeal->name + " decides alone: " + winnerText(auction) +
                             " wins, whatever the open bids"
                       : "the highest bid at or above " + floorText(unit) + " wins: " + winnerText(auction);
        case Expected::passBack:
            return noBid + ": the unit's pass-back is shown";
        case Expected::noAd:
            return noBid + " and the unit has no pass-back: \"No available Ad\"";
        case Expected::refused:
            break;
    }
    return {};
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// The load's outcome against what the rules expect.
void judgeOutcome(const LoadSeen& load, Expected expected, const Auction& auction, std::vector<std::string>& problems) {
    const bool loaded = load.reports > 0 && !load.failure;
    const std::string failure = load.failure.value_or("");
    switch (expected) {
        case Expected::refused:
            if (loaded) problems.push_back("an ad was loaded for a unit the container does not offer for this format");
            return;
        case Expected::winner:
            if (load.failure) {
                problems.push_back("failed with " + quoted(failure) + ", yet " + winnerText(auction) +
                                   " is a winning bid");
            }
            return;
        case Expected::passBack:
            if (load.failure)
                problems.push_back("failed with " + quoted(failure) + " instead of showing the pass-back");
            return;
        case Expected::noAd:
            if (loaded) problems.push_back("an ad was loaded, yet no bid passed and the unit has no pass-back");
            if (load.failure && failure != "No available Ad") {
                problems.push_back("failed with " + quoted(failure) + "; the answers give \"No available Ad\"");
            }
            return;
    }
}

// MARK: Auction events and trackers

void judgeEvents(const UnitSeen& unit, const NetworkSeen& network, Expected expected, const Auction& auction,
                 Verdict& verdict) {
    std::size_t asked = 0;
    for (const auto& endpoint : unit.endpoints) asked += endpoint.answers.size();
    if (asked == 0 && network.events.empty()) return;
    std::map<std::string, int> counts;
    std::size_t refused = 0;
    std::size_t answers = 0;
    std::size_t noBid = 0;
    std::vector<std::string> winners;
    for (const auto& event : network.events) {
        counts[event.name] += 1;
        refused += event.accepted ? 0 : 1;
        answers += event.name == "bidResponse" || (event.name == "bidError" && event.errorCode == "00") ? 1 : 0;
        noBid += event.name == "bidError" && event.errorCode == "04" ? 1 : 0;
        if (event.name == "bidWinner") winners.push_back(event.bidId);
    }
    std::string text;
    for (const auto& [name, count] : counts) text += (text.empty() ? "" : ", ") + name + " " + std::to_string(count);
    if (text.empty()) text = "none";
    text += refused ? ": " + std::to_string(refused) + " refused by the collection endpoint" : ": all accepted";
    verdict.lines.emplace_back("events", text);

    auto& problems = verdict.problems;
    if (refused)
        problems.push_back(std::to_string(refused) + " auction events were refused by the collection endpoint");
    const auto missing = [&](std::size_t got, std::size_t wanted, const std::string& what) {
        if (got < wanted) {
            problems.push_back("the collection endpoint got " + std::to_string(got) + " " + what + " events for " +
                               std::to_string(wanted) + " bid requests");
        }
    };
    missing(static_cast<std::size_t>(counts["bidRequest"]), asked, "bidRequest");
    missing(answers, asked, "bidResponse or \"00\" bidError");
    if (expected == Expected::winner) {
        if (winners.empty()) problems.push_back("no bidWinner event reached the collection endpoint");
        for (const auto& id : winners) {
            const bool ruled = std::any_of(auction.highest.begin(), auction.highest.end(),
                                           [&](const auto* endpoint) { return competingBid(*endpoint)->id == id; });
            if (!ruled)
                problems.push_back("the SDK recorded bid " + id + " as the winner; the rules give " +
                                   winnerText(auction));
        }
    } else if (!winners.empty()) {
        problems.push_back("a bidWinner event was recorded, yet no bid passed");
    }
    if (expected == Expected::passBack && noBid) problems.push_back("a \"04\" bid error was recorded for a pass-back");
    if (expected == Expected::noAd && !noBid) problems.push_back("no \"04\" bid error reached the collection endpoint");
}

// The tracker URLs a shown bid makes the SDK fire, by name: its viewable tracker and, for a
// native ad, the first impression image tracker and (once tapped) the first click tracker.
std::vector<std::pair<std::string, std::string>> trackersOf(const BidSpec& bid, const LoadSeen& load) {
    std::vector<std::pair<std::string, std::string>> trackers;
    if (bid.viewableURL) trackers.emplace_back("viewable", *bid.viewableURL);
    if (load.format != AdFormat::native) return trackers;
    const auto native = Json::parse(bid.markup, nullptr, false);
    if (!native.is_object()) return trackers;
    for (const auto& tracker : native.value("eventtrackers", Json::array())) {
        if (tracker.value("event", 0) == 1 && tracker.value("method", 0) == 1) {
            trackers.emplace_back("impression", tracker.value("url", ""));
            break;
        }
    }
    const auto clicks = native.value("link", Json::object()).value("clicktrackers", Json::array());
    if (load.tapped && !clicks.empty() && clicks[0].is_string()) trackers.emplace_back("click", clicks[0]);
    return trackers;
}

// "path?query" of a tracker URL, the request id filled in.
std::string trackerRequest(std::string url, const std::string& requestId) {
    for (auto at = url.find("{{REQUEST_ID}}"); at != std::string::npos; at = url.find("{{REQUEST_ID}}", at)) {
        url.replace(at, 14, requestId);
        at += requestId.size();
    }
    const auto scheme = url.find("://");
    const auto path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return path == std::string::npos ? "/" : url.substr(path);
}

void judgeTrackers(const LoadSeen& load, const UnitSeen& unit, const NetworkSeen& network, const Auction& auction,
                   Verdict& verdict) {
    if (load.failure || !load.shown) return;
    // The winning bid as the SDK recorded it, else the rules' one when there is no tie.
    const BidSpec* winner = nullptr;
    for (const auto& event : network.events) {
        for (const auto& endpoint : unit.endpoints) {
            const auto* bid = competingBid(endpoint);
            if (event.name == "bidWinner" && bid && bid->id == event.bidId) winner = bid;
        }
    }
    if (!winner && auction.highest.size() == 1) winner = competingBid(*auction.highest.front());
    if (!winner) return;
    std::string text;
    for (const auto& [name, url] : trackersOf(*winner, load)) {
        const auto request = trackerRequest(url, network.requestId);
        const bool hit =
            std::find(network.trackerHits.begin(), network.trackerHits.end(), request) != network.trackerHits.end();
        text += (text.empty() ? "" : ", ") + name + (hit ? " fired" : " NOT fired");
        if (!hit) verdict.problems.push_back("the " + name + " tracker of the shown ad was not fired (" + url + ")");
    }
    verdict.lines.emplace_back("trackers", text.empty() ? "none: the winning bid carries none" : text);
}

std::string counted(int count, const std::string& thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : thing.ends_with("h") ? "es" : "s");
}

bool reportsFailure(const std::string& uploadResult) {
    for (const auto* failure : {"generalError(", "requestFailed(", "responseFailed(", "untypedError("}) {
        if (uploadResult.starts_with(failure)) return true;
    }
    return false;
}

// A platform's bidding URL is the one its first entry in the container's list gives.
bool hasBiddingURL(const Container& container, std::int64_t platform) {
    if (!container.platforms) return false;
    const auto listed = std::find_if(container.platforms->begin(), container.platforms->end(),
                                     [&](const DemandSidePlatform& candidate) { return candidate.id == platform; });
    return listed != container.platforms->end() && !listed->url.value_or("").empty();
}

}  // namespace

std::string priceText(double price) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", price);
    return text;
}

UnitSeen unitOf(const Container& container, std::int64_t unit, AdFormat format) {
    UnitSeen seen;
    const auto inventory = std::find_if(container.inventories.begin(), container.inventories.end(),
                                        [&](const Inventory& candidate) { return candidate.id == unit; });
    if (inventory == container.inventories.end()) return seen;
    seen.listed = true;
    seen.servesFormat = !inventory->format || *inventory->format == adTypeText(format);
    seen.floor = inventory->floorPrice;
    seen.hasPassBack = inventory->metadata.passBack && !inventory->metadata.passBack->empty();
    for (const auto& platform : inventory->platforms.value_or(std::vector<DemandSidePlatform>{})) {
        seen.endpoints.push_back({platform.id,
                                  platform.name.value_or("unknown"),
                                  platform.directDeal.value_or(0) > 0,
                                  {},
                                  hasBiddingURL(container, platform.id)});
    }
    seen.endpoints.push_back({-1, "core", false, {}, !container.core.url.empty()});
    return seen;
}

Verdict judgeLoad(const AdSeen& seen) {
    Verdict verdict;
    const auto& [load, unit, network] = seen;
    if (load.reports == 0) verdict.problems.push_back("the load never reached its delegate");
    if (load.reports > 1) {
        verdict.problems.push_back("the load reached its delegate " + std::to_string(load.reports) + " times");
    }
    if (load.reports > 0 && !load.failure && !load.shown) verdict.problems.push_back("loaded, but " + load.outcome);

    const Auction auction = runAuction(unit);
    Expected expected = Expected::refused;
    if (!unit.listed) {
        verdict.lines.emplace_back(
            "rule", "the container has no unit " + std::to_string(load.unit) + ": the SDK refuses the load");
    } else if (!unit.servesFormat) {
        verdict.lines.emplace_back("rule", "unit " + std::to_string(load.unit) + " is not a " +
                                               std::string(adTypeText(load.format)) +
                                               " unit: the SDK refuses the load");
    } else if (!network) {
        std::string names;
        for (const auto& endpoint : unit.endpoints) {
            names += (names.empty() ? "" : ", ") + endpoint.name + (endpoint.directDeal ? " (direct deal)" : "");
        }
        verdict.lines.emplace_back("endpoints", names + "; another network's answers are not seen");
        return verdict;
    } else {
        expected = !auction.highest.empty() ? Expected::winner : unit.hasPassBack ? Expected::passBack : Expected::noAd;
        verdict.lines.emplace_back("rule", ruleText(expected, unit, auction));
        for (const auto& endpoint : unit.endpoints) {
            verdict.lines.emplace_back(endpoint.name, partOf(endpoint, unit, auction));
        }
        judgeAsked(unit, verdict.problems);
    }
    judgeOutcome(load, expected, auction, verdict.problems);
    if (network) {
        judgeEvents(unit, *network, expected, auction, verdict);
        if (expected == Expected::winner) judgeTrackers(load, unit, *network, auction, verdict);
    }
    return verdict;
}

Verdict judgeAnalytics(const AnalyticsSeen& seen) {
    Verdict verdict;
    constexpr std::array<const char*, 5> kinds{"track", "identify", "screen", "group", "alias"};
    std::map<std::string, int> sent;
    for (const auto& kind : seen.sent) sent[kind] += 1;
    if (seen.posts) {
        struct Tally {
            int accepted = 0;  // events
            int batches = 0;   // accepted batches holding the kind
        };
        std::map<std::string, Tally> tallies;
        int envelopes = 0;
        int auctionEvents = 0;
        for (const auto& post : *seen.posts) {
            const bool accepted = post.status >= 200 && post.status < 300;
            const auto body = Json::parse(post.body, nullptr, false);
            const auto batch = body.is_object() ? body.value("batch", Json::array()) : Json::array();
            if (body.is_object() && body.value("typeSDK", "") == "adnetwork") {
                envelopes += accepted ? 1 : 0;
                auctionEvents += accepted ? static_cast<int>(batch.size()) : 0;
                continue;
            }
            if (!accepted) {
                verdict.problems.push_back("the collection endpoint refused an analytics batch of " +
                                           std::to_string(batch.size()) + " events (HTTP " +
                                           std::to_string(post.status) + ")");
                continue;
            }
            std::map<std::string, int> inThisBatch;
            for (const auto& event : batch) inThisBatch[event.is_object() ? event.value("type", "") : ""] += 1;
            for (const auto& [kind, count] : inThisBatch) {
                tallies[kind].accepted += count;
                tallies[kind].batches += 1;
            }
        }
        for (const auto* kind : kinds) {
            const auto& tally = tallies[kind];
            verdict.lines.emplace_back(kind, "sent " + std::to_string(sent[kind]) + ", accepted " +
                                                 counted(tally.accepted, "event") + " in " +
                                                 counted(tally.batches, "batch"));
            if (sent[kind] > 0 && tally.accepted == 0) {
                verdict.problems.push_back("no " + std::string(kind) + " event reached the collection endpoint");
            }
        }
        verdict.lines.emplace_back(
            "auction", counted(auctionEvents, "auction event") + " accepted in " + counted(envelopes, "envelope"));
    } else {
        std::string text;
        for (const auto* kind : kinds)
            text += (text.empty() ? "" : ", ") + std::string(kind) + " " + std::to_string(sent[kind]);
        verdict.lines.emplace_back("sent", text + "; another network's collection endpoint is not seen");
    }
    for (const auto& result : seen.uploadResults) {
        verdict.lines.emplace_back("upload", "the SDK reports: " + result);
        if (reportsFailure(result)) verdict.problems.push_back("an analytics upload failed: " + result);
    }
    if (seen.uploadResults.empty() && !seen.sent.empty()) {
        verdict.problems.push_back("the SDK reported no analytics upload");
    }
    return verdict;
}

}  // namespace qor::example

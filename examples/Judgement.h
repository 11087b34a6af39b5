#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QORUniversalSDK/QORUniversalSDK.h>

#include "AdFormat.h"
#include "testing/CollectionServer.h"
#include "testing/SimulatedAdNetwork.h"

// Judges what the app saw by the auction rules. Every function here is pure: it reads what was
// seen and says what the rules make of it and what does not add up.
namespace qor::example {

// One endpoint of a unit, as the container lists it.
struct EndpointSeen {
    std::int64_t id = 0;
    std::string name;
    bool directDeal = false;
    // With the app's own network: what it answered to each bid request of the auction.
    std::vector<testing::BidAnswer> answers;
    // The container gives it a bidding URL; without one the SDK has nowhere to ask it.
    bool hasBiddingURL = true;
};

// The unit of a load as the container describes it.
struct UnitSeen {
    bool listed = false;        // the container has the unit
    bool servesFormat = false;  // and the unit's format fits the ad's
    std::optional<float> floor;
    bool hasPassBack = false;
    std::vector<EndpointSeen> endpoints;  // in the unit's order, the core last
};

// One auction event that was posted to the collection endpoint.
struct PostedEvent {
    std::string name;       // "bidRequest", "bidResponse", "bidError" or "bidWinner"
    std::string bidId;      // of a bidWinner: the winning bid's id
    std::string errorCode;  // of a bidError: "00" (an endpoint) or "04" (no bid)
    bool accepted = false;  // the collection endpoint answered its envelope with success
};

// What the app's own network recorded of a load besides its endpoints' answers.
struct NetworkSeen {
    std::string requestId;
    std::vector<PostedEvent> events;       // the auction's events posted to the collection endpoint
    std::vector<std::string> trackerHits;  // "path?query" of every request the tracker server got
};

// What the app saw of one load through the format's delegate, and what it did with the ad.
struct LoadSeen {
    AdFormat format = AdFormat::banner;
    std::int64_t unit = 0;
    int reports = 0;                     // delegate calls that ended the load, loaded or failed
    std::optional<std::string> failure;  // the failure the last of them reported
    bool shown = false;                  // the app showed the loaded ad (a video: got its tag)
    bool tapped = false;
    std::string outcome;  // what became of the ad, in words
};

struct AdSeen {
    LoadSeen load;
    UnitSeen unit;
    std::optional<NetworkSeen> network;  // nothing when the network is another's
};

// Labelled lines for the summary, and what does not add up.
struct Verdict {
    std::vector<std::pair<std::string, std::string>> lines;
    std::vector<std::string> problems;
};

// The unit of an ad format as the container describes it: its endpoints are the unit's demand
// platforms in order, then the core.
UnitSeen unitOf(const Container& container, std::int64_t unit, AdFormat format);

// A load by the auction rules: the first direct-deal endpoint decides alone, else every
// endpoint's last bid competes; bids under the floor drop out; the highest price wins; with no
// bid left the unit's pass-back is shown, and without one the load fails with "No available
// Ad". A problem is a load that reached its delegate other than once, an endpoint with a
// bidding URL that its unit's auction did not ask, an outcome or failure the answers do not
// explain, a tracker of a shown ad that was not fired, or an auction event missing at the
// collection endpoint or refused there. Without the network's records only the delegate and
// the container can be judged.
Verdict judgeLoad(const AdSeen& seen);

// What the app sent to the analytics side and what came of it.
struct AnalyticsSeen {
    std::vector<std::string> sent;  // the kind of each event the app sent: "track", "identify", ...
    // With the app's own network: every post to the collection endpoint, auction events included.
    std::optional<std::vector<testing::CollectionServer::AnsweredPost>> posts;
    // The SDK's console line of each analytics upload, after "DMP tracking result: ".
    std::vector<std::string> uploadResults;
};

// Which batches the collection endpoint accepted, per event kind; a problem is a kind the app
// sent of which no event was accepted, a batch refused, or an upload the SDK reports failed.
Verdict judgeAnalytics(const AnalyticsSeen& seen);

// A price as the summary prints it: two decimals.
std::string priceText(double price);

}  // namespace qor::example

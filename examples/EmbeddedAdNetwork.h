#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AdFormat.h"
#include "Judgement.h"
#include "testing/SimulatedAdNetwork.h"

namespace qor::example {

// One load the example makes, and which of the auction rules it shows.
struct Scene {
    AdFormat format = AdFormat::banner;
    std::string shows;
};

// The servers the example starts when no deployment names its own: the simulated ad network on
// loopback TLS (the container, the core and two demand endpoints, trackers, markup and images,
// the collection endpoint and the IP echo). While it lives the deployment variables point at it.
// Before each load the endpoints get a script of their own, so that the auctions show the rules
// at work; what the servers recorded tells afterwards how each auction went.
class EmbeddedAdNetwork {
public:
    // Serves the container for the app's ad-network key: the simulated network's units, the
    // interstitial unit with a direct deal, and a first-view unit with a pass-back.
    explicit EmbeddedAdNetwork(const std::string& containerKey);

    // The loads, in order: every format, each rule once.
    static const std::vector<Scene>& scenes();
    // Scripts what the endpoints answer to the load of the scene.
    void script(std::size_t scene);

    // How many bid requests each endpoint has answered; two marks taken before and after a
    // load tell its auction.
    using Mark = std::vector<std::size_t>;
    struct Stretch {
        Mark from;
        Mark to;
    };
    Mark mark() const;
    // The auction of the load in the stretch: the endpoints' answers go into the unit, the rest
    // the network recorded of it is returned.
    NetworkSeen seen(const Stretch& load, UnitSeen& unit) const;
    // Whether every bid request answered in the stretches has its bidRequest and answer events
    // at the collection endpoint.
    bool auctionEventsPosted(const std::vector<Stretch>& loads) const;

    std::vector<testing::CollectionServer::AnsweredPost> collectionPosts() const;

private:
    // The endpoints in the order of a mark: the core, then the demand endpoints.
    std::vector<testing::BidEndpoint*> endpoints() const;
    // The requests answered in the stretch, each with the index of its endpoint.
    std::vector<std::pair<std::size_t, testing::AnsweredBidRequest>> answered(const Stretch& load) const;
    // Every auction event posted to the collection endpoint, by request id.
    std::map<std::string, std::vector<PostedEvent>> postedEvents() const;
    testing::BidAnswer webAd(AdFormat format, double price, const std::string& look);
    testing::BidAnswer nativeAd(double price, const std::string& title);
    std::string viewableTracker(AdFormat format);

    std::unique_ptr<testing::SimulatedAdNetwork> network_;
};

}  // namespace qor::example

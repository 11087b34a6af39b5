#pragma once

#include <memory>
#include <string>

#include "AdFormat.h"
#include "testing/SimulatedAdNetwork.h"

namespace qor::example {

// The servers the example starts when no deployment names its own: the simulated ad network on
// loopback TLS (the container, the core and two demand endpoints, trackers, markup and images,
// the collection endpoint and the IP echo). While it lives the deployment variables point at it.
// Before each ad the endpoints get a script of their own, so the auctions show different
// winners, prices, delays and ways to lose.
class EmbeddedAdNetwork {
public:
    // Serves the container for the app's ad-network key: the simulated network's units plus a
    // first-view unit.
    explicit EmbeddedAdNetwork(const std::string& containerKey);

    // Scripts what the endpoints answer to the next ad of the format.
    void scriptAnswers(AdFormat format);

private:
    testing::BidAnswer webAd(AdFormat format, double price, const std::string& look);
    testing::BidAnswer nativeAd(double price, const std::string& title);
    std::string viewableTracker(AdFormat format);

    std::unique_ptr<testing::SimulatedAdNetwork> network_;
};

}  // namespace qor::example

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AdNetwork/AdRequest.h"
#include "AdNetwork/AdType.h"
#include "AdNetwork/Container.h"
#include "AdNetwork/Endpoint.h"
#include "AdNetwork/PostBidRequest.h"
#include "Models/OpenRTB/BidRequest.h"
#include "Models/OpenRTB/BidResponse.h"
#include "Models/OpenRTB/ImpressionBuilder.h"
#include "Models/OpenRTB/NativeAdRequest.h"
#include "Networking/Client/Result.h"
#include "Networking/Client/Session/CallbackQueue.h"
#include "Platform/Dispatch/DispatchGroup.h"

namespace qor {

// What the auction reads of one ad request's answers: each endpoint's last bid, by endpoint id.
// Shared by every send of the request and its auction; the sends' completions may run on any
// queue, so it is guarded. The auction takes the bids out instead of copying them.
class ResponseTable {
public:
    // Keeps the answer's last bid (of its last seat that has one); an answer without one leaves
    // nothing.
    void store(std::int64_t endpointID, std::optional<Bid> lastBid);
    std::optional<Bid> take(std::int64_t endpointID);

private:
    std::mutex mutex_;
    std::map<std::int64_t, Bid> lastBids_;
};

// The engine the ad formats load ads through: it builds the bid request, checks it against the
// capping state and the downloaded container, posts it to every endpoint of the ad unit at
// once, records each step as an auction event, and runs the auction when all have answered.
// It keeps no state between requests.
//
// Threads: a request that fails a check calls its completion at once, on the caller's thread,
// before the entry returns, and sends nothing. A request that reached its endpoints calls its
// completion exactly once, later, on the main thread. Tracker and markup completions run on the
// main thread. No completion is called while an internal lock is held.
// Counts one auction's outstanding answers and runs the auction after the last (defined with
// the client).
class AuctionCountdown;

class AdNetworkApiClient {
public:
    using BidCompletion = std::function<void(const Result<Bid>&)>;
    using TextCompletion = std::function<void(const Result<std::string>&)>;
    using AnonymousID = std::shared_ptr<const std::string>;

    static AdNetworkApiClient& shared();

    // A new bid request: fresh request, impression and transaction ids, the app and the device,
    // an empty user, and the context in its extension.
    BidRequest buildBidRequest(const std::optional<JSON>& context) const;

    // The web-rendered formats (banner, interstitial, first-view): refuse the native type, build
    // the bid request from the ad request's context and run requestAd. `adSize` is the ad size's
    // frame, nothing to take the inventory's metadata size.
    void requestBannerAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                         const AdRequest& adRequest, BidCompletion completion);
    void requestInterstitialAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                               const AdRequest& adRequest, BidCompletion completion);
    void requestMobileFirstViewAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                                  const AdRequest& adRequest, BidCompletion completion);
    // The video loader builds the bid request itself.
    void requestVideoAd(std::int64_t adUnitID, BidRequest& bidRequest, AdType adType,
                        const std::optional<FrameSize>& adSize, CallbackQueue callbackQueue, BidCompletion completion);
    // The native loader's entry: the asset requests become the impression's native request.
    void requestNativeAd(std::int64_t adUnitID, const std::vector<Asset::Request>& assets, const AdRequest& adRequest,
                         BidCompletion completion);

    // The request operation behind every entry: the checks, the impression's size, the endpoint
    // list, the anonymous id and the fan-out. `bidRequest` is changed in place.
    void requestAd(std::int64_t adUnitID, BidRequest& bidRequest, AdType adType, const std::optional<FrameSize>& adSize,
                   CallbackQueue callbackQueue, BidCompletion completion);

    // A GET of a tracker URL (percent-encoded for a query first, then sent to https on the
    // default port); an URL that cannot be encoded is dropped without a call.
    void fireTracker(const std::string& url, TextCompletion completion);
    // A GET of a markup URL, unchanged.
    void sendPassBack(const std::string& url, TextCompletion completion);
    // The completion the formats give fireTracker: one log line per outcome.
    static void trackerCompletion(AdTrackerType kind, const Result<std::string>& result);

    // One endpoint's share of the fan-out: shapes the impression's extension for the endpoint's
    // type, records the bid request and posts it. The answer goes to handleBidResult on
    // `callbackQueue`, then counts down.
    // body holds the encoded form of bidRequest as the previous endpoint was sent it; it is
    // reused while the endpoint's impression extension leaves the bid request unchanged.
    void sendBidRequest(const Endpoint& endpoint, const std::shared_ptr<AuctionCountdown>& countdown,
                        BidRequest& bidRequest, const std::shared_ptr<const Container>& container,
                        std::int64_t inventoryID, const std::string& requestId, const AnonymousID& anonymousId,
                        const CallbackQueue& callbackQueue, const std::shared_ptr<ResponseTable>& responses,
                        std::shared_ptr<const PostBidRequest::Body>& body);
    // Stores the response (or records the failure as a bid error).
    void handleBidResult(Result<ReceivedBidResponse> result, ResponseTable& responses, const Endpoint& endpoint,
                         const Container& container, const std::string& requestId, const std::string& anonymousId);
    // Picks the winner among the endpoints' last bids (taken out of `responses`) and calls the
    // completion once.
    void runAuction(const std::vector<Endpoint>& endpoints, ResponseTable& responses, const Inventory& inventory,
                    const std::vector<DemandSidePlatform>& platforms, const Container& container, std::int64_t adUnitID,
                    const std::string& requestId, const std::string& anonymousId, const BidCompletion& completion);

    static constexpr const char* nativeRefusedMessage = "Could not create native via this function";
    static constexpr const char* blacklistMessage = "Client is in blacklist";
    static constexpr const char* noContainerMessage = "Not found container";
    static constexpr const char* noInventoryMessage = "Couldn't find any inventory in container";
    static constexpr const char* unsupportedFormatMessage = "Inventory not support this format: ";
    static constexpr const char* invalidAdSizeMessage = "Ad size must be finite and within the integer range";
    static constexpr const char* noAdMessage = "No available Ad";

    // The time-out of each bid send from now on, in seconds: it bounds the whole exchange with
    // one endpoint (PostBidRequest). 30 s unless changed.
    void setBidTimeout(double seconds) { bidTimeout_.store(seconds); }
    double bidTimeout() const { return bidTimeout_.load(); }

private:
    AdNetworkApiClient() = default;
    void requestWebAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                      const AdRequest& adRequest, BidCompletion completion);

    std::atomic<double> bidTimeout_{PostBidRequest::defaultTimeout};
};

}  // namespace qor

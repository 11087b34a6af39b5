#include "AdNetwork/AdNetworkApiClient.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <utility>

#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/BatchRecorder.h"
#include "AdNetwork/CappingManager.h"
#include "AdNetwork/EndpointList.h"
#include "AdNetwork/InventoryReaders.h"
#include "AdNetwork/PostBidRequest.h"
#include "AdNetwork/ViewAdRequest.h"
#include "Analytics/Analytics.h"
#include "Analytics/Storage.h"
#include "Core/SDKLog.h"
#include "Networking/Client/Request/PassBackRequest.h"
#include "Networking/Client/Session/Session.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/Dispatch/Thread.h"
#include "Platform/Foundation/JSONEncoder.h"
#include "Platform/Foundation/URLError.h"
#include "Platform/Foundation/UUID.h"
#include "Platform/Support/Console.h"

namespace qor {
namespace {

QORSDKError coreError(std::string message) {
    return QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{std::move(message)}};
}

void fail(const AdNetworkApiClient::BidCompletion& completion, std::string message) {
    if (completion) completion(Result<Bid>::failure(coreError(std::move(message))));
}

std::string newID() { return platform::UUID::make().uuidString(); }

// The text a failed send is recorded with: the failure's description, or "Unknown" without one.
// Every transport failure describes itself with the same text, so an answer refused for its
// length is recorded with the transport's own words instead, which say so.
std::string bidErrorReason(const QORSDKError& error) {
    using Transport = QORSDKError::ResponseErrorReason::URLSessionError;
    if (const auto* response = error.as<QORSDKError::responseFailed>()) {
        if (const auto* transport = response->reason.as<Transport>()) {
            const auto* urlError = transport->error.as<platform::URLError>();
            if (urlError && urlError->code() == platform::URLError::Code::dataLengthExceedsMaximum) {
                return urlError->localizedDescription();
            }
        }
    }
    return error.errorDescription().value_or("Unknown");
}

// The anonymous id the analytics side stored, or a fresh one; whether it was the stored one.
std::pair<std::string, bool> anonymousIDForRequest() {
    auto stored = Analytics::sharedInstance()->storage()->read<std::string>(Storage::Constants::anonymousId);
    if (stored) return {std::move(*stored), true};
    return {newID(), false};
}

void printStoredAnonymousID(const std::string& anonymousId) {
    platform::writeConsoleLine("AdNetwork AnonymousID from Analytics = " + anonymousId + "\n");
}

// The bids that compete: each endpoint's last bid, in endpoint-list order. When an endpoint is
// a direct deal, the first such endpoint decides alone.
std::vector<std::pair<std::int64_t, Bid>> candidates(const std::vector<Endpoint>& endpoints, ResponseTable& responses) {
    std::vector<std::pair<std::int64_t, Bid>> result;
    auto addLastBid = [&](std::int64_t endpointID) {
        // An endpoint listed twice has been taken already.
        if (auto bid = responses.take(endpointID)) result.emplace_back(endpointID, std::move(*bid));
    };
    const auto directDeal =
        std::find_if(endpoints.begin(), endpoints.end(), [](const Endpoint& e) { return e.directDeal; });
    if (directDeal != endpoints.end()) {
        addLastBid(directDeal->id);
        return result;
    }
    for (const auto& endpoint : endpoints) addLastBid(endpoint.id);
    return result;
}

}  // namespace

// The auction runs on the main thread once every endpoint has answered. The last answer is
// mostly handled on the main thread already: the auction then runs there and then, instead of
// waiting for another turn of the main queue. The fan-out holds one count of its own, given
// back once every request is out; reaching zero there queues the auction, so that it never runs
// inside the call that asked for it.
class AuctionCountdown {
public:
    explicit AuctionCountdown(std::size_t answers) : remaining_(answers + 1) {}

    void answered() { countDown(true); }
    // The auction is handed over with the fan-out's own count: no answer can reach zero before.
    void allSent(std::function<void()> auction) {
        auction_ = std::move(auction);
        countDown(false);
    }

private:
    // The auction leaves the countdown before it runs: every answer's handling holds the
    // countdown, and the last of them may be let go of on another thread, where the auction's
    // completion (the host's closure) must not die.
    void countDown(bool mayRunHere) {
        if (remaining_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
        auto auction = std::exchange(auction_, nullptr);
        if (mayRunHere && platform::Thread::isMainThread()) {
            auction();
        } else {
            platform::DispatchQueue::main()->async(std::move(auction));
        }
    }

    std::atomic<std::size_t> remaining_;
    std::function<void()> auction_;
};

// MARK: ResponseTable

void ResponseTable::store(std::int64_t endpointID, std::optional<Bid> lastBid) {
    std::lock_guard lock(mutex_);
    if (lastBid) {
        lastBids_.insert_or_assign(endpointID, std::move(*lastBid));
    } else {
        lastBids_.erase(endpointID);
    }
}

std::optional<Bid> ResponseTable::take(std::int64_t endpointID) {
    std::lock_guard lock(mutex_);
    const auto found = lastBids_.find(endpointID);
    if (found == lastBids_.end()) return std::nullopt;
    std::optional<Bid> bid = std::move(found->second);
    lastBids_.erase(found);
    return bid;
}

// MARK: Building

AdNetworkApiClient& AdNetworkApiClient::shared() {
    static auto* client = new AdNetworkApiClient();
    return *client;
}

BidRequest AdNetworkApiClient::buildBidRequest(const std::optional<JSON>& context) const {
    BidRequest request;
    request.id = newID();
    request.impression = {makeImpression()};
    request.app = ApplicationInfo::fromMainBundle();
    request.device = Device::fromPlatform();
    request.user = User{};
    request.user.gender = User::Gender::other;
    request.source = Source{newID(), std::nullopt, std::nullopt};
    request.ext = BidRequest::Extension{context};
    return request;
}

// MARK: Entries

void AdNetworkApiClient::requestBannerAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                                         const AdRequest& adRequest, BidCompletion completion) {
    requestWebAd(adUnitID, adSize, adType, adRequest, std::move(completion));
}

void AdNetworkApiClient::requestInterstitialAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize,
                                               AdType adType, const AdRequest& adRequest, BidCompletion completion) {
    requestWebAd(adUnitID, adSize, adType, adRequest, std::move(completion));
}

void AdNetworkApiClient::requestMobileFirstViewAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize,
                                                  AdType adType, const AdRequest& adRequest, BidCompletion completion) {
    requestWebAd(adUnitID, adSize, adType, adRequest, std::move(completion));
}

void AdNetworkApiClient::requestWebAd(std::int64_t adUnitID, const std::optional<FrameSize>& adSize, AdType adType,
                                      const AdRequest& adRequest, BidCompletion completion) {
    if (adType == AdType::nativeAds) return fail(completion, nativeRefusedMessage);
    BidRequest bidRequest = buildBidRequest(adRequest.context());
    requestAd(adUnitID, bidRequest, adType, adSize, CallbackQueue::currentMainOrAsync{}, std::move(completion));
}

void AdNetworkApiClient::requestVideoAd(std::int64_t adUnitID, BidRequest& bidRequest, AdType adType,
                                        const std::optional<FrameSize>& adSize, CallbackQueue callbackQueue,
                                        BidCompletion completion) {
    requestAd(adUnitID, bidRequest, adType, adSize, std::move(callbackQueue), std::move(completion));
}

void AdNetworkApiClient::requestNativeAd(std::int64_t adUnitID, const std::vector<Asset::Request>& assets,
                                         const AdRequest& adRequest, BidCompletion completion) {
    BidRequest bidRequest = buildBidRequest(adRequest.context());
    const auto conversionFailure = [&completion] {
        if (!completion) return;
        completion(Result<Bid>::failure(QORSDKError::generalError{
            QORSDKError::GeneralErrorReason::conversionError{"NativeAdRequest", StringEncoding::utf8}}));
    };
    auto native = nativeObjectForAssets(assets);
    if (native.isFailure()) return conversionFailure();  // the same error, whichever encoding failed
    bidRequest.impression.front().native = std::move(native.value());
    try {
        (void)platform::JSONEncoder().encode(bidRequest);
    } catch (...) {
        return conversionFailure();
    }
    requestAd(adUnitID, bidRequest, AdType::nativeAds, FrameSize{468, 60}, CallbackQueue::currentMainOrAsync{},
              std::move(completion));
}

// MARK: The request operation

void AdNetworkApiClient::requestAd(std::int64_t adUnitID, BidRequest& bidRequest, AdType adType,
                                   const std::optional<FrameSize>& adSize, CallbackQueue callbackQueue,
                                   BidCompletion completion) {
    if (CappingManager::sharedInstance()->isBlacklisted()) return fail(completion, blacklistMessage);
    auto current = AdNetwork::sharedInstance()->container();
    if (!current) return fail(completion, noContainerMessage);
    // Shared by every endpoint's answer handling and the auction, not copied into each.
    const auto container = std::make_shared<const Container>(std::move(*current));
    const Inventory* found = findInventory(*container, adUnitID);
    if (!found) return fail(completion, noInventoryMessage);
    Inventory inventory = *found;
    if (!inventoryServes(inventory, adType)) {
        return fail(completion, unsupportedFormatMessage + std::string(rawValue(adType)));
    }
    if (bidRequest.impression.empty()) bidRequest.impression.push_back(makeImpression());

    if (adType != AdType::nativeAds) {
        const auto size = impressionSize(adSize, inventory.metadata.width, inventory.metadata.height);
        if (!size) return fail(completion, invalidAdSizeMessage);
        if (adType == AdType::banner) bidRequest.impression.front().banner = bannerForSize(*size);
        if (adType == AdType::video)
            bidRequest.impression.front().video = videoForMetadata(videoMetadata(inventory.metadata), *size);
    }

    auto platforms = resolvePlatforms(*container, inventory);
    auto endpoints = endpointsForPlatforms(*container, platforms);
    auto [id, stored] = anonymousIDForRequest();
    const auto anonymousId = std::make_shared<const std::string>(std::move(id));
    // Printed before any bid request goes out, so that the line comes first in the console.
    if (stored) printStoredAnonymousID(*anonymousId);
    bidRequest.user.id = *anonymousId;
    const std::string requestId = bidRequest.id;
    const auto responses = std::make_shared<ResponseTable>();
    const auto countdown = std::make_shared<AuctionCountdown>(endpoints.size());

    std::shared_ptr<const PostBidRequest::Body> body;
    for (const auto& endpoint : endpoints) {
        sendBidRequest(endpoint, countdown, bidRequest, container, adUnitID, requestId, anonymousId, callbackQueue,
                       responses, body);
    }
    countdown->allSent([this, endpoints = std::move(endpoints), responses, inventory = std::move(inventory),
                        platforms = std::move(platforms), container, adUnitID, requestId, anonymousId,
                        completion = std::move(completion)] {
        runAuction(endpoints, *responses, inventory, platforms, *container, adUnitID, requestId, *anonymousId,
                   completion);
    });
}

// MARK: Fan-out

void AdNetworkApiClient::sendBidRequest(const Endpoint& endpoint, const std::shared_ptr<AuctionCountdown>& countdown,
                                        BidRequest& bidRequest, const std::shared_ptr<const Container>& container,
                                        std::int64_t inventoryID, const std::string& requestId,
                                        const AnonymousID& anonymousId, const CallbackQueue& callbackQueue,
                                        const std::shared_ptr<ResponseTable>& responses,
                                        std::shared_ptr<const PostBidRequest::Body>& body) {
    if (!bidRequest.impression.empty()) {
        auto ext = extensionForEndpoint(endpoint.type, container->id, inventoryID);
        if (ext != bidRequest.impression.front().ext) {
            bidRequest.impression.front().ext = std::move(ext);
            body.reset();
        }
    }
    // Endpoints of the same kind are sent the same text: it is encoded once for them all.
    if (!body) body = PostBidRequest::Body::make(bidRequest);
    const std::string writeKey = container->configurationID.value_or("");
    BatchRecorder::shared()->addBatch(BatchType::bidRequest, writeKey, requestId, AdData(bidRequest), *anonymousId);

    PostBidRequest request(endpoint.url, body);
    request.timeoutValue = bidTimeout();
    auto deliver = [this, endpoint, container, requestId, anonymousId, countdown,
                    responses](Result<ReceivedBidResponse> result) {
        handleBidResult(std::move(result), *responses, endpoint, *container, requestId, *anonymousId);
        countdown->answered();
    };
    if (request.encodingFailed()) {
        // Never post an empty body: the endpoint fails like any other request failure.
        auto error = QORSDKError::requestFailed{QORSDKError::RequestErrorReason::jsonEncodingFailed{
            AnyError(std::make_exception_ptr(std::runtime_error("The bid request cannot be encoded.")))}};
        callbackQueue.execute([deliver, error] { deliver(Result<ReceivedBidResponse>::failure(error)); });
        return;
    }
    Session::sharedInstance()->send(std::move(request), callbackQueue, std::move(deliver));
}

void AdNetworkApiClient::handleBidResult(Result<ReceivedBidResponse> result, ResponseTable& responses,
                                         const Endpoint& endpoint, const Container& container,
                                         const std::string& requestId, const std::string& anonymousId) {
    const std::string writeKey = container.configurationID.value_or("");
    if (result.isSuccess()) {
        auto& response = result.value();
        responses.store(endpoint.id, std::move(response.lastBid));
        BatchRecorder::shared()->addBatch(BatchType::bidResponse, writeKey, requestId, std::move(response.event),
                                          anonymousId);
    } else {
        AdData::BidError error;
        error.bidRequestId = requestId;
        error.dspId = endpoint.id;
        error.dspName = endpoint.name;
        error.errorCode = "00";
        error.errorReason = bidErrorReason(result.error());
        error.isHeaderBidding = endpoint.isHeaderBidding;
        error.inventoryIds = {};
        BatchRecorder::shared()->addBatch(BatchType::bidError, writeKey, requestId, AdData(error), anonymousId);
    }
}

// MARK: Auction

void AdNetworkApiClient::runAuction(const std::vector<Endpoint>& endpoints, ResponseTable& responses,
                                    const Inventory& inventory, const std::vector<DemandSidePlatform>& platforms,
                                    const Container& container, std::int64_t adUnitID, const std::string& requestId,
                                    const std::string& anonymousId, const BidCompletion& completion) {
    const std::string writeKey = container.configurationID.value_or("");
    auto list = candidates(endpoints, responses);
    std::erase_if(list, [&](const auto& entry) { return !meetsFloor(inventory, entry.second.price); });
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.second.price > b.second.price; });

    if (!list.empty()) {
        auto& [endpointID, bid] = list.front();
        AdData::BidWinner winner;
        winner.id = bid.id;
        winner.impressionId = bid.impressionID;
        winner.price = bid.price;
        winner.adMarkup = bid.adMarkup;
        const auto platform = std::find_if(platforms.begin(), platforms.end(),
                                           [id = endpointID](const DemandSidePlatform& p) { return p.id == id; });
        if (platform != platforms.end()) {
            winner.dspId = platform->id;
            winner.dspName = platform->name;
        }
        winner.isHeaderBidding = false;
        winner.containerId = container.id;
        winner.inventoryId = adUnitID;
        BatchRecorder::shared()->addBatch(BatchType::bidWinner, writeKey, requestId, AdData(std::move(winner)),
                                          anonymousId);
        bid.requestId = requestId;
        if (completion) completion(Result<Bid>::success(std::move(bid)));
        return;
    }
    if (auto passBack = passBackBid(inventory.metadata, requestId)) {
        // Handed over without an auction event.
        if (completion) completion(Result<Bid>::success(std::move(*passBack)));
        return;
    }
    AdData::BidError error;
    error.bidRequestId = requestId;
    error.errorCode = "04";
    error.errorReason = "NO_CONTENT";
    error.isHeaderBidding = false;
    error.inventoryIds = {};
    BatchRecorder::shared()->addBatch(BatchType::bidError, writeKey, requestId, AdData(error), anonymousId);
    fail(completion, noAdMessage);
}

// MARK: Trackers and markup

void AdNetworkApiClient::fireTracker(const std::string& url, TextCompletion completion) {
    const auto encoded = trackerRequestText(url);
    if (!encoded) return;
    Session::sharedInstance()->send(ViewAdRequest(*encoded), CallbackQueue::currentMainOrAsync{},
                                    [completion = std::move(completion)](Result<std::string> result) {
                                        if (completion) completion(result);
                                    });
}

void AdNetworkApiClient::sendPassBack(const std::string& url, TextCompletion completion) {
    auto session = Session::sharedInstance();
    session->send(PassBackRequest(url), CallbackQueue::currentMainOrAsync{},
                  [completion = std::move(completion)](Result<std::string> result) {
                      if (completion) completion(result);
                  });
}

void AdNetworkApiClient::trackerCompletion(AdTrackerType kind, const Result<std::string>& result) {
    if (const auto* error = result.errorIf()) {
        sdkLog("Perform ", name(kind), " Tracker failed: ", platform::consoleText(error->description()));
    } else {
        sdkLog("Perform ", name(kind), " tracker success");
    }
}

}  // namespace qor

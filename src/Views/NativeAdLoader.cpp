#include "Views/NativeAdLoader.h"

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/NativeAssetRequests.h"
#include "Platform/Foundation/WholeLink.h"
#include "Views/DelegateCall.h"
#include "Views/NativeTrackers.h"

namespace qor {

std::shared_ptr<NativeAdLoader> NativeAdLoader::make(std::int64_t adUnitID) {
    return std::make_shared<NativeAdLoader>(platform::ConstructionKey<NativeAdLoader>{}, adUnitID);
}

std::shared_ptr<NativeAdLoaderDelegate> NativeAdLoader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void NativeAdLoader::setDelegate(std::shared_ptr<NativeAdLoaderDelegate> delegate) {
    std::lock_guard lock(mutex_);
    std::swap(delegate_, delegate);
}

void NativeAdLoader::loadNativeAd(const AdRequest& adRequest) {
    const auto assets = assetRequestsForUnit();
    if (!assets) {
        reportFailure(QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{noAssetsMessage}});
        return;
    }
    AdController::sharedInstance();  // the start-up guard
    AdNetworkApiClient::shared().requestNativeAd(
        adUnitID_, *assets, adRequest,
        [self = shared_from_this()](const Result<Bid>& result) { self->handleLoadResult(result); });
}

void NativeAdLoader::performTracker(const std::string& url, const std::string& requestId, AdTrackerType type) const {
    if (!matchesWholeLink(url)) return;
    fireTracker(url, requestId, type);
}

std::optional<std::vector<Asset::Request>> NativeAdLoader::assetRequestsForUnit() const {
    return qor::assetRequestsForUnit(AdNetwork::sharedInstance()->container(), adUnitID_);
}

void NativeAdLoader::handleLoadResult(const Result<Bid>& result) {
    if (const auto* error = result.errorIf()) {
        const auto text = error->errorDescription().value_or(unknownErrorMessage);
        reportFailure(QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{text}});
        return;
    }
    const Bid& bid = result.value();
    const auto response = decodeNativeAdResponse(bid.adMarkup);
    if (const auto* error = response.errorIf()) {
        reportFailure(*error);
        return;
    }
    const auto nativeAd = NativeAd::make(bid.requestId, response.value());
    callDelegate(delegate(), [&](NativeAdLoaderDelegate& target) { target.nativeAdLoader(adUnitID_, nativeAd); });
    fireLoadTrackers(response.value().eventTrackers, bid.requestId,
                     bid.ext ? bid.ext->viewable : std::optional<std::string>());
}

void NativeAdLoader::fireLoadTrackers(const std::optional<std::vector<EventTracker>>& eventTrackers,
                                      const std::optional<std::string>& requestId,
                                      const std::optional<std::string>& viewableURL) {
    if (eventTrackers) {
        // Only the first impression image tracker counts, even when it has no URL.
        for (const auto& tracker : *eventTrackers) {
            if (tracker.eventType != EventTracker::EventType::impression ||
                tracker.method != EventTracker::EventMethod::image) {
                continue;
            }
            if (tracker.url) fireTracker(*tracker.url, requestId, AdTrackerType::rendered);
            break;
        }
    }
    if (viewableURL && matchesWholeLink(*viewableURL)) fireTracker(*viewableURL, requestId, AdTrackerType::viewable);
}

bool NativeAdLoader::matchesWholeLink(std::string_view text) { return platform::isWholeLink(text); }

void NativeAdLoader::reportFailure(const QORSDKError& error) const {
    callDelegate(delegate(), [&](NativeAdLoaderDelegate& target) { target.nativeAdLoader(adUnitID_, error); });
}

}  // namespace qor

#include "Views/VideoAdLoader.h"

#include <string>

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "Views/DelegateCall.h"

namespace qor {

std::shared_ptr<VideoAdLoader> VideoAdLoader::make(std::int64_t adUnitID, std::optional<AdSize> adSize) {
    return std::make_shared<VideoAdLoader>(platform::ConstructionKey<VideoAdLoader>{}, adUnitID, std::move(adSize));
}

std::shared_ptr<VideoAdLoaderDelegate> VideoAdLoader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void VideoAdLoader::setDelegate(std::shared_ptr<VideoAdLoaderDelegate> delegate) {
    std::lock_guard lock(mutex_);
    std::swap(delegate_, delegate);
}

void VideoAdLoader::loadAd(const AdRequest& adRequest) {
    AdController::sharedInstance();  // the start-up guard
    auto& engine = AdNetworkApiClient::shared();
    auto bidRequest = engine.buildBidRequest(adRequest.context());
    std::optional<FrameSize> playerSize;
    if (adSize_) playerSize = FrameSize{adSize_->frame().width, adSize_->frame().height};
    engine.requestVideoAd(adUnitID_, bidRequest, AdType::video, playerSize, CallbackQueue::currentMainOrAsync{},
                          [self = shared_from_this()](const Result<Bid>& result) { self->handleLoadResult(result); });
}

void VideoAdLoader::handleLoadResult(const Result<Bid>& result) {
    callDelegate(delegate(), [&](VideoAdLoaderDelegate& target) {
        const auto fail = [&](const std::string& text) {
            target.videoAdLoader(
                adUnitID_, QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{failurePrefix + text}});
        };
        if (const auto* error = result.errorIf()) {
            fail(error->errorDescription().value_or(unknownErrorMessage));
        } else if (const auto& markup = result.value().adMarkup) {
            target.videoAdLoader(adUnitID_, *markup);
        } else {
            fail(missingTagMessage);
        }
    });
}

}  // namespace qor

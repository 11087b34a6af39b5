#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/Models/OpenRTB/Bid.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Views/AdSize.h>
#include <QORUniversalSDK/Views/VideoAdLoaderDelegate.h>

namespace qor {

// Asks the ad network for one video ad of a unit and hands the winning VAST tag URL to its
// delegate; playing it is the app's business. Fires no trackers. Each load is independent and
// keeps its loader alive until it has reported. The delegate is held strongly.
class QOR_EXPORT VideoAdLoader : public std::enable_shared_from_this<VideoAdLoader> {
public:
    static constexpr const char* failurePrefix = "Fail to requestAd. Error: ";
    static constexpr const char* unknownErrorMessage = "Unknown";
    // A winning bid without markup has no tag to hand over.
    static constexpr const char* missingTagMessage = "Missing VAST tag URL";

    // `adSize`: the player size for the video impression; nothing takes the unit's own size.
    static std::shared_ptr<VideoAdLoader> make(std::int64_t adUnitID, std::optional<AdSize> adSize);
    VideoAdLoader(platform::ConstructionKey<VideoAdLoader>, std::int64_t adUnitID, std::optional<AdSize> adSize)
        : adUnitID_(adUnitID), adSize_(std::move(adSize)) {}

    std::int64_t adUnitID() const { return adUnitID_; }
    const std::optional<AdSize>& adSize() const { return adSize_; }
    std::shared_ptr<VideoAdLoaderDelegate> delegate() const;
    void setDelegate(std::shared_ptr<VideoAdLoaderDelegate> delegate);

    // Returns at once; the outcome reaches the delegate. Stops the process before start-up.
    void loadAd(const AdRequest& adRequest);

    // The engine's answer: every failure becomes a coreError "Fail to requestAd. Error: " and the
    // engine's text; a winning bid's markup goes to the delegate unchanged.
    void handleLoadResult(const Result<Bid>& result);

private:
    const std::int64_t adUnitID_;
    const std::optional<AdSize> adSize_;
    mutable std::mutex mutex_;
    std::shared_ptr<VideoAdLoaderDelegate> delegate_;
};

}  // namespace qor

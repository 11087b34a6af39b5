#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/AdNetwork/AdType.h>
#include <QORUniversalSDK/Models/OpenRTB/Bid.h>
#include <QORUniversalSDK/Models/OpenRTB/NativeAdRequest.h>
#include <QORUniversalSDK/Models/OpenRTB/NativeLink.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Views/NativeAd.h>
#include <QORUniversalSDK/Views/NativeAdLoaderDelegate.h>

namespace qor {

// Loads native ads for one ad unit: asks for the assets the unit's settings name, decodes the
// winning bid's markup into a NativeAd, reports to its delegate, then fires the ad's load
// trackers (its first impression image tracker as "rendered", the bid's viewable URL as
// "viewable"). Each load is independent; a loader can be reused, and a running load keeps its
// loader alive until it has reported. The delegate is held strongly.
class QOR_EXPORT NativeAdLoader : public std::enable_shared_from_this<NativeAdLoader> {
public:
    static constexpr const char* noAssetsMessage = "Couldn't determine assets from metadata";
    static constexpr const char* unknownErrorMessage = "Unknown error";

    static std::shared_ptr<NativeAdLoader> make(std::int64_t adUnitID);
    NativeAdLoader(platform::ConstructionKey<NativeAdLoader>, std::int64_t adUnitID) : adUnitID_(adUnitID) {}

    std::int64_t adUnitID() const { return adUnitID_; }
    std::shared_ptr<NativeAdLoaderDelegate> delegate() const;
    void setDelegate(std::shared_ptr<NativeAdLoaderDelegate> delegate);

    // Returns at once; the outcome reaches the delegate (see NativeAdLoaderDelegate for the
    // thread). A unit without asset settings fails at once with noAssetsMessage. Stops the
    // process before start-up.
    void loadNativeAd(const AdRequest& adRequest);

    // Fires one tracker URL as `type`, with "{{REQUEST_ID}}" replaced; a text that is not one
    // whole link is ignored. Stops the process before start-up.
    void performTracker(const std::string& url, const std::string& requestId, AdTrackerType type) const;

    // The asset requests of this loader's unit from the current container; nothing without a
    // container, an inventory for the unit or its asset settings.
    std::optional<std::vector<Asset::Request>> assetRequestsForUnit() const;

    // The engine's answer: a failure is handed on as a coreError with its text; a winning bid's
    // markup that is absent or not a native response fails as the "NativeAdResponse" conversion
    // error; otherwise the delegate gets the ad and the load trackers go out.
    void handleLoadResult(const Result<Bid>& result);

    static void fireLoadTrackers(const std::optional<std::vector<EventTracker>>& eventTrackers,
                                 const std::optional<std::string>& requestId,
                                 const std::optional<std::string>& viewableURL);
    static bool matchesWholeLink(std::string_view text);

private:
    void reportFailure(const QORSDKError& error) const;

    const std::int64_t adUnitID_;
    mutable std::mutex mutex_;
    std::shared_ptr<NativeAdLoaderDelegate> delegate_;
};

}  // namespace qor

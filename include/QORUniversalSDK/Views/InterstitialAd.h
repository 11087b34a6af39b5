#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/AdNetwork/AdType.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIViewController.h>
#include <QORUniversalSDK/Views/AdSize.h>
#include <QORUniversalSDK/Views/InterstitialFullScreen.h>

namespace qor {

class InterstitialAd;

// Hears what becomes of a presented interstitial. Called on the main thread.
class QOR_EXPORT InterstitialAdDelegate {
public:
    virtual ~InterstitialAdDelegate() = default;
    // The ad could not be presented (nothing loaded yet, no root controller, or the root already
    // presents another controller); the text says why.
    virtual void interstitialAdDidFailToPresentContentWithError(const std::shared_ptr<InterstitialAd>& ad,
                                                                const std::string& message) = 0;
    // The page closed the presented ad.
    virtual void adDidDismissScreentContent(const std::shared_ptr<InterstitialAd>& ad) = 0;
};

// The full-screen ad. A load keeps the winning bid for the whole format and hands back a handle:
// present on any handle shows what the format loaded last. The ad holds its delegate strongly.
class QOR_EXPORT InterstitialAd : public std::enable_shared_from_this<InterstitialAd> {
public:
    // Exactly one of the two is set.
    using CompletionHandler =
        std::function<void(std::shared_ptr<InterstitialAd> ad, const std::optional<FullScreenAdError>& error)>;

    // Loads the unit at the size of its configuration (`adSize` and `showCLoseAd` are not used);
    // the type defaults to banner, the request to a new one. Failures found before the engine
    // runs (no container, no inventory) are an NSError with code 401 and reach the handler at
    // once on the calling thread, as do the engine's own check failures; the rest arrives on the
    // main thread. The process stops before start-up.
    static void loadAd(const std::optional<AdSize>& adSize, std::optional<AdType> adType, std::int64_t adUnitID,
                       std::optional<bool> showCLoseAd, const std::optional<AdRequest>& context,
                       CompletionHandler completionHandler);

    // A handle to present what the format loaded last; loadAd hands one back, too.
    static std::shared_ptr<InterstitialAd> make();
    explicit InterstitialAd(platform::ConstructionKey<InterstitialAd>) {}
    // Shared, never copied: a copy would have no shared owner to present from.
    InterstitialAd(const InterstitialAd&) = delete;
    InterstitialAd& operator=(const InterstitialAd&) = delete;

    const std::shared_ptr<InterstitialAdDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<InterstitialAdDelegate> delegate) { delegate_ = std::move(delegate); }

    // Any thread: on the main queue, presents the loaded ad full-screen from the root controller,
    // or tells the delegate why it cannot.
    void present(std::shared_ptr<platform::UIViewController> rootController);

private:
    std::shared_ptr<InterstitialAdDelegate> delegate_;
};

// Shows the interstitial's loaded ad. On the page's close it runs onCloseAdCompleted first and
// then dismisses itself.
class QOR_EXPORT InterstitialAdView : public FullScreenAdViewController {
public:
    InterstitialAdView() : FullScreenAdViewController(FullScreenFormat::interstitial) {}

    // Dismisses the controller without animation.
    void adCloseTapped() { dismiss(false); }

protected:
    void adViewDidClose() override;
};

}  // namespace qor

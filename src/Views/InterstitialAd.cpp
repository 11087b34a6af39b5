#include "Views/InterstitialAd.h"

#include <utility>

#include "Views/DelegateCall.h"
#include "Views/FullScreenSlots.h"

namespace qor {

void InterstitialAd::loadAd(const std::optional<AdSize>& /*adSize*/, std::optional<AdType> adType,
                            std::int64_t adUnitID, std::optional<bool> /*showCLoseAd*/,
                            const std::optional<AdRequest>& context, CompletionHandler completionHandler) {
    loadFullScreenAd(FullScreenFormat::interstitial, adUnitID, adType, context,
                     [completionHandler = std::move(completionHandler)](const std::optional<FullScreenAdError>& error) {
                         if (!completionHandler) return;
                         if (error) return completionHandler(nullptr, error);
                         completionHandler(make(), std::nullopt);
                     });
}

std::shared_ptr<InterstitialAd> InterstitialAd::make() {
    return std::make_shared<InterstitialAd>(platform::ConstructionKey<InterstitialAd>{});
}

void InterstitialAd::present(std::shared_ptr<platform::UIViewController> rootController) {
    auto ad = shared_from_this();
    presentFullScreenAd(
        FullScreenFormat::interstitial, std::move(rootController),
        [ad] {
            auto controller = std::make_shared<InterstitialAdView>();
            controller->setOnCloseAdCompleted(
                [ad] { callDelegate(ad->delegate(), &InterstitialAdDelegate::adDidDismissScreentContent, ad); });
            return controller;
        },
        [ad](const std::string& message) {
            callDelegate(ad->delegate(), &InterstitialAdDelegate::interstitialAdDidFailToPresentContentWithError, ad,
                         message);
        });
}

void InterstitialAdView::adViewDidClose() {
    runOnCloseAdCompleted();
    dismiss(false);
}

}  // namespace qor

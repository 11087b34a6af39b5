#include "Views/MobileFirstViewAd.h"

#include <utility>

#include "Platform/Support/Console.h"
#include "Views/DelegateCall.h"
#include "Views/FullScreenSlots.h"

namespace qor {

void MobileFirstViewAd::loadAd(const std::optional<AdSize>& /*adSize*/, std::optional<AdType> adType,
                               std::int64_t adUnitID, std::optional<bool> /*showCLoseAd*/,
                               const std::optional<AdRequest>& context, CompletionHandler completionHandler) {
    loadFullScreenAd(FullScreenFormat::mobileFirstView, adUnitID, adType, context,
                     [completionHandler = std::move(completionHandler)](const std::optional<FullScreenAdError>& error) {
                         if (!completionHandler) return;
                         if (error) return completionHandler(nullptr, error);
                         completionHandler(make(), std::nullopt);
                     });
}

std::shared_ptr<MobileFirstViewAd> MobileFirstViewAd::make() {
    return std::make_shared<MobileFirstViewAd>(platform::ConstructionKey<MobileFirstViewAd>{});
}

void MobileFirstViewAd::present(std::shared_ptr<platform::UIViewController> rootController) {
    auto ad = shared_from_this();
    presentFullScreenAd(
        FullScreenFormat::mobileFirstView, std::move(rootController),
        [ad] {
            auto controller = std::make_shared<MobilefirstviewAdView>();
            controller->setOnCloseAdCompleted(
                [ad] { callDelegate(ad->delegate(), &MobileFirstViewAdDelegate::adDidDismissScreentContent, ad); });
            return controller;
        },
        [ad](const std::string& message) {
            callDelegate(ad->delegate(), &MobileFirstViewAdDelegate::mobilefirstviewAdDidFailToPresentContentWithError,
                         ad, message);
        });
}

// Plain console lines, without the SDK's log prefix.
void MobilefirstviewAdView::adViewDidFailLoad(const std::string& message) {
    // The message may be a bid server's own text.
    platform::writeConsoleLine("Ad did fail to load with error: " + platform::consoleText(message) + "\n");
}

void MobilefirstviewAdView::adViewDidLoad() { platform::writeConsoleLine("Ad Loaded\n"); }

void MobilefirstviewAdView::adViewDidClose() {
    // Keeps the controller alive through its own dismissal.
    const auto self = shared_from_this();
    dismiss(false);
    runOnCloseAdCompleted();
}

}  // namespace qor

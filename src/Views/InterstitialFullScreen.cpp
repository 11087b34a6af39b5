#include "Views/InterstitialFullScreen.h"

#include <mutex>
#include <utility>

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/InventoryReaders.h"
#include "Core/SDKLog.h"
#include "Platform/Dispatch/DispatchQueue.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIScreen.h"
#include "Views/AdViewMarkup.h"
#include "Views/FullScreenSlots.h"

namespace qor {
namespace {

// Written on the main thread by successful loads; read when presenting. Guarded all the same,
// since an app may load from another thread.
struct SlotStore {
    std::mutex mutex;
    FullScreenSlots interstitial;
    FullScreenSlots mobileFirstView;

    FullScreenSlots& of(FullScreenFormat format) {
        return format == FullScreenFormat::interstitial ? interstitial : mobileFirstView;
    }
};

SlotStore& slotStore() {
    static auto* store = new SlotStore;
    return *store;
}

FullScreenAdError loadCheckError(const char* message) {
    sdkLog(message);
    return FullScreenAdError(
        platform::NSError("", 401, platform::AnyDictionary{{platform::NSLocalizedDescriptionKey, message}}));
}

FullScreenAdError coreError(std::string message) {
    return FullScreenAdError(
        QORSDKError(QORSDKError::generalError{QORSDKError::GeneralErrorReason::coreError{std::move(message)}}));
}

// Keeps the bid with its size, tells the app, then fires the viewable tracker of the shown ad.
void keepLoadedAd(FullScreenFormat format, const Bid& bid, const AdSize& size,
                  const FullScreenLoadCompletion& completion) {
    storeFullScreenSlots(format, bid, size);
    if (completion) completion(std::nullopt);
    fireViewableTracker(bid);
}

void handleFullScreenResult(FullScreenFormat format, const Result<Bid>& result, const AdSize& size,
                            const FullScreenLoadCompletion& completion) {
    if (const auto* error = result.errorIf()) {
        if (completion) completion(FullScreenAdError(*error));
        return;
    }
    const Bid& bid = result.value();
    // Without markup there is nothing to present: failing keeps the slots on the last real ad.
    if (!bid.adMarkup) {
        if (completion) completion(coreError(AdView::missingMarkupMessage));
        return;
    }
    const auto url = openableMarkupURL(bid.adMarkup);
    if (!url) return keepLoadedAd(format, bid, size, completion);
    AdController::sharedInstance();
    AdNetworkApiClient::shared().sendPassBack(url->absoluteString(),
                                              [format, bid, size, completion](const Result<std::string>& fetched) {
                                                  if (const auto* error = fetched.errorIf()) {
                                                      if (completion) completion(FullScreenAdError(*error));
                                                      return;
                                                  }
                                                  Bid withMarkup = bid;
                                                  withMarkup.adMarkup = fetched.value();
                                                  keepLoadedAd(format, withMarkup, size, completion);
                                              });
}

}  // namespace

std::string FullScreenAdError::localizedDescription() const {
    if (const auto* error = nsError()) return error->localizedDescription();
    return sdkError()->errorDescription().value_or("Unknown");
}

FullScreenSlots fullScreenSlots(FullScreenFormat format) {
    auto& store = slotStore();
    std::lock_guard lock(store.mutex);
    return store.of(format);
}

void storeFullScreenSlots(FullScreenFormat format, Bid bid, AdSize size) {
    auto& store = slotStore();
    std::lock_guard lock(store.mutex);
    store.of(format) = FullScreenSlots{std::move(bid), std::move(size)};
}

void clearFullScreenSlots(FullScreenFormat format) {
    auto& store = slotStore();
    std::lock_guard lock(store.mutex);
    store.of(format) = FullScreenSlots{};
}

void loadFullScreenAd(FullScreenFormat format, std::int64_t adUnitID, std::optional<AdType> adType,
                      const std::optional<AdRequest>& context, FullScreenLoadCompletion completion) {
    const auto container = AdNetwork::sharedInstance()->container();
    if (!container) {
        if (completion) completion(loadCheckError(AdNetworkApiClient::noContainerMessage));
        return;
    }
    const auto* inventory = findInventory(*container, adUnitID);
    if (!inventory) {
        if (completion) completion(loadCheckError(AdNetworkApiClient::noInventoryMessage));
        return;
    }
    AdController::sharedInstance();
    const auto size = AdSize::forCustom(static_cast<double>(inventory->metadata.width),
                                        static_cast<double>(inventory->metadata.height));
    const AdRequest request = context.value_or(AdRequest());
    const auto frame = size.frame();
    auto onResult = [format, size, completion = std::move(completion)](const Result<Bid>& result) {
        handleFullScreenResult(format, result, size, completion);
    };
    auto& engine = AdNetworkApiClient::shared();
    const FrameSize frameSize{frame.width, frame.height};
    const AdType type = adType.value_or(AdType::banner);
    if (format == FullScreenFormat::interstitial) {
        engine.requestInterstitialAd(adUnitID, frameSize, type, request, std::move(onResult));
    } else {
        engine.requestMobileFirstViewAd(adUnitID, frameSize, type, request, std::move(onResult));
    }
}

// The hosted banner view holds its delegate strongly; this one knows the controller weakly, so
// the controller, its view and the banner view form no cycle.
class FullScreenAdViewController::HostedAdDelegate : public AdViewDelegate {
public:
    explicit HostedAdDelegate(std::weak_ptr<FullScreenAdViewController> controller)
        : controller_(std::move(controller)) {}

    void adViewDidFailLoad(const std::shared_ptr<AdView>& /*adView*/, const std::string& message) override {
        if (const auto controller = controller_.lock()) controller->adViewDidFailLoad(message);
    }
    void adView(const std::shared_ptr<AdView>& /*adView*/) override {
        if (const auto controller = controller_.lock()) controller->adViewDidLoad();
    }
    void adViewDidClickAd(const std::shared_ptr<AdView>& /*adView*/, const platform::URL& url) override {
        if (const auto application = platform::UIApplication::shared()) application->open(url);
    }
    void adViewDidSuccessCLoseAd(const std::shared_ptr<AdView>& /*adView*/, const std::string& /*message*/) override {
        if (const auto controller = controller_.lock()) controller->adViewDidClose();
    }

private:
    std::weak_ptr<FullScreenAdViewController> controller_;
};

void FullScreenAdViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    const auto root = view();
    root->setBackgroundColor(platform::UIColor::clear());

    const auto slots = fullScreenSlots(format_);
    adView_ = AdView::make();
    adView_->setAdSize(slots.size);
    adView_->setAdType(AdType::banner);
    adView_->setDelegate(
        std::make_shared<HostedAdDelegate>(std::static_pointer_cast<FullScreenAdViewController>(shared_from_this())));
    adView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(adView_);

    const auto bounds = platform::UIScreen::main()->bounds();
    platform::NSLayoutConstraint::activate({
        adView_->heightAnchor().constraintEqualToConstant(bounds.height()),
        adView_->widthAnchor().constraintEqualToConstant(bounds.width()),
        adView_->topAnchor().constraintEqualTo(root->topAnchor()),
        adView_->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
    });
    if (!slots.bid) return;  // presentation checks first; a controller made by hand shows an empty page
    const auto page =
        adView_->htmlForAdMarkup(slots.bid->adMarkup.value_or(""), slots.bid->requestId.value_or(""), slots.bid->price);
    adView_->webView()->loadHTMLString(page.value_or(""), std::nullopt);
}

void FullScreenAdViewController::runOnCloseAdCompleted() const {
    if (onCloseAdCompleted_) onCloseAdCompleted_();
}

void presentFullScreenAd(FullScreenFormat format, std::shared_ptr<platform::UIViewController> rootController,
                         std::function<std::shared_ptr<FullScreenAdViewController>()> makeController,
                         std::function<void(const std::string&)> notPresented) {
    platform::DispatchQueue::main()->async([format, rootController = std::move(rootController),
                                            makeController = std::move(makeController),
                                            notPresented = std::move(notPresented)] {
        const auto slots = fullScreenSlots(format);
        if (!slots.bid || !slots.size) return notPresented(fullScreenNotLoadedMessage);
        if (!rootController) return notPresented(fullScreenNoRootMessage);
        const auto controller = makeController();
        controller->setModalPresentationStyle(platform::UIModalPresentationStyle::fullScreen);
        if (!rootController->present(controller, false)) notPresented(fullScreenRootBusyMessage);
    });
}

}  // namespace qor

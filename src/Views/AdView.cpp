#include "Views/AdView.h"

#include <cmath>
#include <utility>

#include "AdNetwork/AdController.h"
#include "AdNetwork/AdNetwork.h"
#include "AdNetwork/AdNetworkApiClient.h"
#include "AdNetwork/InventoryReaders.h"
#include "Core/SDKLog.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/JSONSerialization.h"
#include "Platform/Foundation/NumberFormatter.h"
#include "Platform/Support/ASCIIText.h"
#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIScreen.h"
#include "Views/AdViewMarkup.h"
#include "Views/DelegateCall.h"

namespace qor {

using platform::NSLayoutConstraint;

namespace {

// The unit's inventory in the shared ad network's container; the process stops before start-up.
std::optional<Inventory> sharedInventory(std::int64_t unitID) {
    const auto container = AdNetwork::sharedInstance()->container();
    if (!container) return std::nullopt;
    const auto* inventory = findInventory(*container, unitID);
    if (!inventory) return std::nullopt;
    return *inventory;
}

std::shared_ptr<platform::UIImage> closeImage() {
    const auto path = platform::Bundle::frameworkBundle()->urlForResource("close", "png");
    return platform::UIImage::withContentsOfFile(path ? path->string() : std::string());
}

}  // namespace

void AdViewDelegate::adViewDidClickAd(const std::shared_ptr<AdView>& /*adView*/, const platform::URL& url) {
    if (const auto application = platform::UIApplication::shared()) application->open(url);
}

// Registered with the web view's content controller, which holds its handlers strongly; it knows
// the view weakly so that the view, its web view and this handler form no cycle.
class AdView::BridgeHandler : public platform::WKScriptMessageHandler {
public:
    explicit BridgeHandler(std::weak_ptr<AdView> view) : view_(std::move(view)) {}
    void didReceiveScriptMessage(const std::shared_ptr<platform::WKUserContentController>& /*controller*/,
                                 const platform::WKScriptMessage& message) override {
        if (const auto view = view_.lock()) view->didReceiveScriptMessage(message);
    }

private:
    std::weak_ptr<AdView> view_;
};

std::shared_ptr<AdView> AdView::make(platform::CGRect frame) {
    auto view = std::make_shared<AdView>(platform::ConstructionKey<AdView>(), frame);
    view->setup();
    return view;
}

std::shared_ptr<AdView> AdView::make(std::shared_ptr<NSLayoutConstraint> constrainView) {
    auto view = make(platform::CGRect{});
    view->constraintView_ = std::move(constrainView);
    return view;
}

AdView::AdView(platform::ConstructionKey<AdView>, platform::CGRect frame) : UIView(frame) {}

void AdView::setup() {
    setBackgroundColor(platform::UIColor::clear());

    auto configuration = std::make_shared<platform::WKWebViewConfiguration>();
    configuration->defaultWebpagePreferences().preferredContentMode =
        platform::WKWebpagePreferences::ContentMode::mobile;
    auto contentController = std::make_shared<platform::WKUserContentController>();
    contentController->add(std::make_shared<BridgeHandler>(self()), bridgeHandlerName);
    configuration->setUserContentController(std::move(contentController));

    webView_ = std::make_shared<platform::WKWebView>(platform::CGRect{}, std::move(configuration));
    webView_->setNavigationDelegate(self());
    webView_->setUIDelegate(self());
    webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    webView_->setBackgroundColor(platform::UIColor::clear());
    webView_->scrollView()->setScrollEnabled(false);
    webView_->setOpaque(false);
    webView_->scrollView()->setContentInsetAdjustmentBehavior(
        platform::UIScrollViewContentInsetAdjustmentBehavior::never);
    addSubview(webView_);

    closeButton_ = std::make_shared<platform::UIButton>(platform::UIButtonType::custom);
    closeButton_->setTintColor(platform::UIColor::blue());
    closeButton_->setImage(closeImage(), platform::UIControlState::normal);
    closeButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
    closeButton_->setBackgroundColor(platform::UIColor::clear());
    closeButton_->setHidden(true);
    closeButton_->setAlpha(0);
    closeButton_->addTarget(self(), &AdView::adCloseTapped, platform::UIControlEvents::touchUpInside);
    webView_->addSubview(closeButton_);
    bringSubviewToFront(closeButton_);

    indicator_ = std::make_shared<platform::UIActivityIndicatorView>();
    indicator_->setTranslatesAutoresizingMaskIntoConstraints(false);
    indicator_->setHidden(true);
    indicator_->setColor(platform::UIColor::white());
    addSubview(indicator_);

    labelError_ = std::make_shared<platform::UILabel>();
    labelError_->setText("");
    labelError_->setTextAlignment(platform::NSTextAlignment::center);
    labelError_->setFont(platform::UIFont::systemFont(12));
    labelError_->setNumberOfLines(2);
    labelError_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(labelError_);

    NSLayoutConstraint::activate({
        indicator_->centerXAnchor().constraintEqualTo(centerXAnchor()),
        indicator_->centerYAnchor().constraintEqualTo(centerYAnchor()),
        labelError_->centerXAnchor().constraintEqualTo(centerXAnchor()),
        labelError_->centerYAnchor().constraintEqualTo(centerYAnchor()),
    });
}

std::optional<std::string> AdView::type() const {
    if (!adType_) return std::nullopt;
    return std::string(rawValue(*adType_));
}

void AdView::setType(const std::optional<std::string>& type) {
    if (type) adType_ = adTypeFromRawValue(*type);
}

std::optional<std::string> AdView::size() const {
    if (!adSize_) return std::nullopt;
    return adSize_->name();
}

void AdView::setSize(const std::optional<std::string>& size) {
    if (!size) return;
    try {
        adSize_ = AdSize(*size);
    } catch (const QORSDKError& error) {
        sdkLog(error);
    }
}

platform::CGSize AdView::intrinsicContentSize() const {
    if (!adSize_) return {320, 50};
    const auto frame = adSize_->frame();
    const double screenWidth = platform::UIScreen::main()->bounds().width();
    // The layout rules are made once: a read of the size must not pile up copies of them.
    if (!contentConstraintsActive_) {
        contentConstraintsActive_ = true;
        auto& view = const_cast<AdView&>(*this);
        NSLayoutConstraint::activate({
            webView_->trailingAnchor().constraintEqualTo(view.trailingAnchor()),
            webView_->bottomAnchor().constraintEqualTo(view.bottomAnchor(), 0),
            webView_->leadingAnchor().constraintEqualTo(view.leadingAnchor()),
            webView_->topAnchor().constraintEqualTo(view.topAnchor(), 0),
        });
        NSLayoutConstraint::activate({
            closeButton_->widthAnchor().constraintEqualToConstant(50),
            closeButton_->heightAnchor().constraintEqualToConstant(50),
            closeButton_->topAnchor().constraintEqualTo(webView_->topAnchor(), -5),
            closeButton_->leadingAnchor().constraintEqualTo(webView_->leadingAnchor(), -5),
        });
    }
    if (screenWidth < frame.width) return {screenWidth, std::round(screenWidth / (frame.width / frame.height))};
    return {frame.width, frame.height};
}

void AdView::adaptiveSize(double width) {
    const auto inventory = sharedInventory(unitID_);
    if (!inventory) return;
    const auto height = adaptiveHeight(inventory->metadata, width);
    if (!height) return;
    adSize_ = AdSize::forCustom(width, *height);
    invalidateIntrinsicContentSize();
}

void AdView::loadAd(const AdRequest& request) {
    if (!adType_) return callDelegate(delegate_, &AdViewDelegate::adViewDidFailLoad, self(), missingTypeMessage);
    if (!adSize_ || unitID_ < 1) {
        return callDelegate(delegate_, &AdViewDelegate::adViewDidFailLoad, self(), missingSizeMessage);
    }
    AdController::sharedInstance();
    const auto frame = adSize_->frame();
    AdNetworkApiClient::shared().requestBannerAd(
        unitID_, FrameSize{frame.width, frame.height}, *adType_, request,
        [weakView = std::weak_ptr<AdView>(self()), adSize = adSize_, adType = *adType_](const Result<Bid>& result) {
            if (const auto view = weakView.lock()) view->handleLoadResult(result, adSize, adType);
        });
}

void AdView::failLoad(const std::string& message, AdType adType) {
    const auto keepAlive = self();  // the delegate may let go of the view
    callDelegate(delegate_, &AdViewDelegate::adViewDidFailLoad, keepAlive, message);
    indicator_->stopAnimating();
    indicator_->setHidden(true);
    labelError_->setText("Failed to load " + std::string(rawValue(adType)) + " ad:\nReason: " + message);
    labelError_->setHidden(false);
}

void AdView::handleLoadResult(const Result<Bid>& result, const std::optional<AdSize>& /*adSize*/, AdType adType) {
    if (const auto* error = result.errorIf()) return failLoad(error->errorDescription().value_or("Unknown"), adType);
    const Bid& bid = result.value();
    // A bid without markup has nothing to show: failing keeps an empty page from passing as an ad.
    if (!bid.adMarkup) return failLoad(missingMarkupMessage, adType);
    if (const auto url = openableMarkupURL(bid.adMarkup)) {
        AdController::sharedInstance();
        AdNetworkApiClient::shared().sendPassBack(url->absoluteString(), [weakView = std::weak_ptr<AdView>(self()), bid,
                                                                          adType](const Result<std::string>& fetched) {
            if (const auto view = weakView.lock()) view->renderFetchedMarkup(fetched, bid, adType);
        });
        return;
    }
    if (render(*bid.adMarkup, bid)) fireViewableTracker(bid);
}

void AdView::renderFetchedMarkup(const Result<std::string>& result, const Bid& bid, AdType adType) {
    if (const auto* error = result.errorIf()) return failLoad(error->errorDescription().value_or("Unknown"), adType);
    // The tracker counts a shown ad, so it waits for the fetched page.
    if (render(result.value(), bid)) fireViewableTracker(bid);
}

bool AdView::render(const std::string& markup, const Bid& bid) {
    const auto keepAlive = self();  // the delegate may let go of the view
    const auto page = htmlForAdMarkup(markup, bid.requestId.value_or(""), bid.price);
    if (!page) {
        callDelegate(delegate_, &AdViewDelegate::adViewDidFailLoad, keepAlive, invalidTypeMessage);
        return false;
    }
    labelError_->setHidden(true);
    webView_->loadHTMLString(*page, std::nullopt);
    callDelegate(delegate_, &AdViewDelegate::adView, keepAlive);
    revealCloseButton();
    return true;
}

std::optional<std::string> AdView::htmlForAdMarkup(const std::string& markup, const std::string& bidRequestId,
                                                   float price) const {
    if (adType_ != AdType::banner) return std::nullopt;
    return adPageHTML(substituteAdMarkup(markup, bidRequestId, price));
}

void AdView::loadAdIntoWebView(const std::string& adMarkup, double /*width*/, const std::string& bidRequestId,
                               float price) {
    webView_->loadHTMLString(htmlForAdMarkup(adMarkup, bidRequestId, price).value_or(""), std::nullopt);
}

void AdView::revealCloseButton() {
    const auto inventory = sharedInventory(unitID_);
    if (!inventory) return;
    const auto fadeSeconds = closeButtonFadeSeconds(inventory->metadata);
    if (!fadeSeconds) return;
    closeButton_->setHidden(false);
    UIView::animate(static_cast<double>(*fadeSeconds), [button = closeButton_] { button->setAlpha(1); });
}

void AdView::adCloseTapped() { callDelegate(delegate_, &AdViewDelegate::adViewDidSuccessCLoseAd, self(), "success"); }

void AdView::didStartProvisionalNavigation(const std::shared_ptr<platform::WKWebView>& /*webView*/,
                                           const std::shared_ptr<platform::WKNavigation>& /*navigation*/) {
    if (!indicator_->isAnimating()) indicator_->startAnimating();
}

void AdView::didFinishNavigation(const std::shared_ptr<platform::WKWebView>& webView,
                                 const std::shared_ptr<platform::WKNavigation>& /*navigation*/) {
    indicator_->stopAnimating();
    indicator_->setHidden(true);
    webView->setHidden(false);
}

std::shared_ptr<platform::WKWebView> AdView::createWebView(
    const std::shared_ptr<platform::WKWebView>& /*webView*/,
    const std::shared_ptr<platform::WKWebViewConfiguration>& /*configuration*/,
    const platform::WKNavigationAction& action, const platform::WKWindowFeatures& /*features*/) {
    if (action.targetFrame && action.targetFrame->isMainFrame) return nullptr;
    if (const auto& url = action.request.url())
        callDelegate(delegate_, &AdViewDelegate::adViewDidClickAd, self(), *url);
    return nullptr;
}

void AdView::didReceiveScriptMessage(const platform::WKScriptMessage& message) {
    if (message.name != bridgeHandlerName) return;
    const auto* body = message.body.tryString();
    if (!body) return;
    platform::Any parsed;
    try {
        parsed = platform::JSONSerialization::jsonObject(*body, platform::JSONReadingOptions{true});
    } catch (const platform::JSONSerializationError& error) {
        sdkLog("Error:", error.localizedDescription());
        return;
    }
    const auto* object = parsed.tryDictionary();
    if (!object) return;
    const auto* actionValue = object->find("action");
    const std::string* action = actionValue ? actionValue->tryString() : nullptr;
    if (action && *action == "close_ad") {
        auto keepAlive = self();  // leaving the superview may drop the last owner
        removeFromSuperview();
        callDelegate(delegate_, &AdViewDelegate::adViewDidSuccessCLoseAd, keepAlive, "success");
        return;
    }
    if (!action || *action != "collapse") return collapseTo(0);

    std::string heightText;
    if (const auto* data = object->find("data"); data && data->tryDictionary()) {
        bool allStrings = true;
        for (const auto& entry : *data->tryDictionary()) allStrings = allStrings && entry.second.isString();
        if (const auto* height = data->tryDictionary()->find("height"); allStrings && height)
            heightText = height->asString();
    }
    const auto height = platform::NumberFormatter().number(heightText);
    if (constraintView_ && constraintView_->constant() > 0) paddingBottom_ = constraintView_->constant();
    const double screenHeight = platform::UIScreen::main()->bounds().height();
    collapseTo(screenHeight - height.value_or(0) - paddingBottom_.value_or(0));
}

void AdView::collapseTo(double target) {
    webView_->setAlpha(0);
    UIView::animate(
        0.3, 0, 0,
        [this, target] {
            if (constraintView_) constraintView_->setConstant(target);
            layoutIfNeeded();
            setNeedsLayout();
        },
        [webView = webView_](bool) { UIView::animate(0.1, [webView] { webView->setAlpha(1); }); });
}

std::optional<platform::URL> openableMarkupURL(const std::optional<std::string>& markup) {
    if (!markup) return std::nullopt;
    auto url = platform::URL::make(*markup);
    const auto application = platform::UIApplication::shared();
    if (!url || !application || !application->canOpenURL(*url)) return std::nullopt;
    return url;
}

void fireViewableTracker(const Bid& bid) {
    if (!bid.ext || !bid.ext->viewable || !bid.requestId) return;
    AdController::sharedInstance();
    const auto url = platform::replacingOccurrences(*bid.ext->viewable, "{{REQUEST_ID}}", *bid.requestId);
    AdNetworkApiClient::shared().fireTracker(url, [](const Result<std::string>& result) {
        AdNetworkApiClient::trackerCompletion(AdTrackerType::viewable, result);
    });
}

}  // namespace qor

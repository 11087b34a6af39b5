#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/AdNetwork/AdType.h>
#include <QORUniversalSDK/Models/OpenRTB/Bid.h>
#include <QORUniversalSDK/Networking/Client/Result.h>
#include <QORUniversalSDK/Platform/Support/ConstructionKey.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/NSLayoutConstraint.h>
#include <QORUniversalSDK/Platform/UIKit/UIActivityIndicatorView.h>
#include <QORUniversalSDK/Platform/UIKit/UIButton.h>
#include <QORUniversalSDK/Platform/UIKit/UILabel.h>
#include <QORUniversalSDK/Platform/WebKit/WKWebView.h>
#include <QORUniversalSDK/Views/AdSize.h>
#include <QORUniversalSDK/Views/AdViewDelegate.h>

namespace qor {

// The banner view an app places in its layout. One loadAd asks the ad network for a winning bid
// for the view's unit, wraps its markup in the ad page, loads that into the view's web view,
// shows the close button when the unit asks for one, fires the viewable tracker and tells the
// delegate.
//
// The page talks to the SDK by posting a JSON text to the "bridge" script message handler:
// `window.webkit.messageHandlers.bridge.postMessage('{"action":"close_ad"}')`. An object posted
// instead, a text that is not a JSON object, or a post to another handler does nothing (a text
// that is not JSON is logged). The messages:
// - {"action":"close_ad"}: the view leaves its superview and the delegate's
//   adViewDidSuccessCLoseAd gets "success" (a full-screen ad is then dismissed);
// - {"action":"collapse","data":{"height":"120"}}: `constraintView` moves so that only that
//   height (a text; data holding anything but texts counts as 0) stays visible above the
//   bottom of the screen;
// - any other object (another action, or none): the view expands again (`constraintView` to 0).
//
// A UI object: make it, call it and release it on the main thread; every delegate call and
// every web-view callback runs there. The view holds its delegate strongly. Nothing else holds
// the view: its web view, script handler and a running load know it weakly, so a view that the
// app releases is destroyed, and the result of a load still running is then dropped.
class QOR_EXPORT AdView : public platform::UIView,
                          public platform::WKNavigationDelegate,
                          public platform::WKUIDelegate {
public:
    // A set-up view: web view, close button, indicator and error label in place.
    static std::shared_ptr<AdView> make(platform::CGRect frame = {});
    // The same with a zero frame; the rule is what "collapse" changes.
    static std::shared_ptr<AdView> make(std::shared_ptr<platform::NSLayoutConstraint> constrainView);
    AdView(platform::ConstructionKey<AdView>, platform::CGRect frame);

    const std::shared_ptr<AdViewDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<AdViewDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::optional<AdSize>& adSize() const { return adSize_; }
    void setAdSize(std::optional<AdSize> size) { adSize_ = std::move(size); }
    std::optional<AdType> adType() const { return adType_; }
    void setAdType(std::optional<AdType> type) { adType_ = type; }
    const std::shared_ptr<platform::NSLayoutConstraint>& constraintView() const { return constraintView_; }
    void setConstraintView(std::shared_ptr<platform::NSLayoutConstraint> constraint) {
        constraintView_ = std::move(constraint);
    }
    std::int64_t unitID() const { return unitID_; }
    void setUnitID(std::int64_t unitID) { unitID_ = unitID; }

    // The format's text ("banner", "video", "native-ads"). Setting another text unsets the
    // format; setting nothing changes nothing.
    std::optional<std::string> type() const;
    void setType(const std::optional<std::string>& type);
    // The size's name. A text that is no size is reported on the debug print and changes
    // nothing; setting nothing changes nothing.
    std::optional<std::string> size() const;
    void setSize(const std::optional<std::string>& size);

    // 320 by 50 without a size; else the size, scaled down to the screen's width when wider.
    // The first read with a size lays the web view over the whole view and the close button
    // over its top-left corner.
    platform::CGSize intrinsicContentSize() const override;
    void prepareForInterfaceBuilder() override { invalidateIntrinsicContentSize(); }

    // For a responsive unit: a custom size of this width, keeping the unit's proportions.
    // Stops the process before start-up.
    void adaptiveSize(double width);

    // Starts one load. Checks the format, then the size and unit id (failing through the
    // delegate), then start-up (the process stops before it). Loads do not exclude each other.
    void loadAd(const AdRequest& request);

    // What a load came to; the engine calls it once per load, on the main thread.
    void handleLoadResult(const Result<Bid>& result, const std::optional<AdSize>& adSize, AdType adType);

    // The ad page for a banner view; nothing for any other format.
    std::optional<std::string> htmlForAdMarkup(const std::string& markup, const std::string& bidRequestId,
                                               float price) const;
    // Loads the page (the empty text when there is none) without a base URL. `width` is unused.
    void loadAdIntoWebView(const std::string& adMarkup, double width, const std::string& bidRequestId, float price);

    // The close button's action: tells the delegate "success"; the view stays.
    void adCloseTapped();

    // The view's parts, for hosts and tests to read.
    const std::shared_ptr<platform::WKWebView>& webView() const { return webView_; }
    const std::shared_ptr<platform::UIActivityIndicatorView>& indicator() const { return indicator_; }
    const std::shared_ptr<platform::UILabel>& labelError() const { return labelError_; }
    const std::shared_ptr<platform::UIButton>& closeButton() const { return closeButton_; }
    std::optional<double> paddingBottom() const { return paddingBottom_; }

    // WKNavigationDelegate: the indicator runs while a page loads.
    void didStartProvisionalNavigation(const std::shared_ptr<platform::WKWebView>& webView,
                                       const std::shared_ptr<platform::WKNavigation>& navigation) override;
    void didFinishNavigation(const std::shared_ptr<platform::WKWebView>& webView,
                             const std::shared_ptr<platform::WKNavigation>& navigation) override;
    // WKUIDelegate: a link for a new window (or another frame) goes to the delegate as a click;
    // no window is ever opened.
    std::shared_ptr<platform::WKWebView> createWebView(
        const std::shared_ptr<platform::WKWebView>& webView,
        const std::shared_ptr<platform::WKWebViewConfiguration>& configuration,
        const platform::WKNavigationAction& action, const platform::WKWindowFeatures& features) override;
    // The page's "bridge" messages (see above).
    void didReceiveScriptMessage(const platform::WKScriptMessage& message);

    static constexpr const char* bridgeHandlerName = "bridge";
    static constexpr const char* missingTypeMessage = "Missing Ad Type";
    static constexpr const char* missingSizeMessage = "Missing Ad Size or Unit ID";
    static constexpr const char* invalidTypeMessage = "Invalid Ad Type for creating AdMarkup";
    static constexpr const char* missingMarkupMessage = "The winning bid has no ad markup";

private:
    class BridgeHandler;

    std::shared_ptr<AdView> self() { return std::static_pointer_cast<AdView>(shared_from_this()); }
    void setup();
    void revealCloseButton();
    void failLoad(const std::string& message, AdType adType);
    // Wraps and shows the markup; false (the delegate told) when the view's format has no page.
    bool render(const std::string& markup, const Bid& bid);
    void renderFetchedMarkup(const Result<std::string>& result, const Bid& bid, AdType adType);
    void collapseTo(double target);

    std::shared_ptr<AdViewDelegate> delegate_;
    std::optional<AdSize> adSize_;
    std::optional<AdType> adType_;
    std::shared_ptr<platform::WKWebView> webView_;
    std::shared_ptr<platform::UIActivityIndicatorView> indicator_;
    std::shared_ptr<platform::UILabel> labelError_;
    std::shared_ptr<platform::UIButton> closeButton_;
    std::shared_ptr<platform::NSLayoutConstraint> constraintView_;
    std::optional<double> paddingBottom_;
    std::int64_t unitID_ = 0;
    mutable bool contentConstraintsActive_ = false;
};

}  // namespace qor

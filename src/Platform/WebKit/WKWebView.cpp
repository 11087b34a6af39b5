#include "Platform/WebKit/WKWebView.h"

#include "Platform/WebKit/WebKitObservation.h"

namespace qor::platform {

constinit ObserverHook<WKWebView, WKWebView::HTMLLoad> observation::pageLoads;

WKWebView::WKWebView(CGRect frame, std::shared_ptr<WKWebViewConfiguration> configuration)
    : UIView(frame),
      configuration_(configuration ? std::move(configuration) : std::make_shared<WKWebViewConfiguration>()) {}

std::shared_ptr<WKWebView> WKWebView::self() { return std::static_pointer_cast<WKWebView>(shared_from_this()); }

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString(std::string html, std::optional<URL> baseURL) {
    pending_ = std::make_shared<WKNavigation>();
    // The page before goes: a banner that refreshes for an app's whole life loads thousands.
    page_ = HTMLLoad{std::move(html), std::move(baseURL), pending_};
    observation::pageLoads.notify(*this, *page_);
    return pending_;
}

std::shared_ptr<WKNavigation> WKWebView::reportNavigationStarted() {
    const auto keepAlive = self();
    current_ = pending_ ? std::move(pending_) : std::make_shared<WKNavigation>();
    pending_.reset();
    loading_ = true;
    const auto navigation = current_;
    if (const auto delegate = navigationDelegate()) delegate->didStartProvisionalNavigation(keepAlive, navigation);
    return navigation;
}

bool WKWebView::reportNavigationFinished() {
    if (!current_) return false;
    const auto keepAlive = self();
    const auto navigation = std::move(current_);
    current_.reset();
    loading_ = false;
    if (const auto delegate = navigationDelegate()) delegate->didFinishNavigation(keepAlive, navigation);
    return true;
}

std::shared_ptr<WKWebView> WKWebView::reportWindowRequest(const WKNavigationAction& action,
                                                          const WKWindowFeatures& features) {
    const auto keepAlive = self();
    const auto delegate = uiDelegate();
    return delegate ? delegate->createWebView(keepAlive, configuration_, action, features) : nullptr;
}

bool WKWebView::reportScriptMessage(std::string name, Any body) {
    const auto keepAlive = self();
    const auto controller = configuration_->userContentController();
    const auto handler = controller->scriptMessageHandler(name);
    if (!handler) return false;
    handler->didReceiveScriptMessage(controller, WKScriptMessage{std::move(name), std::move(body)});
    return true;
}

}  // namespace qor::platform

#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/Any.h>
#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIScrollView.h>
#include <QORUniversalSDK/Platform/UIKit/UIView.h>
#include <QORUniversalSDK/Platform/WebKit/WKNavigationDelegate.h>
#include <QORUniversalSDK/Platform/WebKit/WKUIDelegate.h>
#include <QORUniversalSDK/Platform/WebKit/WKWebViewConfiguration.h>

namespace qor::platform {

// A web view without a web engine: it keeps the page it was last asked to load, and the host
// plays the engine's part with the report... calls (navigation is reported by the host), which
// reach the delegates and the script message handlers as a page would. Its delegates are held
// weakly.
//
// Main thread only: make, load and report there; delegates and handlers are called on it, from
// inside the report... call.
class QOR_EXPORT WKWebView : public UIView {
public:
    // One loadHTMLString call.
    struct HTMLLoad {
        std::string html;
        std::optional<URL> baseURL;
        std::shared_ptr<WKNavigation> navigation;
    };

    // nullptr gives the view a new default configuration.
    WKWebView(CGRect frame, std::shared_ptr<WKWebViewConfiguration> configuration);

    const std::shared_ptr<WKWebViewConfiguration>& configuration() const { return configuration_; }
    std::shared_ptr<WKNavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
    void setNavigationDelegate(const std::shared_ptr<WKNavigationDelegate>& delegate) {
        navigationDelegate_ = delegate;
    }
    std::shared_ptr<WKUIDelegate> uiDelegate() const { return uiDelegate_.lock(); }
    void setUIDelegate(const std::shared_ptr<WKUIDelegate>& delegate) { uiDelegate_ = delegate; }
    // The view's scrolling settings (not one of its subviews here).
    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }

    // Replaces the page and returns the navigation that will show it; the navigation starts and
    // finishes when the host says so (reportNavigationStarted, reportNavigationFinished).
    std::shared_ptr<WKNavigation> loadHTMLString(std::string html, std::optional<URL> baseURL);
    // The latest load, the only one kept; nothing before the first.
    const std::optional<HTMLLoad>& currentPage() const { return page_; }
    // Between the start and the finish of a navigation.
    bool isLoading() const { return loading_; }

    // MARK: The host's reports of what the page does

    // Starts the navigation of the latest load that has not started yet, or else a new one (a
    // link followed in the page), and tells the navigation delegate. Returns the navigation.
    std::shared_ptr<WKNavigation> reportNavigationStarted();
    // Finishes the started navigation and tells the navigation delegate; false when none runs.
    bool reportNavigationFinished();
    // The page asks for a window for the action (a link with a target, window.open): the UI
    // delegate is asked for a web view with this view's configuration. Returns its answer.
    std::shared_ptr<WKWebView> reportWindowRequest(const WKNavigationAction& action,
                                                   const WKWindowFeatures& features = {});
    // The page posts the body to the handler registered under the name; false when none is.
    bool reportScriptMessage(std::string name, Any body);

private:
    std::shared_ptr<WKWebView> self();

    std::shared_ptr<WKWebViewConfiguration> configuration_;
    std::weak_ptr<WKNavigationDelegate> navigationDelegate_;
    std::weak_ptr<WKUIDelegate> uiDelegate_;
    std::shared_ptr<UIScrollView> scrollView_ = std::make_shared<UIScrollView>();
    std::optional<HTMLLoad> page_;
    std::shared_ptr<WKNavigation> pending_;  // loaded, not started
    std::shared_ptr<WKNavigation> current_;  // started, not finished
    bool loading_ = false;
};

}  // namespace qor::platform

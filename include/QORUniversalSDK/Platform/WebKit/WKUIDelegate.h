#pragma once

#include <memory>
#include <optional>

#include <QORUniversalSDK/Platform/Foundation/URLRequest.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class WKWebView;
class WKWebViewConfiguration;

// A frame of a page: the page's main frame or one inside it.
struct WKFrameInfo {
    bool isMainFrame = true;
};

// What a page asked for: the request and the frame it is to load in; no target frame means a
// new window.
struct WKNavigationAction {
    URLRequest request;
    std::optional<WKFrameInfo> targetFrame;
};

// The features a page asked of a new window (none are told here).
struct WKWindowFeatures {};

// Answers a web view's requests for user-interface work. Every method is optional and is called
// on the main thread.
class QOR_EXPORT WKUIDelegate {
public:
    virtual ~WKUIDelegate() = default;
    // The web view for a new window, or nullptr (the default) to open none.
    virtual std::shared_ptr<WKWebView> createWebView(const std::shared_ptr<WKWebView>& /*webView*/,
                                                     const std::shared_ptr<WKWebViewConfiguration>& /*configuration*/,
                                                     const WKNavigationAction& /*action*/,
                                                     const WKWindowFeatures& /*features*/) {
        return nullptr;
    }
};

}  // namespace qor::platform

#pragma once

#include <memory>

#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor::platform {

class WKWebView;

// One page load of a web view, known by its identity.
class QOR_EXPORT WKNavigation {};

// Hears how a web view's page loads go. Every method is optional (does nothing by default) and
// is called on the main thread.
class QOR_EXPORT WKNavigationDelegate {
public:
    virtual ~WKNavigationDelegate() = default;
    virtual void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>& /*webView*/,
                                               const std::shared_ptr<WKNavigation>& /*navigation*/) {}
    virtual void didFinishNavigation(const std::shared_ptr<WKWebView>& /*webView*/,
                                     const std::shared_ptr<WKNavigation>& /*navigation*/) {}
};

}  // namespace qor::platform

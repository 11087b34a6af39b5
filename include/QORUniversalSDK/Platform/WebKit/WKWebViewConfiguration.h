#pragma once

#include <memory>

#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/WebKit/WKUserContentController.h>

namespace qor::platform {

// How pages ask to be shown: as on a phone, as on a desktop, or as the device suggests.
struct WKWebpagePreferences {
    enum class ContentMode { recommended = 0, mobile = 1, desktop = 2 };
    ContentMode preferredContentMode = ContentMode::recommended;
};

// The settings a web view is made with: page preferences and the script message handlers.
// Main thread only.
class QOR_EXPORT WKWebViewConfiguration {
public:
    WKWebpagePreferences& defaultWebpagePreferences() { return webpagePreferences_; }
    const WKWebpagePreferences& defaultWebpagePreferences() const { return webpagePreferences_; }
    void setDefaultWebpagePreferences(WKWebpagePreferences preferences) { webpagePreferences_ = preferences; }

    // Never nullptr: a new configuration has an empty controller of its own.
    const std::shared_ptr<WKUserContentController>& userContentController() const { return contentController_; }
    // nullptr gives the configuration a new empty controller.
    void setUserContentController(std::shared_ptr<WKUserContentController> controller) {
        contentController_ = controller ? std::move(controller) : std::make_shared<WKUserContentController>();
    }

private:
    WKWebpagePreferences webpagePreferences_;
    std::shared_ptr<WKUserContentController> contentController_ = std::make_shared<WKUserContentController>();
};

}  // namespace qor::platform

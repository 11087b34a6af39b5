#pragma once

#include <memory>
#include <string>

#include <QORUniversalSDK/Platform/Foundation/URL.h>
#include <QORUniversalSDK/Platform/Support/Export.h>

namespace qor {

class AdView;

// Hears what a banner view's loads and page come to. Every call arrives on the main thread.
class QOR_EXPORT AdViewDelegate {
public:
    virtual ~AdViewDelegate() = default;

    // A load failed; the text says why.
    virtual void adViewDidFailLoad(const std::shared_ptr<AdView>& adView, const std::string& message) = 0;
    // An ad page was handed to the web view (its navigation has started, not finished).
    virtual void adView(const std::shared_ptr<AdView>& adView) = 0;
    // The page asked to open a link in a new window. By default the link opens outside the app
    // through the shared application.
    virtual void adViewDidClickAd(const std::shared_ptr<AdView>& adView, const platform::URL& url);
    // The page closed the ad (the view has left its superview), or the close button was tapped;
    // the message is "success". Does nothing unless overridden.
    virtual void adViewDidSuccessCLoseAd(const std::shared_ptr<AdView>& /*adView*/, const std::string& /*message*/) {}
};

}  // namespace qor

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include <QORUniversalSDK/AdNetwork/AdRequest.h>
#include <QORUniversalSDK/AdNetwork/AdType.h>
#include <QORUniversalSDK/Models/OpenRTB/Bid.h>
#include <QORUniversalSDK/Networking/Client/QORSDKError.h>
#include <QORUniversalSDK/Platform/Foundation/NSError.h>
#include <QORUniversalSDK/Platform/Support/Export.h>
#include <QORUniversalSDK/Platform/UIKit/UIViewController.h>
#include <QORUniversalSDK/Views/AdSize.h>
#include <QORUniversalSDK/Views/AdView.h>

// What the two full-screen formats (the interstitial and the first-view ad) share: the load with
// its process-wide slots, the error their loads report, and the view controller that shows the
// kept bid in a banner view filling the screen.
namespace qor {

// Why a full-screen load failed: an NSError (empty domain, code 401) for what is found before the
// engine runs, else the engine's or the markup fetch's QORSDKError itself.
class QOR_EXPORT FullScreenAdError {
public:
    explicit FullScreenAdError(platform::NSError error) : value_(std::move(error)) {}
    explicit FullScreenAdError(QORSDKError error) : value_(std::move(error)) {}

    const platform::NSError* nsError() const { return std::get_if<platform::NSError>(&value_); }
    const QORSDKError* sdkError() const { return std::get_if<QORSDKError>(&value_); }
    std::string localizedDescription() const;

private:
    std::variant<platform::NSError, QORSDKError> value_;
};

enum class FullScreenFormat { interstitial, mobileFirstView };

// Shows the format's kept bid in a banner view the size of the screen. The page's "close_ad"
// runs onCloseAdCompleted and dismisses the controller, in the order the format gives; its links
// open outside the app. Main thread only.
class QOR_EXPORT FullScreenAdViewController : public platform::UIViewController {
public:
    const std::function<void()>& onCloseAdCompleted() const { return onCloseAdCompleted_; }
    void setOnCloseAdCompleted(std::function<void()> closure) { onCloseAdCompleted_ = std::move(closure); }

    void viewDidLoad() override;
    // The hosted banner view, once the view has loaded.
    const std::shared_ptr<AdView>& adView() const { return adView_; }

protected:
    explicit FullScreenAdViewController(FullScreenFormat format) : format_(format) {}

    // What the hosted banner view reports.
    virtual void adViewDidFailLoad(const std::string& /*message*/) {}
    virtual void adViewDidLoad() {}
    virtual void adViewDidClose() = 0;
    void runOnCloseAdCompleted() const;

private:
    class HostedAdDelegate;

    FullScreenFormat format_;
    std::function<void()> onCloseAdCompleted_;
    std::shared_ptr<AdView> adView_;
};

inline constexpr const char* fullScreenNotLoadedMessage = "No ad has been loaded to present";
inline constexpr const char* fullScreenNoRootMessage = "No root view controller to present from";
inline constexpr const char* fullScreenRootBusyMessage =
    "The root view controller is already presenting another view controller";

}  // namespace qor

// The quick start: the SDK started with a config in code, one banner and one analytics event.
#include <chrono>
#include <iostream>

#include <QORUniversalSDK/QORUniversalSDK.h>

using namespace qor;

// Hears how the banner's load ends; the SDK calls it on the main thread.
struct BannerDelegate : AdViewDelegate {
    void adView(const std::shared_ptr<AdView>&) override { end("the banner shows an ad"); }
    void adViewDidFailLoad(const std::shared_ptr<AdView>&, const std::string& why) override { end("no ad: " + why); }
    void end(const std::string& what) {
        std::cout << what << "\n";
        answered = true;
    }
    bool answered = false;
};

int main() {
    QOR::start(std::make_shared<QOR::Config>("your-write-key", std::nullopt));
    host::postLaunch();
    QOR::track("Quick Start Opened", platform::AnyDictionary{{"screen", "home"}});
    // The container (the ad units and their endpoints) downloads in the background; loads need it.
    host::mainRunLoop().runUntil([] { return QOR::adNetworkContainer().has_value(); }, std::chrono::seconds(10));

    const auto banner = AdView::make({{0, 0}, {320, 50}});
    const auto delegate = std::make_shared<BannerDelegate>();
    banner->setAdType(AdType::banner);
    banner->setAdSize(AdSize::banner());
    banner->setUnitID(101);
    banner->setDelegate(delegate);
    banner->loadAd(AdRequest());
    // Every SDK callback runs inside the main run loop: an app runs it for good with run().
    host::mainRunLoop().runUntil([&] { return delegate->answered; }, std::chrono::seconds(10));
}

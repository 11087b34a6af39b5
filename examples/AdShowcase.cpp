#include "AdShowcase.h"

#include <chrono>
#include <functional>

#include "Platform/UIKit/UIApplication.h"
#include "Platform/UIKit/UIImageView.h"
#include "Platform/WebKit/WKWebView.h"
#include "Views/AdView.h"
#include "Views/InterstitialAd.h"
#include "Views/MobileFirstViewAd.h"
#include "Views/NativeAdTemplateView.h"
#include "Views/VideoAdLoader.h"
#include "testing/MainLoopPump.h"
#include "testing/PlatformProbes.h"

namespace qor::example {
namespace {

using namespace std::chrono_literals;

constexpr auto kLoadTimeout = std::chrono::seconds(10);

bool waitFor(const std::function<bool()>& condition) { return testing::pumpMainUntil(condition, kLoadTimeout); }

// Lets the work that a shown ad starts on the main thread (its trackers) go out and be answered.
void settle(const WireLog& wire) {
    for (int round = 0; round < 2; ++round) {
        testing::pumpMainFor(30ms);
        waitFor([&] { return wire.inFlight() == 0; });
    }
}

// MARK: Banner

class BannerListener final : public AdViewDelegate {
public:
    void adViewDidFailLoad(const std::shared_ptr<AdView>& /*view*/, const std::string& message) override {
        failure = message;
    }
    void adView(const std::shared_ptr<AdView>& /*view*/) override { loaded = true; }

    bool loaded = false;
    std::optional<std::string> failure;
};

void showBanner(ShownAd& ad, const std::shared_ptr<platform::UIViewController>& root) {
    const auto view = AdView::make();
    const auto listener = std::make_shared<BannerListener>();
    view->setUnitID(ad.unit);
    view->setAdType(AdType::banner);
    view->setAdSize(AdSize::banner());
    view->setDelegate(listener);
    root->view()->addSubview(view);
    view->loadAd(AdRequest());
    if (!waitFor([&] { return listener->loaded || listener->failure; })) {
        ad.outcome = "no answer from the banner view";
    } else if (listener->failure) {
        ad.outcome = "failed: " + *listener->failure;
    } else {
        view->webView()->reportNavigationFinished();
        ad.page = view->webView()->currentPage()->html;
        ad.shown = true;
        ad.outcome = "shown in the app's screen";
    }
    view->removeFromSuperview();
}

// MARK: Full-screen formats

// Hears the presented ad's fate; the two formats name their calls differently.
template <class Base>
class FullScreenListener : public Base {
public:
    bool dismissed = false;
    std::optional<std::string> failure;
};

class InterstitialListener final : public FullScreenListener<InterstitialAdDelegate> {
public:
    void interstitialAdDidFailToPresentContentWithError(const std::shared_ptr<InterstitialAd>& /*ad*/,
                                                        const std::string& message) override {
        failure = message;
    }
    void adDidDismissScreentContent(const std::shared_ptr<InterstitialAd>& /*ad*/) override { dismissed = true; }
};

class FirstViewListener final : public FullScreenListener<MobileFirstViewAdDelegate> {
public:
    void mobilefirstviewAdDidFailToPresentContentWithError(const std::shared_ptr<MobileFirstViewAd>& /*ad*/,
                                                           const std::string& message) override {
        failure = message;
    }
    void adDidDismissScreentContent(const std::shared_ptr<MobileFirstViewAd>& /*ad*/) override { dismissed = true; }
};

template <class Ad>
struct FullScreenLoad {
    bool done = false;
    std::shared_ptr<Ad> ad;
    std::string failure;
};

template <class Ad, class Listener>
void showFullScreen(ShownAd& shown, const std::shared_ptr<platform::UIViewController>& root) {
    const auto load = std::make_shared<FullScreenLoad<Ad>>();
    Ad::loadAd(std::nullopt, std::nullopt, shown.unit, std::nullopt, std::nullopt,
               [load](std::shared_ptr<Ad> ad, const std::optional<FullScreenAdError>& error) {
                   load->done = true;
                   load->ad = std::move(ad);
                   if (error) load->failure = error->localizedDescription();
               });
    if (!waitFor([&] { return load->done; }) || !load->ad) {
        shown.outcome = "failed to load: " + (load->done ? load->failure : "no answer");
        return;
    }
    const auto listener = std::make_shared<Listener>();
    load->ad->setDelegate(listener);
    load->ad->present(root);
    waitFor([&] { return root->presentedViewController() != nullptr || listener->failure; });
    const auto controller = std::dynamic_pointer_cast<FullScreenAdViewController>(root->presentedViewController());
    if (!controller || !controller->adView() || !controller->adView()->webView()->currentPage()) {
        shown.outcome = "not presented: " + listener->failure.value_or("no page");
        return;
    }
    const auto webView = controller->adView()->webView();
    webView->reportNavigationFinished();
    shown.page = webView->currentPage()->html;
    // The page's close button posts this message to the SDK's bridge.
    webView->reportScriptMessage("bridge", R"({"action":"close_ad"})");
    if (!waitFor([&] { return listener->dismissed && root->presentedViewController() == nullptr; })) {
        shown.outcome = "presented, but the page's close did not dismiss it";
        return;
    }
    shown.shown = true;
    shown.outcome = "presented full-screen, closed by its page";
}

// MARK: Native

class NativeListener final : public NativeAdViewDelegate {
public:
    void onNativeAdViewEvent(NativeAdView& /*view*/, const NativeAdEvent& event) override {
        const auto data = event.data();
        if (event.as<NativeAdEvent::AdLoaded>()) loaded = true;
        if (event.as<NativeAdEvent::AdClicked>()) clicked = true;
        if (event.as<NativeAdEvent::AdFailedToLoad>() || event.as<NativeAdEvent::AdFailedToLoadAsset>()) {
            failures.push_back(data.name() + " " + data.message().value_or(""));
        }
    }

    bool loaded = false;
    bool clicked = false;
    std::vector<std::string> failures;
};

bool showsImage(const std::shared_ptr<platform::UIImageView>& outlet) { return !outlet || outlet->image() != nullptr; }

void showNative(ShownAd& ad, const std::shared_ptr<platform::UIViewController>& root) {
    const auto templateView = NativeAdTemplateView::make({{0, 0}, {375, 320}});
    root->view()->addSubview(templateView);
    const auto content = templateView->contentView();
    const auto listener = std::make_shared<NativeListener>();
    content->setDelegate(listener);
    content->loadAd(ad.unit, AdRequest());
    const bool loaded = waitFor([&] { return listener->loaded || !listener->failures.empty(); }) && listener->loaded;
    const bool images =
        loaded && waitFor([&] { return showsImage(content->mainImage()) && showsImage(content->iconImage()); });
    if (!loaded || !images || !listener->failures.empty()) {
        ad.outcome = "failed: " + (listener->failures.empty() ? std::string("no ad or images") : listener->failures[0]);
        templateView->removeFromSuperview();
        return;
    }
    // The user taps the ad: its click tracker goes out and its link opens outside the app.
    const auto opened = testing::openedURLs().size();
    content->onClicked();
    waitFor([&] { return testing::openedURLs().size() > opened; });
    const auto title = content->title() ? content->title()->text() : std::nullopt;
    ad.shown = listener->clicked && testing::openedURLs().size() > opened;
    ad.outcome = "shown in a template view (\"" + title.value_or("") + "\"), tapped" +
                 (ad.shown ? ", opened " + testing::openedURLs().back().absoluteString() : ", nothing opened");
    templateView->removeFromSuperview();
}

// MARK: Video

class VideoListener final : public VideoAdLoaderDelegate {
public:
    void videoAdLoader(std::int64_t /*unit*/, const std::string& vastTagURL) override { tag = vastTagURL; }
    void videoAdLoader(std::int64_t /*unit*/, const QORSDKError& error) override {
        failure = error.errorDescription().value_or("unknown error");
    }

    std::optional<std::string> tag;
    std::optional<std::string> failure;
};

void showVideo(ShownAd& ad) {
    const auto loader = VideoAdLoader::make(ad.unit, AdSize::forCustom(480, 360));
    const auto listener = std::make_shared<VideoListener>();
    loader->setDelegate(listener);
    loader->loadAd(AdRequest());
    if (!waitFor([&] { return listener->tag || listener->failure; })) {
        ad.outcome = "no answer from the video loader";
    } else if (listener->failure) {
        ad.outcome = "failed: " + *listener->failure;
    } else {
        ad.shown = true;
        ad.outcome = "VAST tag handed to the app's player: " + *listener->tag;
    }
}

}  // namespace

ShownAd showAd(AdFormat format, const WireLog& wire, const std::shared_ptr<platform::UIViewController>& root) {
    ShownAd ad;
    ad.format = format;
    ad.unit = adUnitOf(format);
    ad.firstExchange = wire.finishedCount();
    switch (format) {
        case AdFormat::banner:
            showBanner(ad, root);
            break;
        case AdFormat::interstitial:
            showFullScreen<InterstitialAd, InterstitialListener>(ad, root);
            break;
        case AdFormat::firstView:
            showFullScreen<MobileFirstViewAd, FirstViewListener>(ad, root);
            break;
        case AdFormat::native:
            showNative(ad, root);
            break;
        case AdFormat::video:
            showVideo(ad);
            break;
    }
    settle(wire);
    ad.endExchange = wire.finishedCount();
    return ad;
}

}  // namespace qor::example

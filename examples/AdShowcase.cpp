#include "AdShowcase.h"

#include <chrono>
#include <functional>

#include "Browser.h"

namespace qor::example {
namespace {

constexpr auto kLoadTimeout = std::chrono::seconds(10);

bool waitFor(const std::function<bool()>& condition) {
    return platform::RunLoop::main().runUntil(condition, kLoadTimeout);
}

template <class T>
void keep(ShownAd& ad, const std::shared_ptr<T>& object) {
    ad.objects.push_back(object);
}

// MARK: Banner

class BannerListener final : public AdViewDelegate {
public:
    explicit BannerListener(std::shared_ptr<LoadReports> reports) : reports_(std::move(reports)) {}
    void adViewDidFailLoad(const std::shared_ptr<AdView>& /*view*/, const std::string& message) override {
        reports_->failed(message);
    }
    void adView(const std::shared_ptr<AdView>& /*view*/) override { reports_->loaded(); }

private:
    const std::shared_ptr<LoadReports> reports_;
};

void showBanner(ShownAd& ad, const std::shared_ptr<platform::UIViewController>& root) {
    const auto view = AdView::make();
    const auto listener = std::make_shared<BannerListener>(ad.reports);
    keep(ad, view);
    keep(ad, listener);
    view->setUnitID(ad.unit);
    view->setAdType(AdType::banner);
    view->setAdSize(AdSize::banner());
    view->setDelegate(listener);
    root->view()->addSubview(view);
    view->loadAd(AdRequest());
    if (!waitFor([&] { return ad.reports->count > 0; }) || ad.reports->failure) return;
    ad.page = browser::finishLoading(*view->webView());
    ad.shown = ad.page.has_value();
    ad.outcome = ad.shown ? "shown in the app's screen" : "the banner view has no page to show";
    view->removeFromSuperview();
}

// MARK: Full-screen formats

// Hears the presented ad's fate; the two formats name their calls differently.
struct Presentation {
    bool dismissed = false;
    std::optional<std::string> failure;
};

class InterstitialListener final : public InterstitialAdDelegate {
public:
    explicit InterstitialListener(std::shared_ptr<Presentation> presentation)
        : presentation_(std::move(presentation)) {}
    void interstitialAdDidFailToPresentContentWithError(const std::shared_ptr<InterstitialAd>& /*ad*/,
                                                        const std::string& message) override {
        presentation_->failure = message;
    }
    void adDidDismissScreentContent(const std::shared_ptr<InterstitialAd>& /*ad*/) override {
        presentation_->dismissed = true;
    }

private:
    const std::shared_ptr<Presentation> presentation_;
};

class FirstViewListener final : public MobileFirstViewAdDelegate {
public:
    explicit FirstViewListener(std::shared_ptr<Presentation> presentation) : presentation_(std::move(presentation)) {}
    void mobilefirstviewAdDidFailToPresentContentWithError(const std::shared_ptr<MobileFirstViewAd>& /*ad*/,
                                                           const std::string& message) override {
        presentation_->failure = message;
    }
    void adDidDismissScreentContent(const std::shared_ptr<MobileFirstViewAd>& /*ad*/) override {
        presentation_->dismissed = true;
    }

private:
    const std::shared_ptr<Presentation> presentation_;
};

template <class Ad, class Listener>
void showFullScreen(ShownAd& shown, const std::shared_ptr<platform::UIViewController>& root) {
    auto loadedAd = std::make_shared<std::shared_ptr<Ad>>();
    keep(shown, loadedAd);
    Ad::loadAd(
        std::nullopt, std::nullopt, shown.unit, std::nullopt, std::nullopt,
        [reports = shown.reports, loadedAd](std::shared_ptr<Ad> ad, const std::optional<FullScreenAdError>& error) {
            if (error) {
                reports->failed(error->localizedDescription());
            } else {
                reports->loaded();
            }
            *loadedAd = std::move(ad);
        });
    if (!waitFor([&] { return shown.reports->count > 0; }) || shown.reports->failure) return;
    if (!*loadedAd) {
        shown.outcome = "the load reported success without an ad";
        return;
    }
    const auto presentation = std::make_shared<Presentation>();
    const auto listener = std::make_shared<Listener>(presentation);
    keep(shown, listener);
    (*loadedAd)->setDelegate(listener);
    (*loadedAd)->present(root);
    waitFor([&] { return root->presentedViewController() != nullptr || presentation->failure; });
    const auto controller = std::dynamic_pointer_cast<FullScreenAdViewController>(root->presentedViewController());
    const auto adView = controller ? controller->adView() : nullptr;
    shown.page = adView ? browser::finishLoading(*adView->webView()) : std::nullopt;
    if (!shown.page) {
        shown.outcome = "it was not presented: " + presentation->failure.value_or("no page");
        return;
    }
    // The user taps the page's close control. No script runs in the headless web view, so the
    // app posts what the control's script posts; a page without one is taken down by the app.
    const auto closeMessage = browser::scriptMessageOf(*shown.page, AdView::bridgeHandlerName);
    shown.shown = true;
    if (!closeMessage) {
        root->dismiss(false);
        shown.outcome = "presented full-screen; its page has no close control, so the app dismissed it";
        return;
    }
    browser::postScriptMessage(*adView->webView(), AdView::bridgeHandlerName, *closeMessage);
    if (!waitFor([&] { return presentation->dismissed && root->presentedViewController() == nullptr; })) {
        shown.shown = false;
        shown.outcome =
            "presented full-screen, but its close control's message " + *closeMessage + " did not dismiss it";
        return;
    }
    shown.outcome = "presented full-screen; its close control's message " + *closeMessage + " dismissed it";
}

// MARK: Native

class NativeListener final : public NativeAdViewDelegate {
public:
    explicit NativeListener(std::shared_ptr<LoadReports> reports) : reports_(std::move(reports)) {}
    void onNativeAdViewEvent(NativeAdView& /*view*/, const NativeAdEvent& event) override {
        const auto data = event.data();
        if (event.as<NativeAdEvent::AdLoaded>()) reports_->loaded();
        if (event.as<NativeAdEvent::AdFailedToLoad>()) reports_->failed(data.message().value_or(data.name()));
        if (event.as<NativeAdEvent::AdClicked>()) clicked = true;
        if (event.as<NativeAdEvent::AdFailedToLoadAsset>())
            assetFailure = data.name() + " " + data.message().value_or("");
    }

    bool clicked = false;
    std::optional<std::string> assetFailure;

private:
    const std::shared_ptr<LoadReports> reports_;
};

bool showsImage(const std::shared_ptr<platform::UIImageView>& outlet) { return !outlet || outlet->image() != nullptr; }

void showNative(ShownAd& ad, const std::shared_ptr<platform::UIViewController>& root) {
    const auto templateView = NativeAdTemplateView::make({{0, 0}, {375, 320}});
    const auto content = templateView->contentView();
    const auto listener = std::make_shared<NativeListener>(ad.reports);
    keep(ad, templateView);
    keep(ad, listener);
    root->view()->addSubview(templateView);
    content->setDelegate(listener);
    content->loadAd(ad.unit, AdRequest());
    if (!waitFor([&] { return ad.reports->count > 0; }) || ad.reports->failure) {
        templateView->removeFromSuperview();
        return;
    }
    if (!waitFor([&] {
            return listener->assetFailure || (showsImage(content->mainImage()) && showsImage(content->iconImage()));
        }) ||
        listener->assetFailure) {
        ad.outcome = "its images did not show: " + listener->assetFailure.value_or("no answer");
        templateView->removeFromSuperview();
        return;
    }
    // The user taps the ad: its click tracker goes out and its link opens outside the app.
    const auto opened = browser::openedLinks().size();
    content->onClicked();
    ad.tapped = true;
    waitFor([&] { return browser::openedLinks().size() > opened; });
    const auto title = content->title() ? content->title()->text() : std::nullopt;
    ad.shown = listener->clicked && browser::openedLinks().size() > opened;
    ad.outcome = "shown in a template view (\"" + title.value_or("") + "\"), tapped" +
                 (ad.shown ? ", opened " + browser::openedLinks().back() : ", but nothing opened");
    templateView->removeFromSuperview();
}

// MARK: Video

class VideoListener final : public VideoAdLoaderDelegate {
public:
    explicit VideoListener(std::shared_ptr<LoadReports> reports) : reports_(std::move(reports)) {}
    void videoAdLoader(std::int64_t /*unit*/, const std::string& vastTagURL) override {
        tag = vastTagURL;
        reports_->loaded();
    }
    void videoAdLoader(std::int64_t /*unit*/, const QORSDKError& error) override {
        reports_->failed(error.errorDescription().value_or("unknown error"));
    }

    std::optional<std::string> tag;

private:
    const std::shared_ptr<LoadReports> reports_;
};

void showVideo(ShownAd& ad) {
    const auto loader = VideoAdLoader::make(ad.unit, AdSize::forCustom(480, 360));
    const auto listener = std::make_shared<VideoListener>(ad.reports);
    keep(ad, loader);
    keep(ad, listener);
    loader->setDelegate(listener);
    loader->loadAd(AdRequest());
    if (!waitFor([&] { return ad.reports->count > 0; }) || !listener->tag) return;
    ad.shown = true;
    ad.outcome = "its VAST tag went to the app's player: " + *listener->tag;
}

}  // namespace

LoadSeen ShownAd::seen() const {
    LoadSeen load{format, unit, reports->count, reports->failure, shown, tapped, outcome};
    if (reports->count == 0) load.outcome = "no answer within " + std::to_string(kLoadTimeout.count()) + " s";
    if (reports->failure) load.outcome = "failed: " + *reports->failure;
    return load;
}

ShownAd showAd(AdFormat format, const std::shared_ptr<platform::UIViewController>& root) {
    ShownAd ad;
    ad.format = format;
    ad.unit = adUnitOf(format);
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
    return ad;
}

}  // namespace qor::example

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "Views/FullScreenSlots.h"
#include "Views/InterstitialAd.h"
#include "Views/MobileFirstViewAd.h"
#include "ViewsTestSupport.h"

namespace qor::viewstest {
namespace {

using platform::UIViewControllerEvent;

// What one full-screen load came to.
struct LoadOutcome {
    int calls = 0;
    bool hasAd = false;
    std::optional<FullScreenAdError> error;
    bool onMainThread = false;
};

// Records the full-screen delegates' calls, with the dismissals recorded at the time of each.
template <class Ad, class Base>
class RecordingFullScreenDelegate : public Base {
public:
    void failed(const std::string& message) { calls.push_back("fail:" + message); }
    void dismissed() {
        std::size_t dismissals = 0;
        for (const auto& event : testing::recordedControllerEvents()) {
            dismissals += event.kind == UIViewControllerEvent::Kind::dismiss ? 1 : 0;
        }
        calls.push_back("dismissed after " + std::to_string(dismissals) + " dismissals");
    }
    std::vector<std::string> calls;
};

class InterstitialRecorder : public RecordingFullScreenDelegate<InterstitialAd, InterstitialAdDelegate> {
public:
    void interstitialAdDidFailToPresentContentWithError(const std::shared_ptr<InterstitialAd>& /*ad*/,
                                                        const std::string& message) override {
        failed(message);
    }
    void adDidDismissScreentContent(const std::shared_ptr<InterstitialAd>& /*ad*/) override { dismissed(); }
};

class FirstViewRecorder : public RecordingFullScreenDelegate<MobileFirstViewAd, MobileFirstViewAdDelegate> {
public:
    void mobilefirstviewAdDidFailToPresentContentWithError(const std::shared_ptr<MobileFirstViewAd>& /*ad*/,
                                                           const std::string& message) override {
        failed(message);
    }
    void adDidDismissScreentContent(const std::shared_ptr<MobileFirstViewAd>& /*ad*/) override { dismissed(); }
};

class FullScreenAdTest : public ViewsTest {
public:
    template <class Ad>
    std::pair<std::shared_ptr<Ad>, LoadOutcome> load(std::int64_t unit = SimulatedAdNetwork::interstitialUnit,
                                                     std::optional<AdType> type = std::nullopt) {
        auto outcome = std::make_shared<LoadOutcome>();
        auto ad = std::make_shared<std::shared_ptr<Ad>>();
        Ad::loadAd(AdSize::banner(), type, unit, true, std::nullopt,
                   [outcome, ad](std::shared_ptr<Ad> loaded, const std::optional<FullScreenAdError>& error) {
                       outcome->calls += 1;
                       outcome->hasAd = loaded != nullptr;
                       *ad = loaded;
                       outcome->error = error;
                       outcome->onMainThread = platform::Thread::isMainThread();
                   });
        EXPECT_TRUE(testing::pumpMainUntil([&] { return outcome->calls > 0; }, std::chrono::seconds(10)));
        testing::pumpMainFor(std::chrono::milliseconds(20));
        EXPECT_EQ(outcome->calls, 1);
        return {*ad, *outcome};
    }

    // Presents and pumps; the presented controller, if any.
    std::shared_ptr<FullScreenAdViewController> present(const auto& ad) {
        ad->present(root);
        testing::pumpMainFor(std::chrono::milliseconds(10));
        return std::dynamic_pointer_cast<FullScreenAdViewController>(root->presentedViewController());
    }

    std::shared_ptr<platform::UIViewController> root = std::make_shared<platform::UIViewController>();
};

TEST_F(FullScreenAdTest, ChecksBeforeTheEngineAre401ErrorsAndTheEnginesOwnErrorsPassUnchanged) {
    auto plan = network().defaultContainer();
    startWith(plan);
    test::SDKLogCapture log;
    const auto [noAd, unknown] = load<InterstitialAd>(999);
    EXPECT_FALSE(noAd);
    ASSERT_TRUE(unknown.error && unknown.error->nsError());
    EXPECT_EQ(unknown.error->nsError()->domain(), "");
    EXPECT_EQ(unknown.error->nsError()->code(), 401);
    EXPECT_EQ(unknown.error->localizedDescription(), "Couldn't find any inventory in container");
    EXPECT_EQ(log.lines().at(0), "[QORSDK] Couldn't find any inventory in container\n");

    nobodyBids();
    const auto [none, noBid] = load<MobileFirstViewAd>();
    ASSERT_TRUE(noBid.error && noBid.error->sdkError());
    EXPECT_EQ(noBid.error->localizedDescription(), "No available Ad");
    EXPECT_TRUE(noBid.onMainThread);

    const auto [native, refused] = load<InterstitialAd>(SimulatedAdNetwork::interstitialUnit, AdType::nativeAds);
    EXPECT_EQ(refused.error->localizedDescription(), "Could not create native via this function");
}

TEST_F(FullScreenAdTest, NoContainerIsA401Error) {
    network().serveContainerText(key, "nope", 500);
    QOR::start(std::make_shared<QOR::Config>("analytics-key", key));
    testing::pumpMainUntil([&] { return network().containerRequests().size() > 0; });
    testing::pumpMainFor(std::chrono::milliseconds(200));
    const auto [ad, outcome] = load<InterstitialAd>();
    ASSERT_TRUE(outcome.error && outcome.error->nsError());
    EXPECT_EQ(outcome.error->nsError()->code(), 401);
    EXPECT_EQ(outcome.error->localizedDescription(), "Not found container");
}

TEST_F(FullScreenAdTest, ALoadedInterstitialIsPresentedTrackedAndClosedInOrder) {
    startWithDefaultContainer();
    coreBids(bidSpec(3, "<a>{{AUCTION_PRICE}} {{REQUEST_ID}}</a>", viewableURL("/inter-view")));
    const auto [ad, outcome] = load<InterstitialAd>();
    ASSERT_TRUE(ad) << outcome.error->localizedDescription();
    EXPECT_TRUE(outcome.onMainThread);
    ASSERT_TRUE(network().waitForTrackerHits(1));
    testing::pumpMainFor(std::chrono::milliseconds(20));
    EXPECT_EQ(hitsOn("/inter-view").size(), 1U);
    // The size comes from the unit's configuration, not from the argument.
    EXPECT_EQ(fullScreenSlots(FullScreenFormat::interstitial).size, AdSize::forCustom(320, 480));

    auto delegate = std::make_shared<InterstitialRecorder>();
    ad->setDelegate(delegate);
    std::weak_ptr<FullScreenAdViewController> weakController;
    {
        const auto controller = present(ad);
        ASSERT_TRUE(std::dynamic_pointer_cast<InterstitialAdView>(controller));
        weakController = controller;
        EXPECT_EQ(controller->modalPresentationStyle(), platform::UIModalPresentationStyle::fullScreen);
        const auto adView = controller->adView();
        EXPECT_EQ(adView->adSize(), AdSize::forCustom(320, 480));
        EXPECT_EQ(adView->adType(), AdType::banner);
        const auto id = fullScreenSlots(FullScreenFormat::interstitial).bid->requestId.value();
        ASSERT_EQ(testing::loadedHTML(*adView->webView()).size(), 1U);
        EXPECT_EQ(testing::loadedHTML(*adView->webView())[0].html, page("<a>3.0 " + id + "</a>"));
        // A click opens outside the app and the ad stays.
        adView->webView()->reportWindowRequest(
            {platform::URLRequest(platform::URL::make("https://advertiser.example/x")), std::nullopt});
        testing::pumpMainFor(std::chrono::milliseconds(10));
        EXPECT_EQ(testing::openedURLs().size(), 1U);
        EXPECT_EQ(root->presentedViewController(), controller);

        adView->webView()->reportScriptMessage("bridge", R"({"action":"close_ad"})");
    }
    // The interstitial tells its delegate before it dismisses.
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0], "dismissed after 0 dismissals");
    EXPECT_EQ(root->presentedViewController(), nullptr);
    testing::pumpMainFor(std::chrono::milliseconds(20));
    EXPECT_TRUE(weakController.expired());
}

TEST_F(FullScreenAdTest, TheFirstViewAdKeepsItsOwnSlotsDismissesFirstAndOnlyPrints) {
    startWithDefaultContainer();
    coreBids(bidSpec(1, "<i>interstitial</i>"));
    const auto [interstitial, first] = load<InterstitialAd>();
    ASSERT_TRUE(interstitial);
    coreBids(bidSpec(2, "<i>first view</i>"));
    const auto [firstView, second] = load<MobileFirstViewAd>();
    ASSERT_TRUE(firstView);

    auto delegate = std::make_shared<FirstViewRecorder>();
    firstView->setDelegate(delegate);
    const auto controller = present(firstView);
    ASSERT_TRUE(std::dynamic_pointer_cast<MobilefirstviewAdView>(controller));
    const auto adView = controller->adView();
    EXPECT_EQ(testing::loadedHTML(*adView->webView()).at(0).html, page("<i>first view</i>"));

    // What the hosted view reports goes to the console only.
    ::testing::internal::CaptureStdout();
    adView->delegate()->adView(adView);
    adView->delegate()->adViewDidFailLoad(adView, "broken");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Ad Loaded\nAd did fail to load with error: broken\n");
    EXPECT_TRUE(delegate->calls.empty());

    adView->webView()->reportScriptMessage("bridge", R"({"action":"close_ad"})");
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0], "dismissed after 1 dismissals");

    const auto second_controller = present(interstitial);
    ASSERT_TRUE(second_controller);
    EXPECT_EQ(testing::loadedHTML(*second_controller->adView()->webView()).at(0).html, page("<i>interstitial</i>"));
}

TEST_F(FullScreenAdTest, AFailedFetchKeepsTheEarlierBidAndSizeTogether) {
    auto plan = network().defaultContainer();
    startWith(plan);
    coreBids(bidSpec(1, network().markupURL("/full.html", "<b>fetched</b>"), viewableURL("/fetch-view")));
    const auto [ad, loaded] = load<MobileFirstViewAd>();
    ASSERT_TRUE(ad) << loaded.error->localizedDescription();
    const auto before = fullScreenSlots(FullScreenFormat::mobileFirstView);
    EXPECT_EQ(before.bid->adMarkup, "<b>fetched</b>");

    coreBids(bidSpec(1, network().markupURL("/gone.html", "x", 404), viewableURL("/gone-view")));
    const auto [none, failed] = load<MobileFirstViewAd>();
    EXPECT_FALSE(none);
    ASSERT_TRUE(failed.error && failed.error->sdkError());
    const auto after = fullScreenSlots(FullScreenFormat::mobileFirstView);
    EXPECT_EQ(after.bid, before.bid);
    EXPECT_EQ(after.size, before.size);
    testing::pumpMainFor(std::chrono::milliseconds(100));
    EXPECT_EQ(hitsOn("/fetch-view").size(), 1U);
    EXPECT_TRUE(hitsOn("/gone-view").empty());
}

// Handles come only from make() or a load and are never copied out of their shared owner, so
// present() always has one.
static_assert(!std::is_default_constructible_v<InterstitialAd> && !std::is_default_constructible_v<MobileFirstViewAd>);
static_assert(!std::is_copy_constructible_v<InterstitialAd> && !std::is_copy_constructible_v<MobileFirstViewAd>);

// Nothing loaded, no root, or a root that already presents something: nothing is shown and the
// delegate hears why, for both formats.
TEST_F(FullScreenAdTest, APresentationThatCannotHappenTellsTheDelegateWhy) {
    clearFullScreenSlots(FullScreenFormat::interstitial);
    auto ad = InterstitialAd::make();
    auto delegate = std::make_shared<InterstitialRecorder>();
    ad->setDelegate(delegate);
    EXPECT_EQ(present(ad), nullptr);
    ASSERT_EQ(delegate->calls.size(), 1U);
    EXPECT_EQ(delegate->calls[0], "fail:No ad has been loaded to present");
    EXPECT_TRUE(testing::recordedControllerEvents().empty());

    startWithDefaultContainer();
    coreBids(bidSpec(1, "<i>x</i>"));
    ASSERT_TRUE(load<InterstitialAd>().first);
    ASSERT_TRUE(load<MobileFirstViewAd>().first);
    ad->present(nullptr);
    testing::pumpMainFor(std::chrono::milliseconds(10));
    ASSERT_EQ(delegate->calls.size(), 2U);
    EXPECT_EQ(delegate->calls[1], "fail:No root view controller to present from");

    const auto shown = std::make_shared<platform::UIViewController>();
    ASSERT_TRUE(root->present(shown, false));
    EXPECT_EQ(present(ad), nullptr);
    auto firstView = MobileFirstViewAd::make();
    auto firstViewDelegate = std::make_shared<FirstViewRecorder>();
    firstView->setDelegate(firstViewDelegate);
    EXPECT_EQ(present(firstView), nullptr);
    EXPECT_EQ(root->presentedViewController(), shown);
    const std::string busy = "fail:The root view controller is already presenting another view controller";
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{delegate->calls[0], delegate->calls[1], busy}));
    EXPECT_EQ(firstViewDelegate->calls, std::vector<std::string>{busy});
}

}  // namespace
}  // namespace qor::viewstest
